#include "platform/FileOps.h"

#include "platform/FileName.h"
#include "platform/Xattr.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

namespace {

std::atomic<int> gFailAtWrite{0};
std::atomic<int> gFailErrno{0};
std::atomic<int> gWriteCount{0};

std::atomic<bool> gHookSet{false};
std::mutex gHookLock;
std::function<void(const QString&)> gBeforeLastStep;

void BeforeLastStep(const QByteArray& target) {
  if (!gHookSet.load(std::memory_order_relaxed)) return;
  std::function<void(const QString&)> hook;
  {
    std::lock_guard lock(gHookLock);
    hook = gBeforeLastStep;
  }
  if (hook) hook(DecodeFileName(target));
}

constexpr size_t kCopyBuffer = 1 << 20;
constexpr size_t kRangeChunk = size_t{1} << 30;

// Closes a descriptor on every way out.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  int Close() {
    int err = 0;
    if (fd_ >= 0 && ::close(fd_) != 0) err = errno;
    fd_ = -1;
    return err;
  }

 private:
  int fd_;
};

struct SplitPath {
  std::string Directory;  // "." when the path has no "/"
  std::string Name;
};

SplitPath Split(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  if (slash < 0) return {".", path.toStdString()};
  if (slash == 0) return {"/", path.mid(1).toStdString()};
  return {path.left(slash).toStdString(), path.mid(slash + 1).toStdString()};
}

// A temporary file in the target's directory, removed again unless it was placed.
class TempFile {
 public:
  TempFile() = default;
  ~TempFile() { Discard(); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates the file exclusively in `dirFd` with owner-only permission; 0 or errno.
  int Create(int dirFd) {
    dirFd_ = dirFd;
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
      timespec now{};
      ::clock_gettime(CLOCK_MONOTONIC, &now);
      char name[64];
      std::snprintf(name, sizeof name, ".mervane-%d-%u-%lx.tmp", static_cast<int>(::getpid()),
                    counter.fetch_add(1), static_cast<unsigned long>(now.tv_nsec));
      const int fd = ::openat(dirFd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                              S_IRUSR | S_IWUSR);
      if (fd >= 0) {
        fd_.Reset(fd);
        name_ = name;
        return 0;
      }
      if (errno != EEXIST) return errno;
    }
    return EEXIST;
  }

  int Fd() const { return fd_.Get(); }
  const std::string& Name() const { return name_; }
  int CloseFile() { return fd_.Close(); }
  // The file now lives under its final name.
  void Placed() { name_.clear(); }

  void Discard() {
    fd_.Close();
    if (!name_.empty()) ::unlinkat(dirFd_, name_.c_str(), 0);
    name_.clear();
  }

 private:
  ::Fd fd_;
  int dirFd_ = -1;
  std::string name_;
};

int WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const int failAt = gFailAtWrite.load(std::memory_order_relaxed);
    if (failAt > 0 && gWriteCount.fetch_add(1) + 1 == failAt) return gFailErrno.load();
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

