// What the window tells once about the presets start-up found (the console's refusals are
// tested on the real program).

#include "settings/PresetsProblems.h"

#include "settings/BuiltinPresets.h"
#include "support/TempDir.h"
#include "texts/AdditionEntries.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

class PresetsProblems : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(LoadProductTexts());
    ASSERT_TRUE(LoadLanguageTable(kLanguageEnglish));
  }

  void SetUp() override {
    presets_ = {WorkingPreset(), BuiltinPresets()[0], BuiltinPresets()[1]};
    presets_[2].SortKey = 9;  // out of range
    found_.PresetsFile = dir_.Path() + QStringLiteral("Presets");
    found_.Presets = &presets_;
    dir_.WriteFile("Presets", "whatever stands there");
  }

  static SettingsFileStatus Status(SettingsFileState state,
                                   SettingsDamage damage = SettingsDamage::kNone,
                                   float version = 2.0f, int error = 0) {
    SettingsFileStatus status;
    status.State = state;
    status.Damage = damage;
    status.StoredVersion = version;
    status.Error = error;
    return status;
  }

  TempDir dir_;
  QList<Preset> presets_;
  PresetsAtStartup found_;
};

bool Contains(const QString& text, const QString& part) {
  return text.contains(part);
}

TEST_F(PresetsProblems, TheWindowSaysOnceWhatItShowsAndWhereTheFileWillBeKept) {
  found_.CommandLinePreset = -1;
  found_.Wanted = found_.Activated = 1;
  const struct {
    const char* label;
    SettingsFileStatus status;
    int shown;             // the sentence on what the window shows instead
    const char* keptName;  // nullptr: no sentence on keeping
  } rows[] = {
      {"missing", Status(SettingsFileState::kMissing), 0, nullptr},
      {"current", Status(SettingsFileState::kCurrent), 0, nullptr},
      {"older layout", Status(SettingsFileState::kOlderLayout, SettingsDamage::kNone, 1.0f), 0,
       nullptr},
      {"other version", Status(SettingsFileState::kOtherVersion, SettingsDamage::kNone, 3.0f),
       kAddBuiltinPresetsShown, "Presets.version-3.0"},
      {"damaged", Status(SettingsFileState::kDamaged, SettingsDamage::kCutShort),
       kAddReadPresetsShown, "Presets.damaged"},
      {"foreign", Status(SettingsFileState::kForeign), kAddBuiltinPresetsShown, "Presets.unknown"},
      {"a folder in its place",
       Status(SettingsFileState::kUnreadable, SettingsDamage::kNone, 0, EISDIR),
       kAddBuiltinPresetsShown, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    found_.File = row.status;
    // The console refuses what the window shows instead, unless it asks for preset 0.
    EXPECT_EQ(ConsoleRefusal(found_).isEmpty(), row.shown == 0);
    found_.CommandLinePreset = 0;
    EXPECT_TRUE(ConsoleRefusal(found_).isEmpty());
    found_.CommandLinePreset = -1;
    const QStringList notices = WindowNotices(found_);
    ASSERT_EQ(notices.size(), row.shown == 0 ? 0 : 1);
    if (row.shown == 0) continue;
    EXPECT_TRUE(Contains(notices[0], PresetsFileProblem(found_.PresetsFile, row.status)));
    EXPECT_TRUE(Contains(notices[0], AdditionText(row.shown)));
    if (row.keptName != nullptr) {
      EXPECT_TRUE(
          Contains(notices[0], u'"' + dir_.Path() + QString::fromLatin1(row.keptName) + u'"'))
          << notices[0].toStdString();
    } else {
      EXPECT_FALSE(Contains(notices[0], AdditionText(kAddPresetsKeptOnSave).section(u'%', 0, 0)))
          << notices[0].toStdString();
    }
  }
}

TEST_F(PresetsProblems, ADefaultPresetOutOfRangeIsToldAndPresetZeroShown) {
  found_.File = Status(SettingsFileState::kCurrent);
  found_.Wanted = 2;
  found_.Activated = 0;
  const QStringList notices = WindowNotices(found_);
  ASSERT_EQ(notices.size(), 1);
  EXPECT_TRUE(Contains(notices[0], QStringLiteral("Preset 2 \"") + presets_[2].PresetName + u'"'));
  EXPECT_TRUE(Contains(notices[0], AdditionText(kAddWorkingPresetActive)));
  // A position that names no preset is not told: it always meant preset 0.
  found_.Wanted = 5;
  EXPECT_TRUE(WindowNotices(found_).isEmpty());
}

}  // namespace
