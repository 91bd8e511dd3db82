#include "platform/AppendFile.h"

#include "platform/FileName.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

AppendFile::~AppendFile() {
  Close();
}

int AppendFile::Create(const QString& path) {
  Close();
  const QByteArray encoded = EncodeFileName(path);
  if (encoded.isEmpty()) return ENOENT;
  fd_ = ::open(encoded.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
               0600);
  if (fd_ < 0) return errno;
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  return slash < 0 ? 0 : SyncFolder(path.left(slash + 1));
}

int AppendFile::Open(const QString& path, int64_t length) {
  Close();
  const QByteArray encoded = EncodeFileName(path);
  if (encoded.isEmpty()) return ENOENT;
  fd_ = ::open(encoded.constData(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
  if (fd_ < 0) return errno;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return errno;
  if (st.st_size > length && ::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
    const int err = errno;
    Close();
    return err;
  }
  return 0;
}

int AppendFile::Append(const char* data, size_t size) {
  if (fd_ < 0) return EBADF;
  const off_t before = ::lseek(fd_, 0, SEEK_END);
  bool wrote = false;
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
      if (wrote && before >= 0) {
        [[maybe_unused]] const int cut = ::ftruncate(fd_, before);
      }
      return err;
    }
    wrote = true;
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

int SyncFolder(const QString& folder) {
  const int fd = ::open(EncodeFileName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  // Some file systems cannot sync a folder (EINVAL); their names are as durable as they get.
  const int err = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  ::close(fd);
  return err;
}