int CopyByReadWrite(int src, int dst) {
  if (::lseek(src, 0, SEEK_SET) < 0 || ::lseek(dst, 0, SEEK_SET) < 0 || ::ftruncate(dst, 0) != 0) {
    return errno;
  }
  std::unique_ptr<char[]> buffer(new char[kCopyBuffer]);
  for (;;) {
    const ssize_t n = ::read(src, buffer.get(), kCopyBuffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return 0;
    if (const int err = WriteAll(dst, buffer.get(), static_cast<size_t>(n)); err != 0) return err;
  }
}

// The content of `src` into the empty file `dst`: a reflink where the file system shares
// blocks, else an in-kernel copy, else plain reads and writes.
int CopyContent(int src, int dst) {
  if (gFailAtWrite.load(std::memory_order_relaxed) > 0) return CopyByReadWrite(src, dst);
  if (::ioctl(dst, FICLONE, src) == 0) return 0;
  bool anyCopied = false;
  for (;;) {
    const ssize_t n = ::copy_file_range(src, nullptr, dst, nullptr, kRangeChunk, 0);
    if (n > 0) {
      anyCopied = true;
      continue;
    }
    if (n == 0) {
      // Some file systems (procfs-like, some FUSE) report 0 for content they cannot
      // copy in the kernel; make sure nothing was missed.
      if (anyCopied) return 0;
      return CopyByReadWrite(src, dst);
    }
    if (errno == EINTR) continue;
    const int err = errno;
    if (!anyCopied && (err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP ||
                       err == ENOTSUP || err == EBADF || err == EIO)) {
      return CopyByReadWrite(src, dst);
    }
    return err;
  }
}

// user.* attributes carry what Windows keeps in streams (the zone mark among them) and
// Samba's DOS word. A target file system that cannot keep them, or keeps smaller values,
// is no reason to fail the copy; running out of space is.
int CopyUserXattrs(int src, int dst) {
  const XattrNames names = ListXattrs(src);
  if (names.Error != 0) return 0;
  for (const QByteArray& name : names.Names) {
    if (!name.startsWith("user.")) continue;
    const XattrValue value = GetXattr(src, name.constData());
    if (!value.Ok()) continue;
    const int err = SetXattr(dst, name.constData(), value.Value);
    if (err == ENOSPC || err == EDQUOT || err == EIO) return err;
  }
  return 0;
}

bool IsMetadataUnsupported(int err) {
  return err == EPERM || err == ENOTSUP || err == EOPNOTSUPP;
}

// The complete copy of the open regular file `src` into a new temporary file in `dirFd`.
// A move keeps the owner as well, where the process may set it (a copy belongs to whoever
// made it, as with cp); the owner goes first because a change of owner clears set-id bits.
enum class CopyKind : uint8_t { Copy, Move };

int CopyIntoTemp(int src, const struct stat& srcStat, int dirFd, TempFile& temp, CopyKind kind,
                 bool sync) {
  if (const int err = temp.Create(dirFd); err != 0) return err;
  const int dst = temp.Fd();
  if (const int err = CopyContent(src, dst); err != 0) return err;
  if (const int err = CopyUserXattrs(src, dst); err != 0) return err;
  if (kind == CopyKind::Move) ::fchown(dst, srcStat.st_uid, srcStat.st_gid);
  // FAT and SMB media keep no Unix permissions and refuse most changes (EPERM, although the
  // new file is ours): the content is what a copy owes there.
  if (::fchmod(dst, srcStat.st_mode & 07777) != 0 && !IsMetadataUnsupported(errno)) return errno;
  const timespec times[2] = {srcStat.st_atim, srcStat.st_mtim};
  if (::futimens(dst, times) != 0 && !IsMetadataUnsupported(errno)) return errno;
  if (sync && ::fsync(dst) != 0) return errno;
  return temp.CloseFile();
}

int OpenSourceFile(const char* path, Fd& fd, struct stat& st) {
  // O_NONBLOCK keeps a FIFO from hanging the open; it changes nothing for a regular file.
  fd.Reset(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.Valid()) return errno;
  if (::fstat(fd.Get(), &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  const int flags = ::fcntl(fd.Get(), F_GETFL);
  if (flags >= 0) ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
  ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return 0;
}

int SyncDirectory(int dirFd) {
  return ::fsync(dirFd) == 0 || errno == EINVAL ? 0 : errno;
}

// Gives `fromName` in `fromDir` the name `to`, failing with EEXIST when `to` exists. Where
// the file system refuses the no-replace rename, a hard link and an unlink do the same.
int RenameNoReplace(int fromDir, const char* fromName, int toDir, const char* toName) {
  if (::renameat2(fromDir, fromName, toDir, toName, RENAME_NOREPLACE) == 0) return 0;
  const int err = errno;
  if (err != EINVAL && err != ENOSYS) return err;
  if (::linkat(fromDir, fromName, toDir, toName, 0) != 0) return errno;
  if (::unlinkat(fromDir, fromName, 0) != 0) {
    const int unlinkErr = errno;
    ::unlinkat(toDir, toName, 0);
    return unlinkErr;
  }
  return 0;
}

bool SameEntry(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Gives one directory entry a name that the file system considers equal to its current one
// (a change of letter case where names are compared without case). rename() would see the
// same file on both sides and do nothing, so the entry goes through a temporary name; if the
// second step fails it gets its old name back. The temporary name holds the user's file, so it
// is not one of the ".tmp" names that a clean-up of leftover copies may remove.
int RenameThroughTemporaryName(const QByteArray& from, const QByteArray& to) {
  const SplitPath source = Split(from);
  static std::atomic<unsigned> counter{0};
  std::string temporary;
  int err = EEXIST;
  for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
    char name[64];
    std::snprintf(name, sizeof name, "/.mervane-rename-%d-%u", static_cast<int>(::getpid()),
                  counter.fetch_add(1));
    temporary = source.Directory + name;
    err =
        ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, temporary.c_str(), RENAME_NOREPLACE) == 0
            ? 0
            : errno;
  }
  if (err != 0) return err;
  BeforeLastStep(to);
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  err = errno;
  ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, from.constData(), RENAME_NOREPLACE);
  return err;
}

// Puts the finished temporary file in place: over an existing target only when replacing was
// decided, otherwise refusing one that appeared meanwhile.
int PlaceTemporary(int dirFd, const std::string& temporary, const std::string& target,
                   ExistingTarget existing, const QByteArray& targetPath) {
  BeforeLastStep(targetPath);
  if (existing == ExistingTarget::Replace)
    return ::renameat(dirFd, temporary.c_str(), dirFd, target.c_str()) == 0 ? 0 : errno;
  return RenameNoReplace(dirFd, temporary.c_str(), dirFd, target.c_str());
}

FileOpResult MoveAcrossFileSystems(const QByteArray& from, const QByteArray& to,
                                   ExistingTarget existing) {
  FileOpResult result;
  result.Copied = true;
  const SplitPath target = Split(to);
  Fd dir(::open(target.Directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.Valid()) return {errno, true};
  struct stat lst {};
  if (::lstat(from.constData(), &lst) != 0) return {errno, true};
  // The source must be removable before a large copy is worth making.
  const SplitPath source = Split(from);
  if (::faccessat(AT_FDCWD, source.Directory.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    return {errno, true};
  }
  // Checked before any copying so that an existing target costs nothing.
  struct stat there {};
  if (::fstatat(dir.Get(), target.Name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0) {
    if (existing == ExistingTarget::Refuse) return {EEXIST, true};
    if (S_ISDIR(there.st_mode)) return {EISDIR, true};
  }

  TempFile temp;
  if (S_ISLNK(lst.st_mode)) {
    // A link moves as a link, not as a copy of what it points to.
    std::string linkText(static_cast<size_t>(lst.st_size > 0 ? lst.st_size : 4096) + 1, '\0');
    const ssize_t n = ::readlink(from.constData(), linkText.data(), linkText.size());
    if (n < 0) return {errno, true};
    if (static_cast<size_t>(n) >= linkText.size()) return {ENAMETOOLONG, true};
    linkText.resize(static_cast<size_t>(n));
    if (const int err = temp.Create(dir.Get()); err != 0) return {err, true};
    temp.CloseFile();
    ::unlinkat(dir.Get(), temp.Name().c_str(), 0);
    if (::symlinkat(linkText.c_str(), dir.Get(), temp.Name().c_str()) != 0) {
      const int err = errno;
      temp.Placed();
      return {err, true};
    }
  } else {
    Fd src;
    struct stat st {};
    if (const int err = OpenSourceFile(from.constData(), src, st); err != 0) return {err, true};
    if (const int err = CopyIntoTemp(src.Get(), st, dir.Get(), temp, CopyKind::Move, true);
        err != 0) {
      return {err, true};
    }
  }
  if (const int err = PlaceTemporary(dir.Get(), temp.Name(), target.Name, existing, to); err != 0) {
    return {err, true};
  }
  temp.Placed();
  if (const int err = SyncDirectory(dir.Get()); err != 0) {
    ::unlinkat(dir.Get(), target.Name.c_str(), 0);
    return {err, true};
  }
  // Only now, with the copy complete and on disk, the source goes. If it cannot, the copy is
  // taken back so that the file does not end up in two places.
  if (::unlink(from.constData()) != 0) {
    const int err = errno;
    ::unlinkat(dir.Get(), target.Name.c_str(), 0);
    return {err, true};
  }
  return result;
}

}  // namespace

FileOpResult MoveFile(const QString& from, const QString& to, ExistingTarget existing) {
  const QByteArray f = EncodeFileName(from);
  const QByteArray t = EncodeFileName(to);
  if (f.isEmpty() || t.isEmpty()) return {ENOENT, false};
  BeforeLastStep(t);
  if (existing == ExistingTarget::Replace) {
    // One step: the old target is gone only when the new file is in its place.
    if (::renameat(AT_FDCWD, f.constData(), AT_FDCWD, t.constData()) == 0) return {};
    const int err = errno;
    if (err == EXDEV) return MoveAcrossFileSystems(f, t, existing);
    return {err, false};
  }
  if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0) {
    return {};
  }
  const int err = errno;
  if (err == EEXIST) {
    // The target may be the source under another spelling (a case-only rename where names are
    // compared without case). One name for one inode means it is the same directory entry;
    // a hard link (two names) is a different entry and is not replaced.
    struct stat a {
    }, b{};
    if (::lstat(f.constData(), &a) == 0 && ::lstat(t.constData(), &b) == 0 && SameEntry(a, b) &&
        a.st_nlink == 1) {
      return {RenameThroughTemporaryName(f, t), false};
    }
    return {EEXIST, false};
  }
  if (err == EXDEV) return MoveAcrossFileSystems(f, t, existing);
  if (err == EINVAL || err == ENOSYS) {
    const int linkErr = RenameNoReplace(AT_FDCWD, f.constData(), AT_FDCWD, t.constData());
    return {linkErr, false};
  }
  return {err, false};
}

FileOpResult CopyFile(const QString& from, const QString& to, ExistingTarget existing) {
  const QByteArray f = EncodeFileName(from);
  const QByteArray t = EncodeFileName(to);
  if (f.isEmpty() || t.isEmpty()) return {ENOENT, false};
  Fd src;
  struct stat st {};
  if (const int err = OpenSourceFile(f.constData(), src, st); err != 0) return {err, false};

  const SplitPath target = Split(t);
  Fd dir(::open(target.Directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.Valid()) return {errno, false};
  struct stat there {};
  const bool replacing =
      ::fstatat(dir.Get(), target.Name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0;
  if (replacing) {
    if (SameEntry(there, st)) return {EINVAL, false};  // a copy onto itself would lose it
    if (S_ISDIR(there.st_mode)) return {EISDIR, false};
    // Nothing to copy for a target that must not be replaced.
    if (existing == ExistingTarget::Refuse) return {EEXIST, false};
  }

  TempFile temp;
  // A replaced file must not be lost to a crash before the new content is on disk; a new
  // name can do without the cost of a sync.
  if (const int err = CopyIntoTemp(src.Get(), st, dir.Get(), temp, CopyKind::Copy, replacing);
      err != 0) {
    return {err, false};
  }
  if (const int err = PlaceTemporary(dir.Get(), temp.Name(), target.Name, existing, t); err != 0)
    return {err, false};
  temp.Placed();
  if (replacing) SyncDirectory(dir.Get());
  return {};
}

bool SameFile(const QString& a, const QString& b) {
  struct stat sa {
  }, sb{};
  return ::stat(EncodeFileName(a).constData(), &sa) == 0 &&
         ::stat(EncodeFileName(b).constData(), &sb) == 0 && SameEntry(sa, sb);
}

bool IsDiskFull(int err) {
  return err == ENOSPC || err == EDQUOT;
}

void SetBeforeLastStepHook(std::function<void(const QString& target)> hook) {
  std::lock_guard lock(gHookLock);
  gHookSet.store(static_cast<bool>(hook), std::memory_order_relaxed);
  gBeforeLastStep = std::move(hook);
}

void SetCopyWriteFailure(int n, int err) {
  gWriteCount.store(0);
  gFailErrno.store(err);
  gFailAtWrite.store(n > 0 ? n : 0);
}
