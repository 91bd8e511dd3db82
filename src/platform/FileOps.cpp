#include "platform/FileOps.h"

#include "platform/CopyContent.h"
#include "platform/FileName.h"
#include "platform/FileTimes.h"
#include "platform/Process.h"
#include "platform/ProcessStart.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace {

using namespace file_content;

// A hook for tests, called with a target path at one step of the copies and moves.
class TestHook {
 public:
  void Set(std::function<void(const QString&)> hook) {
    std::lock_guard lock(lock_);
    set_.store(static_cast<bool>(hook), std::memory_order_relaxed);
    hook_ = std::move(hook);
  }
  void Call(const QByteArray& target) {
    if (!set_.load(std::memory_order_relaxed)) return;
    std::function<void(const QString&)> hook;
    {
      std::lock_guard lock(lock_);
      hook = hook_;
    }
    if (hook) hook(DecodeFileName(target));
  }

 private:
  std::atomic<bool> set_{false};
  std::mutex lock_;
  std::function<void(const QString&)> hook_;
};

TestHook gBeforeLastStep;
TestHook gBeforeSourceRemoval;
TestHook gAfterAside;

void BeforeLastStep(const QByteArray& target) {
  gBeforeLastStep.Call(target);
}

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

// The umask while a FolderFactsScope lives on this thread, read when the first one began (all
// bits outside one: every copy then sets its permission bits itself).
thread_local mode_t tUmask = 07777;

constexpr char kTempPrefix[] = ".mervane-";
constexpr char kTempSuffix[] = ".tmp";

void SweepOnce(int dirFd);

