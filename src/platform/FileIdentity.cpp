#include "platform/FileIdentity.h"

#include "platform/FileName.h"
#include "platform/FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

FileTime FromStatx(const struct statx_timestamp& ts) {
  return {static_cast<int64_t>(ts.tv_sec), static_cast<int64_t>(ts.tv_nsec)};
}

FileIdentity Look(const char* encoded, int flags, int dirFd = AT_FDCWD) {
  FileIdentity identity;
  if (*encoded == '\0') {
    identity.Error = ENOENT;
    return identity;
  }
  struct statx sx {};
  if (::statx(dirFd, encoded, flags, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
    identity.Error = errno;
    return identity;
  }
  identity.Device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
  identity.Inode = sx.stx_ino;
  identity.Size = static_cast<int64_t>(sx.stx_size);
  identity.Mode = sx.stx_mode;
  identity.Links = sx.stx_nlink;
  identity.Accessed = FromStatx(sx.stx_atime);
  identity.Modified = FromStatx(sx.stx_mtime);
  identity.HasBirthTime = (sx.stx_mask & STATX_BTIME) != 0;
  if (identity.HasBirthTime) identity.Born = FromStatx(sx.stx_btime);
  return identity;
}

}  // namespace

bool FileIdentity::IsRegular() const {
  return Exists() && S_ISREG(Mode);
}

bool FileIdentity::IsDirectory() const {
  return Exists() && S_ISDIR(Mode);
}

bool FileIdentity::IsLink() const {
  return Exists() && S_ISLNK(Mode);
}

FileIdentity ReadFileIdentity(const QString& path) {
  return Look(EncodeFileName(path).constData(), AT_SYMLINK_NOFOLLOW);
}

FileIdentity ReadFileIdentity(const QByteArray& encodedPath) {
  return Look(encodedPath.constData(), AT_SYMLINK_NOFOLLOW);
}

FileIdentity ReadFileIdentityAt(int dirFd, const char* name) {
  return Look(name, AT_SYMLINK_NOFOLLOW, dirFd);
}

bool SameFile(const FileIdentity& now, const FileIdentity& before, const FileMatch& match) {
  if (!now.SameFileAs(before)) return false;
  if (match.Size && now.Size != before.Size) return false;
  if (match.Modified && now.Modified != before.Modified) return false;
  if (match.Birth && now.HasBirthTime && before.HasBirthTime && now.Born != before.Born)
    return false;
  return true;
}

FileIdentity ReadFollowedIdentity(const QString& path) {
  return Look(EncodeFileName(path).constData(), 0);
}

bool SameContent(const QString& a, const QString& b) {
  SequentialFile first;
  SequentialFile second;
  if (first.Open(a) != 0 || second.Open(b) != 0) return false;
  constexpr size_t kChunk = 1 << 16;
  std::unique_ptr<char[]> x(new char[kChunk]);
  std::unique_ptr<char[]> y(new char[kChunk]);
  for (;;) {
    const ssize_t n = first.Read(x.get(), kChunk);
    const ssize_t m = second.Read(y.get(), kChunk);
    if (n < 0 || m < 0 || n != m) return false;
    if (n == 0) return true;
    if (std::memcmp(x.get(), y.get(), static_cast<size_t>(n)) != 0) return false;
  }
}
