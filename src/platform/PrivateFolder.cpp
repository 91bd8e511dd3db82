#include "platform/PrivateFolder.h"

#include "platform/FileName.h"
#include "platform/FolderAccess.h"

#include <QByteArray>
#include <QList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

// A folder counts when the user or root owns it and only its owner may write to it.
TrustCheck CheckFolder(const struct stat& st, const QString& path) {
  TrustCheck check;
  check.Path = path;
  if (!S_ISDIR(st.st_mode)) {
    check.Problem = TrustProblem::NotAFolder;
  } else if (st.st_uid != ::geteuid() && st.st_uid != 0) {
    check.Problem = TrustProblem::OtherOwner;
    check.Owner = st.st_uid;
  } else if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    check.Problem = TrustProblem::WritableByOthers;
  }
  return check;
}

TrustCheck Failed(int error, const QByteArray& path) {
  TrustCheck check;
  check.Error = error;
  check.Path = DecodeFileName(path);
  return check;
}

// The parts of the walk: the folder above `trustedFrom`, where it starts, and the names from
// there down to `folder`. False when the two paths do not fit together.
bool SplitWalk(const QByteArray& top, const QByteArray& full, QByteArray& start,
               std::vector<QByteArray>& names) {
  if (!top.startsWith('/') || !top.endsWith('/') || !full.endsWith('/') || !full.startsWith(top))
    return false;
  const qsizetype slash = top.lastIndexOf('/', top.size() - 2);
  if (slash < 0) return false;
  start = top.left(slash + 1);
  for (const QByteArray& name : full.mid(start.size()).split('/'))
    if (!name.isEmpty()) names.push_back(name);
  for (const QByteArray& name : names)
    if (name == "." || name == "..") return false;
  return !names.empty();
}

// Makes the folders of `path` that are missing, for the owner alone. 0 or the errno of the
// first that could not be made.
int MakeFolders(const QByteArray& path) {
  for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1)) {
    if (::mkdir(path.left(slash).constData(), 0700) != 0 && errno != EEXIST) {
      const int err = errno;
      struct stat st {};
      // A folder that is there but cannot be made again (EACCES above it) is fine.
      if (::stat(path.left(slash).constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return err;
    }
  }
  return 0;
}

}  // namespace

PrivateFolder::~PrivateFolder() {
  Close();
}

void PrivateFolder::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  path_.clear();
}

TrustCheck PrivateFolder::Open(const QString& trustedFrom, const QString& folder, bool create) {
  Close();
  const QByteArray full = EncodeFileName(folder);
  QByteArray at;
  std::vector<QByteArray> names;
  if (!SplitWalk(EncodeFileName(trustedFrom), full, at, names)) return Failed(EINVAL, full);
  if (create) {
    if (const int err = MakeFolders(at); err != 0) return Failed(err, at);
  }
  // The folders above the first one checked may be links: they are the user's own layout.
  int dir = ::open(at.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return Failed(errno, at);
  for (const QByteArray& name : names) {
    at += name + '/';
    if (create && ::mkdirat(dir, name.constData(), 0700) != 0 && errno != EEXIST) {
      const int err = errno;
      ::close(dir);
      return Failed(err, at);
    }
    const int next =
        ::openat(dir, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int err = errno;
    ::close(dir);
    if (next < 0) {
      TrustCheck check = Failed(err, at);
      if (err == ELOOP || err == ENOTDIR) {
        check.Error = 0;
        check.Problem = TrustProblem::NotAFolder;
      }
      return check;
    }
    struct stat st {};
    if (::fstat(next, &st) != 0) {
      const int statErr = errno;
      ::close(next);
      return Failed(statErr, at);
    }
    const TrustCheck check = CheckFolder(st, DecodeFileName(at));
    if (!check.Ok()) {
      ::close(next);
      return check;
    }
    dir = next;
  }
  fd_ = dir;
  path_ = folder;
  return {};
}

TrustCheck PrivateFolder::Probe(const QString& trustedFrom, const QString& folder) {
  const QByteArray full = EncodeFileName(folder);
  QByteArray at;
  std::vector<QByteArray> names;
  if (!SplitWalk(EncodeFileName(trustedFrom), full, at, names)) return Failed(EINVAL, full);
  int dir = ::open(at.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    if (errno != ENOENT) return Failed(errno, at);
    // Nothing of it is there yet: the nearest folder above must take the new ones.
    const FolderAccessResult access = CheckFolderAccess(DecodeFileName(at));
    return access.Usable() ? TrustCheck{} : Failed(access.Error != 0 ? access.Error : EACCES, at);
  }
  for (const QByteArray& name : names) {
    const int next =
        ::openat(dir, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int err = errno;
    if (next < 0) {
      if (err == ENOENT) break;  // made by the run: `dir` must take it
      ::close(dir);
      TrustCheck check = Failed(err, at + name + '/');
      if (err == ELOOP || err == ENOTDIR) {
        check.Error = 0;
        check.Problem = TrustProblem::NotAFolder;
      }
      return check;
    }
    at += name + '/';
    ::close(dir);
    dir = next;
    struct stat st {};
    if (::fstat(dir, &st) != 0) {
      const int statErr = errno;
      ::close(dir);
      return Failed(statErr, at);
    }
    const TrustCheck check = CheckFolder(st, DecodeFileName(at));
    if (!check.Ok()) {
      ::close(dir);
      return check;
    }
  }
  // The folder that is there must take a new entry (the journal itself, or the folder below).
  const int err = ::faccessat(dir, ".", W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
  ::close(dir);
  return err == 0 ? TrustCheck{} : Failed(err, at);
}

int PrivateFolder::Remove(const QString& name) const {
  if (fd_ < 0) return EBADF;
  return ::unlinkat(fd_, EncodeFileName(name).constData(), 0) == 0 ? 0 : errno;
}

int PrivateFolder::Sync() const {
  if (fd_ < 0) return EBADF;
  // Some file systems cannot sync a folder (EINVAL); their names are as durable as they get.
  return ::fsync(fd_) == 0 || errno == EINVAL ? 0 : errno;
}

TrustCheck CheckOpenFile(int fd, const QString& path) {
  TrustCheck check;
  check.Path = path;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    check.Error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    check.Problem = TrustProblem::NotAFile;
  } else if (st.st_uid != ::geteuid()) {
    check.Problem = TrustProblem::OtherOwner;
    check.Owner = st.st_uid;
  } else if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    check.Problem = TrustProblem::WritableByOthers;
  }
  return check;
}
