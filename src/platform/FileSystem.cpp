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

bool PathExists(const QString& path) {
  struct stat st {};
  return ::lstat(EncodeFileName(path).constData(), &st) == 0;
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

int DeleteFile(const QString& path) {
  return ::unlink(EncodeFileName(path).constData()) == 0 ? 0 : errno;
}

int MakeDirectory(const QString& path) {
  return ::mkdir(EncodeFileName(path).constData(), 0777) == 0 ? 0 : errno;
}

int RemoveDirectory(const QString& path) {
  return ::rmdir(EncodeFileName(path).constData()) == 0 ? 0 : errno;
}
