#include "platform/InstanceLock.h"

#include "platform/FileName.h"
#include "platform/FileSystem.h"
#include "platform/Locations.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

InstanceLock::Result InstanceLock::Acquire(const QString& lockFile) {
  if (fd_ >= 0) return kAcquired;
  // Close-on-exec: a program started by this one must not keep the lock alive after us.
  const int fd =
      ::open(EncodeFileName(lockFile).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return kUnavailable;
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? kHeldElsewhere : kUnavailable;
  }
  fd_ = fd;
  return kAcquired;
}

QString InstanceLock::LockFilePath(const QString& title) {
  QString name = title;
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  const QString runtime = RuntimeFolder();
  if (!runtime.isEmpty() && IsDirectory(runtime)) return runtime + name + QLatin1String(".lock");
  return TempFolder() + name + QLatin1Char('-') + QString::number(::getuid()) +
         QLatin1String(".lock");
}
