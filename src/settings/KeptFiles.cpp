#include "settings/KeptFiles.h"

#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "settings/SettingsHeader.h"

#include <cerrno>

namespace {

// How many numbered names are tried before keeping gives up.
constexpr int kLastKeptNumber = 99;

// Something other than a regular file at the name: it is not a settings file anyone wrote, and
// moving it would take it from whoever put it there.
bool IsNoFile(const SettingsFileStatus& status) {
  return status.State == SettingsFileState::kUnreadable &&
         (status.Error == EISDIR || status.Error == EINVAL);
}

QString NumberedName(const QString& base, int number) {
  return number == 1 ? base : base + QLatin1Char('-') + QString::number(number);
}

// The file a settings file's name stands for: a link at the name is followed (dotfile managers
// keep the file elsewhere), a dangling or looping one is taken as it is.
QString FileBehindName(const QString& path) {
  if (!IsSymbolicLink(path)) return path;
  const QString resolved = ResolvedPath(path);
  return resolved.isEmpty() ? path : resolved;
}

}  // namespace

SettingsFileStatus CheckSettingsFile(const QString& path, const SettingsFileClassifier& classify,
                                     QByteArray* bytes) {
  FileReadResult read = ReadWholeFile(path, kMaxSettingsFileSize);
  SettingsFileStatus status;
  if (read.Error == ENOENT) return status;
  if (!read.Ok()) {
    status.State = SettingsFileState::kUnreadable;
    status.Error = read.Error;
    return status;
  }
  status = classify(read.Bytes);
  if (bytes != nullptr) *bytes = std::move(read.Bytes);
  return status;
}

QString KeptFileSuffix(const SettingsFileStatus& status) {
  switch (status.State) {
    case SettingsFileState::kMissing:
    case SettingsFileState::kCurrent:
      return {};
    case SettingsFileState::kOlderLayout:
    case SettingsFileState::kOtherVersion:
      return QStringLiteral(".version-") + StoredVersionName(status.StoredVersion);
    case SettingsFileState::kDamaged:
      return QStringLiteral(".damaged");
    case SettingsFileState::kForeign:
      return QStringLiteral(".unknown");
    case SettingsFileState::kUnreadable:
      return IsNoFile(status) ? QString() : QStringLiteral(".unreadable");
  }
  return {};
}

QString KeptFilePath(const QString& path, const SettingsFileStatus& status) {
  const QString suffix = KeptFileSuffix(status);
  if (suffix.isEmpty()) return {};
  const QString base = FileBehindName(path) + suffix;
  for (int number = 1; number <= kLastKeptNumber; ++number) {
    const QString candidate = NumberedName(base, number);
    if (!PathExists(candidate)) return candidate;
  }
  return {};
}

KeepResult KeepAside(const QString& path, const SettingsFileStatus& status) {
  KeepResult result;
  const QString suffix = KeptFileSuffix(status);
  if (suffix.isEmpty()) {
    result.Error = IsNoFile(status) ? status.Error : EINVAL;
    return result;
  }
  const QString from = FileBehindName(path);
  for (int number = 1; number <= kLastKeptNumber; ++number) {
    const QString to = NumberedName(from + suffix, number);
    // The rename never replaces: a name taken meanwhile is simply the next one tried.
    const FileOpResult moved = MoveFile(from, to, ExistingTarget::Refuse);
    if (moved.Error == EEXIST) continue;
    if (moved.Ok()) result.KeptPath = to;
    result.Error = moved.Error;
    return result;
  }
  result.Error = EEXIST;
  return result;
}

ReplaceResult ReplaceSettingsFile(const QString& path, const QByteArray& bytes,
                                  const SettingsFileClassifier& classify) {
  ReplaceResult result;
  const SettingsFileStatus status = CheckSettingsFile(path, classify);
  QString keptFrom;
  if (!status.ReplaceableAsIs()) {
    keptFrom = FileBehindName(path);
    const KeepResult kept = KeepAside(path, status);
    if (kept.Error != 0) {
      result.Error = kept.Error;
      return result;
    }
    result.KeptPath = kept.KeptPath;
  }
  // A link at the name stays and leads to the new file: once its file was kept aside it
  // dangles, so the new file is written where it points.
  result.Error = WriteFileAtomically(keptFrom.isEmpty() ? path : keptFrom, bytes,
                                     LinkAtName::ReplaceWhereItPoints);
  if (result.Error != 0 && !result.KeptPath.isEmpty()) {
    // Nothing was written: the kept file goes back to its name, as if nothing had happened.
    if (MoveFile(result.KeptPath, keptFrom, ExistingTarget::Refuse).Ok()) result.KeptPath.clear();
  }
  return result;
}
