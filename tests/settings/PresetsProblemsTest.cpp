// What start-up says about the presets it found: when a console run refuses, and what the
// window tells once.

#include "settings/PresetsProblems.h"

#include "settings/BuiltinPresets.h"
#include "support/TempDir.h"
#include "texts/Additions.h"
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

TEST_F(PresetsProblems, AnUnusableFileStopsEveryConsoleRunButPresetZero) {
  const struct {
    const char* label;
    SettingsFileStatus status;
    const char* mentions;  // what the sentence must name besides the file
  } files[] = {
      {"other version", Status(SettingsFileState::kOtherVersion, SettingsDamage::kNone, 3.0f),
       "version 3.0"},
      {"cut short", Status(SettingsFileState::kDamaged, SettingsDamage::kCutShort),
       "ends in the middle of a preset"},
      {"bytes after the end", Status(SettingsFileState::kDamaged, SettingsDamage::kBytesAfterEnd),
       "bytes follow its last preset"},
      {"default missing", Status(SettingsFileState::kDamaged, SettingsDamage::kDefaultMissing),
       "default preset it names is not in it"},
      {"foreign", Status(SettingsFileState::kForeign), "not a presets file of Mervane"},
      {"unreadable", Status(SettingsFileState::kUnreadable, SettingsDamage::kNone, 0, EACCES),
       "Permission denied"},
  };
  // (named preset, position asked for, position activated, refused)
  const struct {
    int32_t commandLine;
    int32_t wanted;
    bool refused;
  } runs[] = {{1, 1, true}, {-1, 1, true}, {7, 7, true}, {0, 0, false}};
  for (const auto& file : files) {
    for (const auto& run : runs) {
      SCOPED_TRACE(std::string(file.label) + ", -Preset=" + std::to_string(run.commandLine));
      found_.File = file.status;
      found_.CommandLinePreset = run.commandLine;
      found_.Wanted = run.wanted;
      found_.Activated = run.wanted < presets_.size() ? run.wanted : 0;
      const QString refusal = ConsoleRefusal(found_);
      EXPECT_EQ(!refusal.isEmpty(), run.refused) << refusal.toStdString();
      if (!run.refused) continue;
      EXPECT_TRUE(Contains(refusal, QStringLiteral("\"") + found_.PresetsFile + u'"'))
          << refusal.toStdString();
      EXPECT_TRUE(Contains(refusal, QString::fromLatin1(file.mentions))) << refusal.toStdString();
      EXPECT_TRUE(Contains(refusal, AdditionText(kAddNothingRun)));
      EXPECT_TRUE(Contains(refusal, QStringLiteral("-Preset=0")));
    }
  }
}

TEST_F(PresetsProblems, APresetOutOfRangeIsRefusedRatherThanReplaced) {
  found_.File = Status(SettingsFileState::kCurrent);
  const struct {
    const char* label;
    int32_t commandLine;
    int32_t wanted;
    int32_t activated;
    bool refused;
  } rows[] = {
      {"named, out of range", 2, 2, 0, true},
      {"the default, out of range", -1, 2, 0, true},
      {"named, in range", 1, 1, 1, false},
      // A number that names no preset means preset 0, as it always did.
      {"named, not there", 5, 5, 0, false},
      {"preset 0", 0, 0, 0, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    found_.CommandLinePreset = row.commandLine;
    found_.Wanted = row.wanted;
    found_.Activated = row.activated;
    const QString refusal = ConsoleRefusal(found_);
    EXPECT_EQ(!refusal.isEmpty(), row.refused);
    if (row.refused) {
      EXPECT_TRUE(Contains(refusal, QStringLiteral("Preset 2 \"") + presets_[2].PresetName + u'"'))
          << refusal.toStdString();
    }
    // The window goes on with preset 0 and says why.
    const QStringList notices = WindowNotices(found_);
    ASSERT_EQ(notices.size(), row.refused ? 1 : 0);
    if (row.refused) {
      EXPECT_TRUE(Contains(notices[0], AdditionText(kAddWorkingPresetActive)));
    }
  }
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
    const QStringList notices = WindowNotices(found_);
    ASSERT_EQ(notices.size(), row.shown == 0 ? 0 : 1);
    if (row.shown == 0) continue;
    EXPECT_TRUE(Contains(notices[0], PresetsFileProblem(found_.PresetsFile, row.status)));
    EXPECT_TRUE(Contains(notices[0], AdditionText(row.shown)));
    if (row.keptName != nullptr) {
      EXPECT_TRUE(Contains(notices[0], u'"' + dir_.Path() + QString::fromLatin1(row.keptName) + u'"'))
          << notices[0].toStdString();
    } else {
      EXPECT_FALSE(Contains(notices[0], AdditionText(kAddPresetsKeptOnSave).section(u'%', 0, 0)))
          << notices[0].toStdString();
    }
  }
}

}  // namespace
