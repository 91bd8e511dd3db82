// The presets file's bytes, pinned: files written by earlier builds lie in tests/settings/golden/
// and every build must write the same lists to the same bytes and read those files back to the
// same lists. A change of the layout shows here first, before any user's file is misread.

#include "settings/PresetsFile.h"

#include "settings/BuiltinPresets.h"
#include "support/TempDir.h"
#include "texts/TextTables.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

const QString kTitle = QStringLiteral("Mervane");
const QString kVersion = QStringLiteral("2.0");

std::string GoldenPath(const char* name) {
  return std::string(MERVANE_SOURCE_DIR) + "/tests/settings/golden/" + name;
}

QByteArray Golden(const char* name) {
  return QByteArray::fromStdString(ReadFileBytes(GoldenPath(name)));
}

Preset Named(int number, const char* name) {
  Preset p;
  p.PresetNumber = static_cast<int8_t>(number);
  p.PresetName = QString::fromUtf8(name);
  return p;
}

// Every field away from its default, every rule list filled.
Preset EveryField(int number) {
  Preset p = Named(number, "Fotos für Oma – 100% ✓");
  p.SelectedPage = 9;
  p.TemplateButtons = 0;
  p.PatternButtons = 0;
  p.AlwaysOnTop = 1;
  p.IncludeSubdirectories = 0;
  p.IncludeHidden = 1;
  p.FilterDateSource = 2;
  p.DatePlaceholderSource = 0;
  p.ListKeepFiltered = 1;
  p.ListKeepSources = 1;
  p.ListKeepFailed = 0;
  p.ListKeepTargets = 1;
  p.ListKeepUnprocessed = 0;
  p.QuitAfterRun = 1;
  p.FilterActive = 1;
  p.FilterConditions = {{kItemChecked, 2, 1, QStringLiteral("jpg|jpeg|äöü"), 2},
                        {kItemSelected, 9, 3, QStringLiteral("2001"), 1},
                        {3, 14, 7, QString(), 2}};
  p.ChangeDates = 1;
  p.DateMode = 2;
  p.FixedDate = 1'234'567'890;
  p.DateCopySource = 0;
  p.DateRulesActive = 1;
  p.DateAdjustments = {{kItemChecked, 17, 2, -5}, {0, 0, 1, 2'000'000'000}, {2, 8, 0, 0}};
  p.HiddenChange = 1;
  p.HiddenClear = 1;
  p.ReadOnlyChange = 1;
  p.ReadOnlyClear = 0;
  p.ArchiveChange = 0;
  p.ArchiveClear = 1;
  p.NotIndexedChange = 1;
  p.NotIndexedClear = 1;
  p.RemoveActive = 1;
  p.RemoveFromEnd = 1;
  p.RemovePosition = 300;
  p.RemoveCount = 999;
  p.InsertActive = 1;
  p.InsertFromEnd = 1;
  p.InsertPosition = 258;
  p.InsertText = QStringLiteral("_%DY%_ß");
  p.CaseActive = 1;
  p.CaseMode = 4;
  p.ReplaceActive = 1;
  p.TextReplacements = {{kItemChecked, QStringLiteral("ä|æ"), QStringLiteral("ae")},
                        {0, QStringLiteral("x"), QString()},
                        {kItemChecked, QStringLiteral("*#?"), QStringLiteral("%FN%")}};
  p.ExtCaseActive = 1;
  p.ExtCaseMode = 1;
  p.ExtRulesActive = 1;
  p.ExtensionCorrections = {{kItemChecked, QStringLiteral("jpeg|jpe"), QStringLiteral("jpg")},
                            {kItemSelected, QStringLiteral("r##"), QStringLiteral("rar")}};
  p.SortActive = 1;
  p.SortKey = 6;
  p.SortDirection = 0;
  p.RemoveZoneMark = 1;
  p.NameTemplateActive = 1;
  p.NameTemplate = QStringLiteral("%DY%-%DM% %FN% (%0001%)");
  p.CounterPerDirectory = 0;
  p.NoLeadingZeros = 1;
  p.TargetDirActive = 0;
  p.TargetDirTemplate = QStringLiteral("%PP%\\Bilder\\%DY%\\");
  p.KeepSubfolders = 1;
  p.TargetMove = 1;
  return p;
}

// The widest values each field's width holds, whether or not the range check takes them: the
// file keeps what it is given.
Preset Extremes() {
  Preset p = Named(127, "");
  p.SelectedPage = -128;
  p.TemplateButtons = 127;
  p.IncludeHidden = -1;
  p.FixedDate = std::numeric_limits<int32_t>::min();
  p.DateMode = 127;
  p.RemovePosition = std::numeric_limits<int16_t>::min();
  p.RemoveCount = std::numeric_limits<int16_t>::max();
  p.InsertPosition = -1;
  p.InsertText = QString(1000, QLatin1Char('i'));
  p.CaseMode = -128;
  p.SortKey = 127;
  p.TargetMove = -1;
  p.FilterConditions = {{std::numeric_limits<int32_t>::min(), -128, 127, QString(), -1}};
  p.DateAdjustments = {{-1, 127, -128, std::numeric_limits<int32_t>::max()},
                       {std::numeric_limits<int32_t>::max(), 0, 0,
                        std::numeric_limits<int32_t>::min()}};
  p.TextReplacements = {{0, QString(), QString()}};
  p.ExtensionCorrections = {{-1, QString::fromUtf8("\xF0\x9F\x93\xB7"), QString()}};
  // Line ends cannot stand in a text of the file: they go out as spaces.
  p.NameTemplate = QStringLiteral("a\nb\rc\r\nd");
  p.TargetDirTemplate = QString();
  return p;
}

struct GoldenRow {
  const char* file;
  QList<Preset> list;
  int32_t defaultIndex;
};

std::vector<GoldenRow> GoldenRows() {
  QList<Preset> everyField = {Named(0, "working, never written"), EveryField(1), EveryField(7)};
  everyField[2].PresetName = QStringLiteral("second");
  everyField[2].TextReplacements.clear();
  everyField[2].SelectedPage = 0;
  return {
      {"no-presets.presets", {Named(0, "working")}, 0},
      {"defaults.presets", {Named(0, "working"), Named(1, "Defaults")}, 1},
      {"every-field.presets", everyField, 2},
      {"extremes.presets", {Named(0, "working"), Extremes(), Named(-3, "negative number")}, 9},
  };
}

class PresetsGolden : public testing::Test {
 protected:
  void SetUp() override {
    ProductTexts[2] = kTitle;
    ProductTexts[4] = kVersion;
    for (int i = 245; i <= 248; ++i) LanguageTable[i] = QStringLiteral("Preset name %1").arg(i);
  }
};

TEST_F(PresetsGolden, ListsAreWrittenToTheBytesOfEarlierBuilds) {
  for (const GoldenRow& row : GoldenRows()) {
    SCOPED_TRACE(row.file);
    const QByteArray golden = Golden(row.file);
    ASSERT_FALSE(golden.isEmpty()) << GoldenPath(row.file);
    EXPECT_EQ(SerializePresets(row.list, row.defaultIndex, kTitle, kVersion), golden);

    // The same through the file: the saved file holds exactly those bytes.
    TempDir dir;
    const QString path = dir.Path() + QStringLiteral("Presets");
    ASSERT_TRUE(SavePresets(path, row.list, row.defaultIndex));
    EXPECT_EQ(QByteArray::fromStdString(ReadFileBytes(dir.Bytes() + "Presets")), golden);
  }
}

TEST_F(PresetsGolden, FilesOfEarlierBuildsReadBackToTheirLists) {
  for (const GoldenRow& row : GoldenRows()) {
    SCOPED_TRACE(row.file);
    QList<Preset> loaded;
    int32_t defaultIndex = -1;
    ASSERT_TRUE(ParsePresets(Golden(row.file), kTitle, kVersion, loaded, defaultIndex));
    EXPECT_EQ(defaultIndex, row.defaultIndex);
    // What the list holds once read: the working preset from the defaults, then every preset
    // with a number other than 0, line ends in texts turned into spaces.
    QList<Preset> expected = {WorkingPreset()};
    for (const Preset& p : row.list) {
      if (p.PresetNumber == 0) continue;
      Preset written = p;
      written.NameTemplate.replace(QLatin1Char('\n'), QLatin1Char(' '));
      written.NameTemplate.replace(QLatin1Char('\r'), QLatin1Char(' '));
      expected.append(written);
    }
    ASSERT_EQ(loaded.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_TRUE(loaded[i] == expected[i]) << loaded[i].PresetName.toStdString();
    }
    // Read and written again, not one byte moves.
    EXPECT_EQ(SerializePresets(loaded, defaultIndex, kTitle, kVersion), Golden(row.file));
  }
}

TEST_F(PresetsGolden, AVersion10FileIsWrittenAgainInTheCurrentLayout) {
  // Written by hand in the older layout: no remove, insert and counter options.
  QList<Preset> loaded;
  int32_t defaultIndex = -1;
  ASSERT_TRUE(ParsePresets(Golden("version-1.0.presets"), kTitle, kVersion, loaded, defaultIndex));
  EXPECT_EQ(defaultIndex, 1);
  ASSERT_EQ(loaded.size(), 3);
  EXPECT_EQ(loaded[1].PresetName, QStringLiteral("Alt"));
  EXPECT_EQ(loaded[2].PresetName, QStringLiteral("Zweite"));
  EXPECT_EQ(SerializePresets(loaded, defaultIndex, kTitle, kVersion),
            Golden("version-1.0-saved-again.presets"));
}

}  // namespace
