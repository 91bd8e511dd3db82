#include "settings/Locations.h"

#include "platform/FileSystem.h"
#include "platform/Locations.h"
#include "settings/SettingsHeader.h"
#include "texts/ProductTitle.h"
#include "texts/TextTables.h"

#include <QLocale>

#include <cerrno>

namespace {

const QString kLanguageName = QStringLiteral("Language");
const QString kPresetsName = QStringLiteral("Presets");

// A title that would not name exactly one folder below the configuration folder: deleting
// "every file" in such a place must never reach the folder above.
bool UsableFolderName(const QString& name) {
  return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
         name != QLatin1String("..");
}

// Reads a small regular settings file; nothing for a missing, empty or special file (a FIFO
// would block the reader).
std::optional<QByteArray> ReadRegularSettingsFile(const QString& path) {
  if (FileSize(path) <= 0) return std::nullopt;
  return ReadSettingsFile(path);
}

}  // namespace

QString PortablePrefix(const QString& programFolder) {
  return programFolder + FileNameTitle() + QLatin1Char('_');
}

QString PerUserFolderPath() {
  const QString configHome = ConfigHomeFolder();
  const QString title = PlainTitle();
  if (configHome.isEmpty() || !UsableFolderName(title)) return {};
  return configHome + title + QLatin1Char('/');
}

bool DetectPortable(const QString& portablePrefix) {
  if (!portablePrefix.startsWith(QLatin1Char('/'))) return false;
  for (const QString& name : {kLanguageName, kPresetsName}) {
    const std::optional<QByteArray> bytes = ReadRegularSettingsFile(portablePrefix + name);
    if (!bytes) continue;
    SettingsReader in(*bytes);
    if (ReadHeader(in).IsCurrent()) return true;
  }
  return false;
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
  if (const std::optional<QByteArray> bytes = ReadRegularSettingsFile(languageFile)) {
    SettingsReader in(*bytes);
    // A file cut short after its header holds no choice (reading on would give 0, German).
    if (ReadHeader(in).IsCurrent() && !in.AtEnd()) {
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
  return WriteSettingsFile(languageFile, out.Bytes());
}

bool ForgetLanguage(const QString& languageFile) {
  const int error = DeleteFile(languageFile);
  return error == 0 || error == ENOENT;
}

QStringList RemoveAllSettings(const QString& portablePrefix) {
  QStringList remaining;
  const QString folder = PerUserFolderPath();
  if (!folder.isEmpty() && RemoveFolderWithFiles(folder) != 0) remaining.append(folder);
  // Without the program's folder the portable files cannot be named; never guess a folder.
  if (!portablePrefix.startsWith(QLatin1Char('/'))) return remaining;
  for (const QString& name : {kLanguageName, kPresetsName}) {
    const QString path = portablePrefix + name;
    const int error = DeleteFile(path);
    if (error != 0 && error != ENOENT) remaining.append(path);
  }
  return remaining;
}
