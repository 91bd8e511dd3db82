#include "platform/Locations.h"

#include "platform/FileName.h"
#include "platform/FileOps.h"
#include "platform/Process.h"

#include <QDir>
#include <QStandardPaths>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

QString TempFolder() {
  return WithFinalSlash(QDir::tempPath());
}

QString DesktopFolder() {
  QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  // Qt decodes $HOME as UTF-8 and turns other bytes into U+FFFD; put the home folder back in
  // its lossless form so that the desktop of such an account can be written to.
  QString home = EnvironmentPath("HOME");
  while (home.size() > 1 && home.endsWith(QLatin1Char('/'))) home.chop(1);
  const QString qtHome = QDir::homePath();
  if (!home.isEmpty() && home != qtHome && desktop.startsWith(qtHome))
    desktop = home + desktop.mid(qtHome.size());
  return WithFinalSlash(desktop);
}

QString DocumentsFolder() {
  return WithFinalSlash(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

namespace {

// $HOME, or the account's home folder where it is unusable (a service or a stripped
// environment); with a final "/", empty when neither is known.
QString HomeFolder() {
  QString home = EnvironmentPath("HOME");
  if (!home.startsWith(QLatin1Char('/'))) {
    const passwd* account = ::getpwuid(::getuid());
    if (account == nullptr || account->pw_dir == nullptr) return {};
    home = DecodeFileName(std::string_view(account->pw_dir, std::strlen(account->pw_dir)));
    if (!home.startsWith(QLatin1Char('/'))) return {};
  }
  return WithFinalSlash(home);
}

// The base-directory standard's folder: the variable when it holds an absolute path (relative
// values are ignored), else `fallback` below the home folder.
QString BaseDirectory(const char* variable, const char* fallback) {
  const QString folder = EnvironmentPath(variable);
  if (folder.startsWith(QLatin1Char('/'))) return WithFinalSlash(folder);
  const QString home = HomeFolder();
  return home.isEmpty() ? QString() : home + QLatin1String(fallback);
}

}  // namespace

QString ConfigHomeFolder() {
  return BaseDirectory("XDG_CONFIG_HOME", ".config/");
}

QString StateHomeFolder() {
  return BaseDirectory("XDG_STATE_HOME", ".local/state/");
}

QString RuntimeFolder() {
  const QString runtime = EnvironmentPath("XDG_RUNTIME_DIR");
  return runtime.startsWith(QLatin1Char('/')) ? WithFinalSlash(runtime) : QString();
}

int RemoveFolderWithFiles(const QString& folder) {
  const QByteArray encoded = EncodeFileName(WithFinalSlash(folder));
  DIR* dir = ::opendir(encoded.constData());
  if (dir == nullptr) return errno == ENOENT ? 0 : errno;
  const int dirFd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    struct stat st {};
    if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode))
      continue;
    ::unlinkat(dirFd, entry->d_name, 0);
  }
  ::closedir(dir);
  if (::rmdir(encoded.constData()) == 0 || errno == ENOENT) return 0;
  return errno;
}

int RemoveNamedFilesAndEmptyFolder(const QString& folder, const QStringList& names) {
  QByteArray path = EncodeFileName(folder);
  while (path.size() > 1 && path.endsWith('/')) path.chop(1);
  const int dirFd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dirFd < 0) {
    if (errno == ENOENT) return 0;
    // O_NOFOLLOW on a link gives ELOOP; a link to a folder fails O_DIRECTORY only when followed.
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode)) return ELOOP;
    return errno;
  }
  int first = 0;
  for (const QString& name : names) {
    if (::unlinkat(dirFd, EncodeFileName(name).constData(), 0) != 0 && errno != ENOENT &&
        first == 0)
      first = errno;
  }
  ::close(dirFd);
  RemoveStaleTemporaries(DecodeFileName(path) + QLatin1Char('/'));
  // Only an empty folder goes; one with the user's own files in it stays, and that is no error.
  ::rmdir(path.constData());
  return first;
}

bool MakePrivateFolderPath(const QString& folder) {
  const QByteArray path = EncodeFileName(WithFinalSlash(folder));
  if (!path.startsWith('/')) return false;
  for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
    ::mkdir(path.left(slash).constData(), 0700);
  struct stat st {};
  return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsOwnFolder(const QString& folder) {
  QByteArray path = EncodeFileName(folder);
  while (path.size() > 1 && path.endsWith('/')) path.chop(1);
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}