// A temporary file in the target's directory, removed again unless it was placed. Its name
// holds the pid and start time of the process that made it, so that a later run can tell a
// leftover of an ended process from a file another run is still writing.
class TempFile {
 public:
  TempFile() = default;
  ~TempFile() { Discard(); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates the file exclusively in `dirFd` with owner-only permission (or `mode`, still cut
  // by the umask); 0 or errno. `sweep` false: the caller has swept the folder already (see
  // KeptFolder).
  int Create(int dirFd, bool sweep = true, mode_t mode = S_IRUSR | S_IWUSR) {
    dirFd_ = dirFd;
    if (sweep) SweepOnce(dirFd);
    static std::atomic<unsigned> counter{0};
    int pid = 0;
    long long ticks = 0;
    ReadOwnProcess(pid, ticks);
    for (int attempt = 0; attempt < 100; ++attempt) {
      timespec now{};
      ::clock_gettime(CLOCK_MONOTONIC, &now);
      char name[96];
      std::snprintf(name, sizeof name, "%s%d-%lld-%u-%lx%s", kTempPrefix, pid, ticks,
                    counter.fetch_add(1), static_cast<unsigned long>(now.tv_nsec), kTempSuffix);
      const int fd =
          ::openat(dirFd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
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

// The complete copy of the open regular file `src` into a new temporary file in `dirFd`.
// A move keeps the owner as well, where the process may set it (a copy belongs to whoever
// made it, as with cp); the owner goes first because a change of owner clears set-id bits.
enum class CopyKind : uint8_t { Copy, Move };

// `folder` is the target folder's device, and whether it has been swept already; `made` is
// filled in for a move only (a copy does not look at it again).
struct TargetFolder {
  int Fd = -1;
  dev_t Device = 0;
  bool Swept = false;
};

int CopyIntoTemp(int src, const struct stat& srcStat, const TargetFolder& folder, TempFile& temp,
                 CopyKind kind, bool sync, struct stat& made, bool* timesCarried = nullptr) {
  // A copy of an empty file never holds anything another user may not read: it can be made
  // with its permission bits at once, where the umask keeps them whole (a run reads it as it
  // begins; Mervane never changes it), and needs no change of mode afterwards. Any other copy
  // stays the owner's alone until its content is complete.
  const mode_t mode = srcStat.st_mode & 07777;
  const bool modeAtOnce =
      kind == CopyKind::Copy && srcStat.st_size == 0 && (mode & 07000) == 0 && (mode & tUmask) == 0;
  if (const int err = temp.Create(folder.Fd, !folder.Swept, modeAtOnce ? mode : S_IRUSR | S_IWUSR);
      err != 0)
    return err;
  const int dst = temp.Fd();
  const CopyTarget target{srcStat.st_dev, folder.Device};
  if (const int err = CopyContent(src, srcStat, dst, target); err != 0) return err;
  if (const int err = CopyUserXattrs(src, dst, target); err != 0) return err;
  // A move keeps the owner where the system lets it (root, or a group of the user's); where it
  // does not, the moved file belongs to the user, as a copy made by hand would.
  if (kind == CopyKind::Move) {
    [[maybe_unused]] const int owned = ::fchown(dst, srcStat.st_uid, srcStat.st_gid);
  }
  // FAT and SMB media keep no Unix permissions and refuse most changes (EPERM, although the
  // new file is ours): the content is what a copy owes there.
  if (!modeAtOnce && ::fchmod(dst, mode) != 0 && !IsMetadataUnsupported(errno)) return errno;
  const timespec times[2] = {srcStat.st_atim, srcStat.st_mtim};
  const bool timesSet = ::futimens(dst, times) == 0;
  if (!timesSet && !IsMetadataUnsupported(errno)) return errno;
  if (timesCarried != nullptr) *timesCarried = timesSet;
  if (sync && ::fsync(dst) != 0) return errno;
  if (kind == CopyKind::Move && ::fstat(dst, &made) != 0) return errno;
  return temp.CloseFile();
}

constexpr off_t kReadAheadBytes = 128 << 10;

int OpenSourceFile(const char* path, Fd& fd, struct stat& st) {
  // O_NONBLOCK keeps a FIFO from hanging the open; it changes nothing for a regular file.
  fd.Reset(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.Valid()) return errno;
  if (::fstat(fd.Get(), &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  // O_NONBLOCK is the only status flag the open set: clearing them all clears it.
  ::fcntl(fd.Get(), F_SETFL, 0);
  // A file within the kernel's first read-ahead gains nothing from the advice.
  if (st.st_size > kReadAheadBytes) ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
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

// The name a file has beside itself while a move or a removal makes sure it is still the file
// it means.
std::string AsideName(dev_t device, ino_t inode) {
  char name[80];
  std::snprintf(name, sizeof name, ".mervane-aside-%llx-%llu",
                static_cast<unsigned long long>(device), static_cast<unsigned long long>(inode));
  return name;
}

std::string AsideOf(const QByteArray& path, dev_t device, ino_t inode) {
  const SplitPath split = Split(path);
  return (split.Directory == "/" ? std::string() : split.Directory) + "/" +
         AsideName(device, inode);
}

// The same content as when it was looked at: size and modification time (and, for a file still
// under its name, its change time, which covers writes that keep both).
bool Unchanged(const struct stat& now, const struct stat& then, bool changeTime) {
  return now.st_size == then.st_size && now.st_mtim.tv_sec == then.st_mtim.tv_sec &&
         now.st_mtim.tv_nsec == then.st_mtim.tv_nsec &&
         (!changeTime || (now.st_ctim.tv_sec == then.st_ctim.tv_sec &&
                          now.st_ctim.tv_nsec == then.st_ctim.tv_nsec));
}

// Takes back a copy this move put in place, while it is still that file.
void RemovePlacedCopy(int dirFd, const std::string& name, const struct stat& made) {
  struct stat st {};
  if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && SameEntry(st, made))
    ::unlinkat(dirFd, name.c_str(), 0);
}

// The source of a move across file systems goes only when it is the very file that was copied,
// unchanged: it is renamed aside within its folder, so that nothing can take its name while it
// is looked at, checked, and then removed, or renamed back when it is not that file. A crash
// between leaves it under the aside name, where undo finds it by its identity.
int RemoveMovedSource(const QByteArray& from, const struct stat& copied, bool regular) {
  // Its change time tells of any write or change of its properties since the copy began; the
  // rename below changes it, so it is looked at first.
  struct stat before {};
  if (::lstat(from.constData(), &before) != 0) return errno;
  if (!SameEntry(before, copied) || (regular && !Unchanged(before, copied, true)))
    return kErrorSourceChanged;
  const std::string aside = AsideOf(from, copied.st_dev, copied.st_ino);
  if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) != 0)
    return errno;
  gAfterAside.Call(from);
  struct stat now {};
  const bool same = ::lstat(aside.c_str(), &now) == 0 && SameEntry(now, copied) &&
                    (!regular || Unchanged(now, copied, false));
  if (same && ::unlink(aside.c_str()) == 0) return 0;
  const int err = same ? errno : kErrorSourceChanged;
  ::renameat2(AT_FDCWD, aside.c_str(), AT_FDCWD, from.constData(), RENAME_NOREPLACE);
  return err;
}

FileOpResult MoveAcrossFileSystems(const QByteArray& from, const QByteArray& to,
                                   ExistingTarget existing,
                                   const BeforePlaceFunction& beforePlace) {
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
  struct stat made {};
  struct stat copied = lst;  // what was copied, as it was when the copy began
  const bool link = S_ISLNK(lst.st_mode);
  if (link) {
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
    if (::fstatat(dir.Get(), temp.Name().c_str(), &made, AT_SYMLINK_NOFOLLOW) != 0)
      return {errno, true};
  } else {
    Fd src;
    if (const int err = OpenSourceFile(from.constData(), src, copied); err != 0) return {err, true};
    // The name may have been given to another file between the look and the open.
    if (!SameEntry(copied, lst)) return {kErrorSourceChanged, true};
    if (const int err = CopyIntoTemp(src.Get(), copied, {dir.Get(), 0, false}, temp, CopyKind::Move,
                                     true, made);
        err != 0) {
      return {err, true};
    }
    // Written to while it was copied: the copy would not hold what the source holds.
    struct stat after {};
    if (::fstat(src.Get(), &after) != 0) return {errno, true};
    if (!Unchanged(after, copied, true)) return {kErrorSourceChanged, true};
  }
  if (beforePlace && !beforePlace(ReadFileIdentityAt(dir.Get(), temp.Name().c_str())))
    return {ECANCELED, true};
  if (const int err = PlaceTemporary(dir.Get(), temp.Name(), target.Name, existing, to); err != 0) {
    return {err, true};
  }
  temp.Placed();
  if (const int err = SyncDirectory(dir.Get()); err != 0) {
    RemovePlacedCopy(dir.Get(), target.Name, made);
    return {err, true};
  }
  // Only now, with the copy complete and on disk, the source goes. If it cannot, or it is no
  // longer the file that was copied, the copy is taken back so that the file does not end up in
  // two places and nothing written to the source meanwhile is lost.
  gBeforeSourceRemoval.Call(to);
  if (const int err = RemoveMovedSource(from, copied, !link); err != 0) {
    RemovePlacedCopy(dir.Get(), target.Name, made);
    return {err, true};
  }
  return result;
}

// "<digits>-" at `p`: the number, and `p` moved past the dash; false when it is not there.
bool TakeNumber(const char*& p, long long& value) {
  if (*p < '0' || *p > '9') return false;
  value = 0;
  while (*p >= '0' && *p <= '9') {
    if (value > (LLONG_MAX - 9) / 10) return false;
    value = value * 10 + (*p++ - '0');
  }
  if (*p != '-') return false;
  ++p;
  return true;
}

// True for a copy temporary whose maker has ended. Only names of the form
// ".mervane-PID-START-....tmp" qualify: a file parked aside while a target is replaced
// (".mervane-replace-...") or a file on its way to a new letter case (".mervane-rename-...")
// holds a user's only copy and never matches.
bool IsStaleTemporary(const char* name) {
  const size_t length = std::strlen(name);
  if (length <= sizeof kTempPrefix + sizeof kTempSuffix ||
      std::strncmp(name, kTempPrefix, sizeof kTempPrefix - 1) != 0 ||
      std::strcmp(name + length - (sizeof kTempSuffix - 1), kTempSuffix) != 0)
    return false;
  const char* p = name + sizeof kTempPrefix - 1;
  long long pid = 0;
  long long start = 0;
  if (!TakeNumber(p, pid) || !TakeNumber(p, start) || pid <= 0 || pid > INT_MAX) return false;
  const long long now = ProcessStartTicks(static_cast<pid_t>(pid));
  if (now == -1) return true;  // no such process
  // The pid lives on in another process when its start time differs; a start time that could
  // not be told proves nothing either way, and the file stays.
  return start > 0 && now > 0 && now != start;
}

int SweepDirectory(int dirFd) {
  const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return 0;
  }
  int removed = 0;
  const uid_t self = ::geteuid();
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.' || !IsStaleTemporary(entry->d_name)) continue;
    // Only a regular file of our own: never a link, never another user's file.
    struct stat st {};
    if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != self)
      continue;
    if (::unlinkat(dirFd, entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

// Each folder is swept the first time this process writes into it.
void SweepOnce(int dirFd, const struct stat& st) {
  static std::mutex lock;
  static std::set<std::pair<dev_t, ino_t>> swept;
  {
    const std::lock_guard guard(lock);
    if (!swept.emplace(st.st_dev, st.st_ino).second) return;
  }
  SweepDirectory(dirFd);
}

void SweepOnce(int dirFd) {
  struct stat st {};
  if (::fstat(dirFd, &st) == 0) SweepOnce(dirFd, st);
}

// The folder this thread's copies last wrote into, kept open while they go on writing there:
// a batch copies file after file into the same folder, and one look at the folder's name
// (still the same folder?) replaces opening, examining and closing it for every file.
// ForgetKeptFolders closes it, so that no run leaves a folder held (a medium held so could not
// be unmounted).
struct KeptFolder {
  std::string Path;
  ::Fd Dir;
  dev_t Device = 0;
  ino_t Inode = 0;
};

thread_local KeptFolder tKept;
thread_local int tFactScopes = 0;  // FolderFactsScope objects alive on this thread

// The open folder `path` for a copy into it, swept; -1 with errno set when it cannot be opened.
// A folder that was removed, renamed or replaced since the last copy is opened anew, as it
// would be by name.
int OpenTargetFolder(const std::string& path, dev_t& device) {
  struct stat st {};
  if (tFactScopes == 0) {
    // Outside a batch every copy opens its folder by itself, and asks for itself.
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    device = 0;
    return fd;
  }
  if (tKept.Dir.Valid() && tKept.Path == path) {
    if (::stat(path.c_str(), &st) == 0 && st.st_dev == tKept.Device && st.st_ino == tKept.Inode) {
      device = tKept.Device;
      return tKept.Dir.Get();
    }
  }
  tKept.Dir.Close();
  tKept.Path.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  tKept.Dir.Reset(fd);
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    tKept.Dir.Close();
    errno = err;
    return -1;
  }
  SweepOnce(fd, st);
  tKept.Path = path;
  tKept.Device = st.st_dev;
  tKept.Inode = st.st_ino;
  device = st.st_dev;
  return fd;
}

}  // namespace

FileOpResult MoveFile(const QString& from, const QString& to, ExistingTarget existing,
                      const BeforePlaceFunction& beforePlace) {
  return MoveFile(EncodeFileName(from), EncodeFileName(to), existing, beforePlace);
}

FileOpResult MoveFile(const QByteArray& f, const QByteArray& t, ExistingTarget existing,
                      const BeforePlaceFunction& beforePlace) {
  if (f.isEmpty() || t.isEmpty()) return {ENOENT, false};
  BeforeLastStep(t);
  if (existing == ExistingTarget::Replace) {
    // One step: the old target is gone only when the new file is in its place.
    if (::renameat(AT_FDCWD, f.constData(), AT_FDCWD, t.constData()) == 0) return {};
    const int err = errno;
    if (err == EXDEV) return MoveAcrossFileSystems(f, t, existing, beforePlace);
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
  if (err == EXDEV) return MoveAcrossFileSystems(f, t, existing, beforePlace);
  if (err == EINVAL || err == ENOSYS) {
    const int linkErr = RenameNoReplace(AT_FDCWD, f.constData(), AT_FDCWD, t.constData());
    return {linkErr, false};
  }
  return {err, false};
}

FileOpResult CopyFile(const QString& from, const QString& to, ExistingTarget existing,
                      const BeforePlaceFunction& beforePlace) {
  return CopyFile(EncodeFileName(from), EncodeFileName(to), existing, beforePlace);
}

FileOpResult CopyFile(const QByteArray& f, const QByteArray& t, ExistingTarget existing,
                      const BeforePlaceFunction& beforePlace) {
  if (f.isEmpty() || t.isEmpty()) return {ENOENT, false};
  Fd src;
  struct stat st {};
  if (const int err = OpenSourceFile(f.constData(), src, st); err != 0) return {err, false};

  const SplitPath target = Split(t);
  TargetFolder folder;
  Fd ownDir;  // the folder's descriptor when it is not kept
  folder.Fd = OpenTargetFolder(target.Directory, folder.Device);
  if (folder.Fd < 0) return {errno, false};
  if (folder.Device == 0) ownDir.Reset(folder.Fd);
  folder.Swept = folder.Device != 0;
  const int dirFd = folder.Fd;
  // The look at the target spares copying content for a target that must not be replaced; an
  // empty file has none, and the rename that puts it in place refuses an existing target.
  struct stat there {};
  const bool look = existing == ExistingTarget::Replace || st.st_size != 0;
  const bool replacing =
      look && ::fstatat(dirFd, target.Name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0;
  if (replacing) {
    if (SameEntry(there, st)) return {EINVAL, false};  // a copy onto itself would lose it
    if (S_ISDIR(there.st_mode)) return {EISDIR, false};
    // Nothing to copy for a target that must not be replaced.
    if (existing == ExistingTarget::Refuse) return {EEXIST, false};
  }

  TempFile temp;
  struct stat made {};
  // A replaced file must not be lost to a crash before the new content is on disk; a new
  // name can do without the cost of a sync.
  bool timesCarried = false;
  if (const int err =
          CopyIntoTemp(src.Get(), st, folder, temp, CopyKind::Copy, replacing, made, &timesCarried);
      err != 0) {
    return {err, false};
  }
  if (beforePlace && !beforePlace(ReadFileIdentityAt(dirFd, temp.Name().c_str())))
    return {ECANCELED, false};
  if (const int err = PlaceTemporary(dirFd, temp.Name(), target.Name, existing, t); err != 0)
    return {err, false};
  temp.Placed();
  if (replacing) SyncDirectory(dirFd);
  FileOpResult result;
  result.TimesCarried = timesCarried;
  result.Accessed = {static_cast<int64_t>(st.st_atim.tv_sec), st.st_atim.tv_nsec};
  result.Modified = {static_cast<int64_t>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec};
  return result;
}

FolderFactsScope::FolderFactsScope() {
  if (tFactScopes++ != 0) return;
  KeepFileSystemKinds(true);
  tUmask = ProcessUmask();
}

FolderFactsScope::~FolderFactsScope() {
  if (--tFactScopes != 0) return;
  tKept.Dir.Close();
  tKept.Path.clear();
  ForgetCopyCapabilities();
  KeepFileSystemKinds(false);
  tUmask = 07777;
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
  gBeforeLastStep.Set(std::move(hook));
}

void SetBeforeSourceRemovalHook(std::function<void(const QString& target)> hook) {
  gBeforeSourceRemoval.Set(std::move(hook));
}

void SetAfterAsideHook(std::function<void(const QString& path)> hook) {
  gAfterAside.Set(std::move(hook));
}

QString AsidePath(const QString& path, uint64_t device, uint64_t inode) {
  return DecodeFileName(QByteArray::fromStdString(
      AsideOf(EncodeFileName(path), static_cast<dev_t>(device), static_cast<ino_t>(inode))));
}

int RemoveFileIfSame(const QString& path, const FileIdentity& expected, const FileMatch& match) {
  const QByteArray p = EncodeFileName(path);
  if (p.isEmpty()) return ENOENT;
  const FileIdentity before = ReadFileIdentity(p);
  if (!before.Exists()) return before.Error;
  if (!before.SameFileAs(expected)) return kErrorSourceChanged;
  const std::string aside =
      AsideOf(p, static_cast<dev_t>(before.Device), static_cast<ino_t>(before.Inode));
  // A file under its aside name already (an earlier removal was cut off) is looked at there.
  if (aside == p.toStdString()) {
    if (!SameFile(before, expected, match)) return kErrorSourceChanged;
    return ::unlink(aside.c_str()) == 0 ? 0 : errno;
  }
  if (::renameat2(AT_FDCWD, p.constData(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) != 0)
    return errno;
  gAfterAside.Call(p);
  const bool same = SameFile(ReadFileIdentity(QByteArray::fromStdString(aside)), expected, match);
  if (same && ::unlink(aside.c_str()) == 0) return 0;
  const int err = same ? errno : kErrorSourceChanged;
  ::renameat2(AT_FDCWD, aside.c_str(), AT_FDCWD, p.constData(), RENAME_NOREPLACE);
  return err;
}

int WriteNewFile(const QString& path, const QByteArray& bytes, int32_t mode) {
  const QByteArray target = EncodeFileName(path);
  if (target.isEmpty()) return ENOENT;
  const SplitPath split = Split(target);
  Fd dir(::open(split.Directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.Valid()) return errno;
  // Written aside and put in place without replacing, so that no half-written file ever
  // carries the name and nothing that appeared meanwhile is lost.
  TempFile temp;
  if (const int err = temp.Create(dir.Get()); err != 0) return err;
  if (const int err = WriteAll(temp.Fd(), bytes.constData(), static_cast<size_t>(bytes.size()));
      err != 0)
    return err;
  if (::fchmod(temp.Fd(), static_cast<mode_t>(mode & 07777)) != 0 && !IsMetadataUnsupported(errno))
    return errno;
  if (::fsync(temp.Fd()) != 0) return errno;
  if (const int err = temp.CloseFile(); err != 0) return err;
  if (const int err =
          RenameNoReplace(dir.Get(), temp.Name().c_str(), dir.Get(), split.Name.c_str());
      err != 0)
    return err;
  temp.Placed();
  SyncDirectory(dir.Get());
  return 0;
}

int RemoveStaleTemporaries(const QString& directory) {
  Fd dir(::open(EncodeFileName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return dir.Valid() ? SweepDirectory(dir.Get()) : 0;
}

FileReadResult ReadWholeFile(const QString& path, int64_t maxSize) {
  const QByteArray p = EncodeFileName(path);
  if (p.isEmpty()) return {ENOENT, {}};
  Fd fd;
  struct stat st {};
  if (const int err = OpenSourceFile(p.constData(), fd, st); err != 0) return {err, {}};
  if (st.st_size > maxSize) return {EFBIG, {}};
  QByteArray bytes;
  bytes.reserve(static_cast<qsizetype>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return {errno, {}};
    if (got == 0) break;
    // A file that grows while it is read is held to the same limit.
    if (bytes.size() + got > maxSize) return {EFBIG, {}};
    bytes.append(buffer, got);
  }
  return {0, bytes};
}

int WriteFileAtomically(const QString& path, const QByteArray& bytes, LinkAtName links) {
  QByteArray target = EncodeFileName(path);
  if (target.isEmpty()) return ENOENT;
  if (links == LinkAtName::ReplaceWhereItPoints) {
    if (char* resolved = ::realpath(target.constData(), nullptr)) {
      target = resolved;
      std::free(resolved);
    }
  }
  const SplitPath split = Split(target);
  Fd dir(::open(split.Directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.Valid()) return errno;
  // Keep the mode of the file being replaced (never of a link's target when the link itself is
  // replaced), or give a new one the usual mode of a document.
  struct stat old {};
  const bool haveOld = ::fstatat(dir.Get(), split.Name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 &&
                       S_ISREG(old.st_mode);
  TempFile temp;
  if (const int err = temp.Create(dir.Get()); err != 0) return err;
  if (const int err = WriteAll(temp.Fd(), bytes.constData(), static_cast<size_t>(bytes.size()));
      err != 0)
    return err;
  if (::fchmod(temp.Fd(), haveOld ? (old.st_mode & 07777) : 0644) != 0) return errno;
  if (::fsync(temp.Fd()) != 0) return errno;
  if (const int err = temp.CloseFile(); err != 0) return err;
  // rename() replaces a link at the name as a name: whatever it pointed to stays untouched.
  if (::renameat(dir.Get(), temp.Name().c_str(), dir.Get(), split.Name.c_str()) != 0) return errno;
  temp.Placed();
  // The file is in place either way; a folder that cannot be synced does not fail the write.
  SyncDirectory(dir.Get());
  return 0;
}
