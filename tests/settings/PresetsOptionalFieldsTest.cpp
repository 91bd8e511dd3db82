// Settings added after the file's layout was fixed: stored only when they are used, so that a
// file without them keeps its bytes, and read as their defaults from any file that lacks them.

#include "settings/PresetsFile.h"

#include "settings/BuiltinPresets.h"

#include <gtest/gtest.h>

namespace {

const QString kTitle = QStringLiteral("Mervane");
const QString kVersion = QStringLiteral("2.0");

QList<Preset> WithOne(const Preset& preset) {
  Preset p = preset;
  p.PresetNumber = 1;
  p.PresetName = QStringLiteral("one");
  return {WorkingPreset(), p};
}

TEST(PresetsOptionalFields, AreWrittenOnlyWhenUsedAndReadBackWhole) {
  Preset plain;
  plain.TextReplacements = {{kItemChecked, "a", "b"}};
  plain.ExtensionCorrections = {{kItemChecked, "jpeg", "jpg"}};
  const QByteArray plainBytes = SerializePresets(WithOne(plain), 1, kTitle, kVersion);

  const struct {
    const char* what;
    void (*change)(Preset&);
  } rows[] = {
      {"regex replace rule",
       [](Preset& p) { p.TextReplacements[0].Expression = kExpressionRegex; }},
      {"case-significant extension rule",
       [](Preset& p) { p.ExtensionCorrections[0].Expression = kExpressionRegexCaseSensitive; }},
      {"transliteration", [](Preset& p) { p.TransliterateToAscii = 1; }},
      {"kept name form and a regex rule",
       [](Preset& p) {
         p.KeepNameForm = 1;
         p.TextReplacements.append({kItemChecked, "(x)", "$1", kExpressionRegex});
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Preset changed = plain;
    row.change(changed);
    const QByteArray bytes = SerializePresets(WithOne(changed), 1, kTitle, kVersion);
    EXPECT_NE(bytes, plainBytes);
    QList<Preset> loaded;
    int32_t defaultIndex = -1;
    const SettingsFileStatus status = ReadPresets(bytes, kTitle, kVersion, loaded, defaultIndex);
    EXPECT_EQ(status.Damage, SettingsDamage::kNone);
    ASSERT_EQ(loaded.size(), 2);
    EXPECT_TRUE(loaded[1] == WithOne(changed)[1]);
    EXPECT_EQ(SerializePresets(loaded, defaultIndex, kTitle, kVersion), bytes);

    // Switched back to the defaults, the file is the one without them, byte for byte.
    loaded[1].TextReplacements = plain.TextReplacements;
    loaded[1].ExtensionCorrections = plain.ExtensionCorrections;
    loaded[1].TransliterateToAscii = 0;
    loaded[1].KeepNameForm = 0;
    EXPECT_EQ(SerializePresets(loaded, defaultIndex, kTitle, kVersion), plainBytes);
  }
}

TEST(PresetsOptionalFields, ARuleOfTheOlderLayoutReadsAsAWildcardRule) {
  Preset plain;
  plain.TextReplacements = {{kItemChecked, "(a)", "$1"}, {0, "b", ""}};
  QList<Preset> loaded;
  int32_t defaultIndex = -1;
  ASSERT_TRUE(ParsePresets(SerializePresets(WithOne(plain), 1, kTitle, kVersion), kTitle, kVersion,
                           loaded, defaultIndex));
  ASSERT_EQ(loaded[1].TextReplacements.size(), 2);
  for (const TextReplacement& rule : loaded[1].TextReplacements)
    EXPECT_EQ(rule.Expression, kExpressionWildcards);
  EXPECT_EQ(loaded[1].TransliterateToAscii, 0);
}

TEST(PresetsOptionalFields, TheBuiltInNameCorrectionTransliterates) {
  const QList<Preset> builtin = BuiltinPresets();
  ASSERT_EQ(builtin.size(), 3);
  EXPECT_EQ(builtin[2].TransliterateToAscii, 1);
  EXPECT_EQ(builtin[0].TransliterateToAscii, 0);
  QList<Preset> list = {WorkingPreset()};
  list.append(builtin);
  QList<Preset> loaded;
  int32_t defaultIndex = -1;
  ASSERT_TRUE(ParsePresets(SerializePresets(list, 0, kTitle, kVersion), kTitle, kVersion, loaded,
                           defaultIndex));
  ASSERT_EQ(loaded.size(), 4);
  EXPECT_EQ(loaded[3].TransliterateToAscii, 1);
  EXPECT_TRUE(loaded[3] == builtin[2]);
}

}  // namespace

// The date taken as a sort key or a date source: the layout's own field holds the modification
// date it falls back to, so that a reader of the layout takes a value it knows, and the block
// after the preset names the date taken for this version.
TEST(PresetsOptionalFields, TheDateTakenIsStoredAsTheModificationDateAndInTheBlock) {
  const struct {
    const char* what;
    void (*taken)(Preset&);
    void (*fallback)(Preset&);
  } rows[] = {
      {"sort key", [](Preset& p) { p.SortKey = 7; }, [](Preset& p) { p.SortKey = 5; }},
      {"filter date", [](Preset& p) { p.FilterDateSource = 3; },
       [](Preset& p) { p.FilterDateSource = 1; }},
      {"placeholder date", [](Preset& p) { p.DatePlaceholderSource = 3; },
       [](Preset& p) { p.DatePlaceholderSource = 1; }},
      {"copied date", [](Preset& p) { p.DateCopySource = 3; },
       [](Preset& p) { p.DateCopySource = 1; }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Preset taken;
    taken.SortActive = 1;
    taken.SortKey = 2;
    taken.FilterDateSource = 0;
    taken.DatePlaceholderSource = 2;
    taken.DateCopySource = 0;
    Preset fallback = taken;
    row.taken(taken);
    row.fallback(fallback);
    const QByteArray bytes = SerializePresets(WithOne(taken), 1, kTitle, kVersion);
    const QByteArray older = SerializePresets(WithOne(fallback), 1, kTitle, kVersion);
    ASSERT_TRUE(bytes.startsWith(older));
    EXPECT_EQ(bytes.mid(older.size(), 4), QByteArray("\xD0\x0A\x00\x00", 4));

    QList<Preset> loaded;
    int32_t defaultIndex = -1;
    EXPECT_EQ(ReadPresets(bytes, kTitle, kVersion, loaded, defaultIndex).Damage,
              SettingsDamage::kNone);
    ASSERT_EQ(loaded.size(), 2);
    EXPECT_TRUE(loaded[1] == WithOne(taken)[1]);
    EXPECT_EQ(ValidateRanges(loaded[1]), 1);

    // A block cut before its end is damage, not a silently lost setting.
    loaded.clear();
    EXPECT_EQ(ReadPresets(bytes.chopped(1), kTitle, kVersion, loaded, defaultIndex).Damage,
              SettingsDamage::kCutShort);
  }
}
