#include "platform/AppendFile.h"

#include "platform/FileName.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

AppendFile::~AppendFile() {
  Close();
}

int AppendFile::Create(const PrivateFolder& folder, const QString& name) {
  Close();
  if (!folder.IsOpen()) return EBADF;
  const QByteArray encoded = EncodeFileName(name);
  if (encoded.isEmpty()) return ENOENT;
  fd_ = ::openat(folder.Fd(), encoded.constData(),
                 O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) return errno;
  // Nobody else can have it open yet, except an undo that looked at the new name a moment
  // ago: it lets go at once, as it finds nothing to take back.
  if (::flock(fd_, LOCK_EX) != 0) {
    const int err = errno;
    Close();
    ::unlinkat(folder.Fd(), encoded.constData(), 0);
    return err;
  }
  return folder.Sync();
}

TrustCheck AppendFile::Open(const PrivateFolder& folder, const QString& name, bool writable) {
  Close();
  TrustCheck check;
  check.Path = folder.Path() + name;
  if (!folder.IsOpen()) {
    check.Error = EBADF;
    return check;
  }
  // O_NONBLOCK: a FIFO planted under the name must not hang the open.
  const int flags =
      (writable ? O_RDWR | O_APPEND : O_RDONLY) | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
  fd_ = ::openat(folder.Fd(), EncodeFileName(name).constData(), flags);
  if (fd_ < 0) {
    check.Error = errno;
    if (check.Error == ELOOP) {
      check.Error = 0;
      check.Problem = TrustProblem::NotAFile;
    }
    return check;
  }
  check = CheckOpenFile(fd_, check.Path);
  if (!check.Ok()) {
    Close();
    return check;
  }
  const int mode = ::fcntl(fd_, F_GETFL);
  if (mode >= 0) ::fcntl(fd_, F_SETFL, mode & ~O_NONBLOCK);
  return check;
}

int AppendFile::TryLock(LockKind kind) {
  if (fd_ < 0) return EBADF;
  const int operation = (kind == LockKind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
  for (;;) {
    if (::flock(fd_, operation) == 0) return 0;
    if (errno != EINTR) return errno == EAGAIN ? EWOULDBLOCK : errno;
  }
}

ssize_t AppendFile::ReadAt(int64_t offset, char* buffer, size_t size) const {
  if (fd_ < 0) return -EBADF;
  size_t filled = 0;
  while (filled < size) {
    const ssize_t n = ::pread(fd_, buffer + filled, size - filled,
                              static_cast<off_t>(offset + static_cast<int64_t>(filled)));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -errno;
    }
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(filled);
}

int AppendFile::CutTo(int64_t length) {
  if (fd_ < 0) return EBADF;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return errno;
  if (st.st_size > length && ::ftruncate(fd_, static_cast<off_t>(length)) != 0) return errno;
  return 0;
}

int AppendFile::Append(const char* data, size_t size) {
  if (fd_ < 0) return EBADF;
  // O_APPEND puts every write at the end, and leaves the offset right after it: where the
  // append began is only worked out when a write fails halfway, so that an append costs its
  // writes alone.
  size_t written = 0;
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    int err = 0;
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
    } else if (n == 0) {
      err = ENOSPC;
    }
    if (err != 0) {
      // Cut a half-written append off again. Should that fail too, the torn tail stays: readers
      // of an append file take a torn last record for where the writer stopped.
      if (written > 0) {
        const off_t end = ::lseek(fd_, 0, SEEK_CUR);
        if (end >= static_cast<off_t>(written)) {
          [[maybe_unused]] const int cut = ::ftruncate(fd_, end - static_cast<off_t>(written));
        }
      }
      return err;
    }
    written += static_cast<size_t>(n);
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

int AppendFile::Sync() {
  if (fd_ < 0) return EBADF;
  return ::fdatasync(fd_) == 0 ? 0 : errno;
}

int AppendFile::Close() {
  if (fd_ < 0) return 0;
  const int err = ::close(fd_) == 0 ? 0 : errno;
  fd_ = -1;
  return err;
}
