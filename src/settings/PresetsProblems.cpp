#include "settings/PresetsProblems.h"

#include "platform/FileName.h"
#include "platform/Process.h"
#include "settings/SettingsHeader.h"
#include "texts/AdditionEntries.h"
#include "texts/TextTables.h"

namespace {

QString DamageText(SettingsDamage damage) {
  switch (damage) {
    case SettingsDamage::kCutShort:
      return AdditionText(kAddPresetsCutShort);
    case SettingsDamage::kBytesAfterEnd:
      return AdditionText(kAddPresetsBytesAfterEnd);
    case SettingsDamage::kDefaultMissing:
      return AdditionText(kAddPresetsDefaultMissing);
    case SettingsDamage::kNone:
    case SettingsDamage::kBadValue:
      break;
  }
  return {};
}

// The preset asked for is in the list but failed the range check, so another was activated.
bool WantedOutOfRange(const PresetsAtStartup& found) {
  return found.Presets != nullptr && found.Activated != found.Wanted && found.Wanted > 0 &&
         found.Wanted < found.Presets->size();
}

QString OutOfRangeText(const PresetsAtStartup& found) {
  const Preset& preset = (*found.Presets)[found.Wanted];
  return AdditionText(kAddPresetOutOfRange)
      .arg(QString::number(preset.PresetNumber), preset.PresetName);
}

}  // namespace

QString PresetsFileProblem(const QString& presetsFile, const SettingsFileStatus& status) {
  const QString file = EscapedFileName(presetsFile);
  switch (status.State) {
    case SettingsFileState::kMissing:
    case SettingsFileState::kCurrent:
    case SettingsFileState::kOlderLayout:
      return {};
    case SettingsFileState::kDamaged:
      return AdditionText(kAddPresetsDamaged).arg(file, DamageText(status.Damage));
    case SettingsFileState::kOtherVersion:
      return AdditionText(kAddPresetsOtherVersion)
          .arg(file, StoredVersionName(status.StoredVersion));
    case SettingsFileState::kForeign:
      return AdditionText(kAddPresetsForeign).arg(file);
    case SettingsFileState::kUnreadable:
      return AdditionText(kAddPresetsUnreadable).arg(file, SystemErrorText(status.Error));
  }
  return {};
}

QString ConsoleRefusal(const PresetsAtStartup& found) {
  if (!found.File.Usable() && found.CommandLinePreset != 0) {
    return PresetsFileProblem(found.PresetsFile, found.File) + QLatin1Char(' ') +
           AdditionText(kAddNothingRun) + QLatin1Char(' ') + AdditionText(kAddPresetsHowToRun);
  }
  if (WantedOutOfRange(found))
    return OutOfRangeText(found) + QLatin1Char(' ') + AdditionText(kAddNothingRun);
  return {};
}

QStringList WindowNotices(const PresetsAtStartup& found) {
  QStringList notices;
  if (!found.File.Usable()) {
    QString notice = PresetsFileProblem(found.PresetsFile, found.File) + QLatin1Char(' ') +
                     AdditionText(found.File.State == SettingsFileState::kDamaged
                                      ? kAddReadPresetsShown
                                      : kAddBuiltinPresetsShown);
    // Something that is no file at all (a folder) is never moved; saving then fails and says so.
    const QString kept = KeptFilePath(found.PresetsFile, found.File);
    if (!kept.isEmpty())
      notice += QLatin1Char(' ') + AdditionText(kAddPresetsKeptOnSave).arg(EscapedFileName(kept));
    notices << notice;
  }
  if (WantedOutOfRange(found))
    notices << OutOfRangeText(found) + QLatin1Char(' ') + AdditionText(kAddWorkingPresetActive);
  return notices;
}
