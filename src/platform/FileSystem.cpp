#include "platform/FileSystem.h"

#include "platform/FileName.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

int64_t FileSize(const QString& path) {
  struct stat st {};
  if (::stat(EncodeFileName(path).constData(), &st) != 0) return -1;
  if (S_ISDIR(st.st_mode)) return -2;
  if (!S_ISREG(st.st_mode)) return -3;
  return static_cast<int64_t>(st.st_size);
}

FileStamp ReadFileStamp(const QString& path) {
  FileStamp stamp;
  struct stat st {};
  if (::stat(EncodeFileName(path).constData(), &st) != 0) return stamp;
  stamp.Size = S_ISDIR(st.st_mode)   ? -2
               : S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size)
                                     : -3;
  stamp.Device = static_cast<uint64_t>(st.st_dev);
  stamp.Inode = static_cast<uint64_t>(st.st_ino);
  stamp.ModifiedNs = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  stamp.ChangedNs = int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec;
  return stamp;
}

bool PathExists(const QString& path) {
  struct stat st {};
  return ::lstat(EncodeFileName(path).constData(), &st) == 0;
}

bool IsRegularFile(const QString& path, bool followLinks) {
  struct stat st {};
  const QByteArray encoded = EncodeFileName(path);
  const int result =
      followLinks ? ::stat(encoded.constData(), &st) : ::lstat(encoded.constData(), &st);
  return result == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const QString& path) {
  struct stat st {};
  return ::stat(EncodeFileName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsSymbolicLink(const QString& path) {
  struct stat st {};
  return ::lstat(EncodeFileName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

QString ResolvedPath(const QString& path) {
  char* resolved = ::realpath(EncodeFileName(path).constData(), nullptr);
  if (resolved == nullptr) return {};
  const QString result = DecodeFileName(std::string_view(resolved));
  std::free(resolved);
  return result;
}

int32_t FileMode(const QString& path) {
  struct stat st {};
  if (::stat(EncodeFileName(path).constData(), &st) != 0) return -1;
  return static_cast<int32_t>(st.st_mode & 07777);
}

int SetFileMode(const QString& path, int32_t mode) {
  return ::chmod(EncodeFileName(path).constData(), static_cast<mode_t>(mode & 07777)) == 0 ? 0
                                                                                           : errno;
}

int DeleteFile(const QString& path) {
  return ::unlink(EncodeFileName(path).constData()) == 0 ? 0 : errno;
}

int MakeDirectory(const QString& path) {
  return ::mkdir(EncodeFileName(path).constData(), 0777) == 0 ? 0 : errno;
}

int RemoveDirectory(const QString& path) {
  return ::rmdir(EncodeFileName(path).constData()) == 0 ? 0 : errno;
}

bool CreateDirectoryPath(const QString& path) {
  if (path.isEmpty()) return false;
  QString full = path;
  if (!full.endsWith(QLatin1Char('/'))) full += QLatin1Char('/');
  bool allMade = true;
  for (qsizetype slash = full.indexOf(QLatin1Char('/')); slash >= 0;
       slash = full.indexOf(QLatin1Char('/'), slash + 1)) {
    // Each prefix up to a "/" is one more component; "//" adds nothing new.
    const QString prefix = full.left(slash + 1);
    if (slash > 0 && full[slash - 1] == QLatin1Char('/')) continue;
    if (IsDirectory(prefix)) continue;
    if (MakeDirectory(prefix) != 0 && !IsDirectory(prefix)) allMade = false;
  }
  return allMade;
}

QString MountPointOf(const QString& path) {
  if (!path.startsWith(u'/')) return {};
  QByteArray current = EncodeFileName(path);
  while (current.size() > 1 && current.endsWith('/')) current.chop(1);
  const auto parentOf = [](const QByteArray& p) {
    const qsizetype slash = p.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : p.left(slash);
  };
  struct stat st {};
  while (::stat(current.constData(), &st) != 0) {
    if (current == "/") return {};
    current = parentOf(current);
  }
  // Up the folders while the parent lies on the same device: the last one is the mount point.
  while (current != "/") {
    const QByteArray parent = parentOf(current);
    struct stat up {};
    if (::stat(parent.constData(), &up) != 0 || up.st_dev != st.st_dev) break;
    current = parent;
  }
  return DecodeFileName(current);
}
