#include "platform/FileRead.h"

#include "platform/FileName.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

SequentialFile::~SequentialFile() {
  if (fd_ >= 0) ::close(fd_);
}

int SequentialFile::Open(const QString& path) {
  const QByteArray encoded = EncodeFileName(path);
  // Reading must not look like a use of the file: its access time is one of the dates the
  // run writes back. O_NOATIME is refused for files of other users; read them anyway.
  constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  fd_ = ::open(encoded.constData(), kFlags | O_NOATIME);
  accessTimeKept_ = fd_ >= 0;
  if (fd_ < 0 && errno == EPERM) fd_ = ::open(encoded.constData(), kFlags);
  if (fd_ < 0) return errno;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return errno;
  // A FIFO or device would block or never end.
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  size_ = static_cast<int64_t>(st.st_size);
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  return 0;
}

ssize_t SequentialFile::Read(char* buffer, size_t size) {
  size_t filled = 0;
  while (filled < size) {
    const ssize_t n = ::read(fd_, buffer + filled, size - filled);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -errno;
    }
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(filled);
}
