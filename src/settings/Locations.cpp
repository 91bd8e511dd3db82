#include "settings/Locations.h"

#include "platform/FileSystem.h"
#include "platform/Locations.h"
#include "settings/KeptFiles.h"
#include "settings/PresetsFile.h"
#include "settings/SettingsHeader.h"
#include "texts/ProductTitle.h"
#include "texts/TextTables.h"

#include <QLocale>

#include <cerrno>

namespace {

const QString kLanguageName = QStringLiteral("Language");
const QString kPresetsName = QStringLiteral("Presets");
const QString kWindowName = QStringLiteral("Window.ini");

// A title that would not name exactly one folder below the configuration folder: deleting
// "every file" in such a place must never reach the folder above.
bool UsableFolderName(const QString& name) {
  return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
         name != QLatin1String("..");
}

// Versions whose language files this one reads besides its own. Every version wrote the same
// layout, the header and one byte; 1.0 is not among them, as it never wrote this file.
constexpr float kKnownLanguageVersions[] = {2.0f};

bool KnownLanguageVersion(const SettingsHeader& header) {
  if (!header.IsOurs()) return false;
  if (header.IsCurrent()) return true;
  for (const float version : kKnownLanguageVersions)
    if (version == header.StoredVersion) return true;
  return false;
}

}  // namespace

SettingsFileStatus ClassifyLanguage(const QByteArray& bytes) {
  SettingsReader in(bytes);
  const SettingsHeader header = ReadHeader(in);
  SettingsFileStatus status;
  status.StoredVersion = header.StoredVersion;
  if (!KnownLanguageVersion(header)) {
    status.State = header.IsOurs() && !StoredVersionName(header.StoredVersion).isEmpty()
                       ? SettingsFileState::kOtherVersion
                       : SettingsFileState::kForeign;
    return status;
  }
  const bool oneByte = in.Position() + 1 == bytes.size();
  const int8_t stored = in.ReadInt8();
  if (!oneByte || (stored != kLanguageGerman && stored != kLanguageEnglish)) {
    status.State = SettingsFileState::kDamaged;
    status.Damage = SettingsDamage::kBadValue;
  } else {
    status.State =
        header.IsCurrent() ? SettingsFileState::kCurrent : SettingsFileState::kOlderLayout;
  }
  return status;
}

QString WindowFileName() {
  return kWindowName;
}

QString PortablePrefix(const QString& programFolder) {
  return programFolder + FileNameTitle() + QLatin1Char('_');
}

QString PerUserFolderPath() {
  const QString configHome = ConfigHomeFolder();
  const QString title = PlainTitle();
  if (configHome.isEmpty() || !UsableFolderName(title)) return {};
  return configHome + title + QLatin1Char('/');
}

QString PerUserStateFolderPath() {
  const QString stateHome = StateHomeFolder();
  const QString title = PlainTitle();
  if (stateHome.isEmpty() || !UsableFolderName(title)) return {};
  return stateHome + title + QLatin1Char('/');
}

bool DetectPortable(const QString& portablePrefix) {
  if (!portablePrefix.startsWith(QLatin1Char('/'))) return false;
  // A copy updated in its folder keeps its settings: files of an earlier version count when
  // this one reads them.
  return CheckSettingsFile(portablePrefix + kLanguageName, ClassifyLanguage).KnownVersion() ||
         CheckSettingsFile(portablePrefix + kPresetsName, ClassifyPresets).KnownVersion();
}

QString PerUserSettingsFolder(const QString& portablePrefix) {
  const QString folder = PerUserFolderPath();
  if (folder.isEmpty()) return portablePrefix;
  // A fresh account may have no configuration folder yet; the per-user folder goes below it
  // all the same rather than scattering settings beside the program.
  const QString configHome = ConfigHomeFolder();
  if (!IsDirectory(configHome)) MakePrivateFolderPath(configHome);
  MakeDirectory(folder);
  return IsDirectory(folder) ? folder : portablePrefix;
}

int32_t SystemLanguageIndex() {
  return QLocale::system().language() == QLocale::German ? kLanguageGerman : kLanguageEnglish;
}

int32_t ChooseLanguage(const QString& languageFile) {
  if (const std::optional<QByteArray> bytes = ReadSettingsFile(languageFile)) {
    SettingsReader in(*bytes);
    // A file cut short after its header holds no choice (reading on would give 0, German).
    if (KnownLanguageVersion(ReadHeader(in)) && !in.AtEnd()) {
      const int8_t stored = in.ReadInt8();
      if (stored == kLanguageGerman || stored == kLanguageEnglish) return stored;
    }
  }
  return SystemLanguageIndex();
}

bool SaveLanguage(const QString& languageFile, int32_t languageIndex) {
  SettingsWriter out;
  WriteHeader(out);
  out.WriteInt8(static_cast<int8_t>(languageIndex));
  return ReplaceSettingsFile(languageFile, out.Bytes(), ClassifyLanguage).Error == 0;
}

bool ForgetLanguage(const QString& languageFile) {
  const SettingsFileStatus status = CheckSettingsFile(languageFile, ClassifyLanguage);
  // Only this version's own file is deleted; any other is kept aside, which frees the name all
  // the same.
  if (!status.ReplaceableAsIs()) return KeepAside(languageFile, status).Error == 0;
  const int error = DeleteFile(languageFile);
  return error == 0 || error == ENOENT;
}

QStringList RemoveAllSettings(const QString& portablePrefix) {
  QStringList remaining;
  const QString folder = PerUserFolderPath();
  // Only the files Mervane wrote: the user may keep files of their own there, or the folder
  // may be a link into a dotfiles repository, which is never followed.
  if (!folder.isEmpty() &&
      RemoveNamedFilesAndEmptyFolder(folder, {kLanguageName, kPresetsName, kWindowName}) != 0)
    remaining.append(folder);
  // Without the program's folder the portable files cannot be named; never guess a folder.
  if (!portablePrefix.startsWith(QLatin1Char('/'))) return remaining;
  for (const QString& name : {kLanguageName, kPresetsName, kWindowName}) {
    const QString path = portablePrefix + name;
    const int error = DeleteFile(path);
    if (error != 0 && error != ENOENT) remaining.append(path);
  }
  return remaining;
}
