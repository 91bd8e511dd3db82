#include "platform/FileReadAt.h"

#include "platform/FileName.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

RandomAccessFile::~RandomAccessFile() {
  if (fd_ >= 0) ::close(fd_);
}

int RandomAccessFile::Open(const QString& path) {
  const QByteArray encoded = EncodeFileName(path);
  constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  fd_ = ::open(encoded.constData(), kFlags | O_NOATIME);
  accessTimeKept_ = fd_ >= 0;
  if (fd_ < 0 && errno == EPERM) fd_ = ::open(encoded.constData(), kFlags);
  if (fd_ < 0) return errno;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  size_ = st.st_size;
  return 0;
}

ssize_t RandomAccessFile::ReadAt(int64_t offset, void* buffer, size_t size) const {
  if (fd_ < 0) return -EBADF;
  if (offset < 0) return -EINVAL;
  size_t filled = 0;
  auto* out = static_cast<char*>(buffer);
  while (filled < size) {
    const ssize_t n = ::pread(fd_, out + filled, size - filled,
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
