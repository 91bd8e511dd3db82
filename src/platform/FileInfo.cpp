#include "platform/FileInfo.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr long kDirectoryBufferSize = 32 * 1024;

FileTime FromStatx(const struct statx_timestamp& ts) {
  return {static_cast<int64_t>(ts.tv_sec), static_cast<int64_t>(ts.tv_nsec)};
}

bool FillFacts(int result, const struct statx& sx, FileFacts& facts) {
  facts = FileFacts{};
  if (result != 0) {
    facts.Error = errno;
    return false;
  }
  const mode_t mode = sx.stx_mode;
  if (S_ISREG(mode))
    facts.Kind = FileKind::Regular;
  else if (S_ISDIR(mode))
    facts.Kind = FileKind::Directory;
  else
    facts.Kind = FileKind::Other;
  facts.Device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
  facts.Inode = sx.stx_ino;
  facts.Size = static_cast<int64_t>(sx.stx_size);
  facts.Modified = FromStatx(sx.stx_mtime);
  facts.Accessed = FromStatx(sx.stx_atime);
  // Not every file system keeps a birth time (ext3, NFS, tmpfs on old kernels); the
  // modification time is the closest thing a user would recognise as "created".
  facts.Created = (sx.stx_mask & STATX_BTIME) != 0 ? FromStatx(sx.stx_btime) : facts.Modified;

  struct stat& st = facts.Stat;
  st.st_mode = mode;
  st.st_uid = sx.stx_uid;
  st.st_gid = sx.stx_gid;
  st.st_nlink = sx.stx_nlink;
  st.st_ino = sx.stx_ino;
  st.st_dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
  st.st_rdev = makedev(sx.stx_rdev_major, sx.stx_rdev_minor);
  st.st_size = static_cast<off_t>(sx.stx_size);
  st.st_blksize = static_cast<blksize_t>(sx.stx_blksize);
  st.st_blocks = static_cast<blkcnt_t>(sx.stx_blocks);
  st.st_atim = {static_cast<time_t>(sx.stx_atime.tv_sec), sx.stx_atime.tv_nsec};
  st.st_mtim = {static_cast<time_t>(sx.stx_mtime.tv_sec), sx.stx_mtime.tv_nsec};
  st.st_ctim = {static_cast<time_t>(sx.stx_ctime.tv_sec), sx.stx_ctime.tv_nsec};
  return true;
}

constexpr unsigned kStatxMask = STATX_BASIC_STATS | STATX_BTIME;

// The name's own facts first: a link is followed only once it is known to be one, and keeps
// its own identity.
bool ReadEntryFacts(int dirFd, const char* name, FileFacts& facts) {
  struct statx sx {};
  const int result =
      ::statx(dirFd, name, AT_STATX_SYNC_AS_STAT | AT_SYMLINK_NOFOLLOW, kStatxMask, &sx);
  if (result == 0 && S_ISLNK(sx.stx_mode)) {
    const uint64_t device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    const uint64_t inode = sx.stx_ino;
    const int followed = ::statx(dirFd, name, AT_STATX_SYNC_AS_STAT, kStatxMask, &sx);
    const bool ok = FillFacts(followed, sx, facts);
    facts.IsLink = true;
    facts.Device = device;
    facts.Inode = inode;
    return ok;
  }
  return FillFacts(result, sx, facts);
}

}  // namespace

bool ReadFileFacts(const char* encodedPath, FileFacts& facts) {
  return ReadEntryFacts(AT_FDCWD, encodedPath, facts);
}

bool ReadFileFactsAt(int dirFd, const char* name, FileFacts& facts) {
  return ReadEntryFacts(dirFd, name, facts);
}

bool ReadFollowedFactsAt(int dirFd, const char* name, FileFacts& facts) {
  struct statx sx {};
  const int result = ::statx(dirFd, name, AT_STATX_SYNC_AS_STAT, kStatxMask, &sx);
  return FillFacts(result, sx, facts);
}

DirectoryReader::~DirectoryReader() {
  Close();
}

void DirectoryReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  std::free(buffer_);
  buffer_ = nullptr;
  used_ = offset_ = 0;
}

int DirectoryReader::Open(int parentFd, const char* name) {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  used_ = offset_ = 0;
  const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    return error;
  }
  if (buffer_ == nullptr) {
    buffer_ = static_cast<char*>(std::malloc(kDirectoryBufferSize));
    if (buffer_ == nullptr) {
      ::close(fd);
      return ENOMEM;
    }
  }
  fd_ = fd;
  device_ = st.st_dev;
  inode_ = st.st_ino;
  return 0;
}

bool DirectoryReader::Next(Item& item) {
  if (fd_ < 0) return false;
  for (;;) {
    if (offset_ >= used_) {
      // getdents64 hands over many entries per call, without readdir's extra copy.
      const long got = ::syscall(SYS_getdents64, fd_, buffer_, kDirectoryBufferSize);
      if (got <= 0) return false;
      used_ = got;
      offset_ = 0;
    }
    // The kernel's linux_dirent64: ino (8), off (8), reclen (2), type (1), name.
    const char* record = buffer_ + offset_;
    unsigned short recordLength = 0;
    std::memcpy(&recordLength, record + 16, sizeof recordLength);
    offset_ += recordLength;
    const char* name = record + 19;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    item.Name = std::string_view(name);
    item.Type = static_cast<unsigned char>(record[18]);
    std::memcpy(&item.Inode, record, sizeof item.Inode);
    return true;
  }
}
