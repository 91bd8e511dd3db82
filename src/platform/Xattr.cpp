#include "platform/Xattr.h"

#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>

namespace {

// getxattr/fgetxattr with one retry on ERANGE (the value grew between the size query and
// the read) so that no caller has to loop.
template <typename Query>
XattrValue ReadValue(Query query) {
  XattrValue result;
  char small[256];
  ssize_t n = query(small, sizeof small);
  if (n >= 0) {
    result.Value = QByteArray(small, static_cast<qsizetype>(n));
    return result;
  }
  for (int attempt = 0; attempt < 3 && errno == ERANGE; ++attempt) {
    const ssize_t size = query(nullptr, 0);
    if (size < 0) break;
    result.Value.resize(static_cast<qsizetype>(size));
    n = query(result.Value.data(), static_cast<size_t>(size));
    if (n >= 0) {
      result.Value.resize(static_cast<qsizetype>(n));
      return result;
    }
  }
  result.Error = errno;
  result.Value.clear();
  return result;
}

template <typename Query>
XattrNames ReadNames(Query query) {
  XattrNames result;
  QByteArray buffer;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const ssize_t size = query(nullptr, 0);
    if (size < 0) {
      result.Error = errno;
      return result;
    }
    if (size == 0) return result;
    buffer.resize(static_cast<qsizetype>(size));
    const ssize_t n = query(buffer.data(), static_cast<size_t>(size));
    if (n >= 0) {
      buffer.resize(static_cast<qsizetype>(n));
      for (const QByteArray& name : buffer.split('\0')) {
        if (!name.isEmpty()) result.Names.append(name);
      }
      return result;
    }
    if (errno != ERANGE) {
      result.Error = errno;
      return result;
    }
  }
  result.Error = ERANGE;
  return result;
}

}  // namespace

XattrValue GetXattr(const char* encodedPath, const char* name) {
  return ReadValue(
      [&](char* buf, size_t size) { return ::getxattr(encodedPath, name, buf, size); });
}

ptrdiff_t GetXattrInto(const char* encodedPath, const char* name, char* buffer, size_t size) {
  const ssize_t n = ::getxattr(encodedPath, name, buffer, size);
  return n >= 0 ? static_cast<ptrdiff_t>(n) : -static_cast<ptrdiff_t>(errno);
}

namespace {

// getxattrat (Linux 6.13) reads an attribute of a name inside an open folder: no path to walk,
// and no limit on the depth. Its number is the same on every architecture.
constexpr long kGetXattrAtCall = 464;

struct XattrArgs {
  uint64_t Value;
  uint32_t Size;
  uint32_t Flags;
};

std::atomic<bool> gNoGetXattrAt{false};

}  // namespace

ptrdiff_t GetXattrAtInto(int dirFd, const char* fileName, const char* name, char* buffer,
                         size_t size) {
  if (!gNoGetXattrAt.load(std::memory_order_relaxed)) {
    XattrArgs args{reinterpret_cast<uintptr_t>(buffer), static_cast<uint32_t>(size), 0};
    const long n = ::syscall(kGetXattrAtCall, dirFd, fileName, 0, name, &args, sizeof args);
    if (n >= 0) return static_cast<ptrdiff_t>(n);
    if (errno != ENOSYS) return -static_cast<ptrdiff_t>(errno);
    gNoGetXattrAt.store(true, std::memory_order_relaxed);
  }
  // Older kernels: the folder's descriptor as a path of its own, short at any depth.
  char path[PATH_MAX];
  if (std::snprintf(path, sizeof path, "/proc/self/fd/%d/%s", dirFd, fileName) >=
      static_cast<int>(sizeof path))
    return -ENAMETOOLONG;
  return GetXattrInto(path, name, buffer, size);
}

int SetXattr(const char* encodedPath, const char* name, const QByteArray& value) {
  return ::setxattr(encodedPath, name, value.constData(), static_cast<size_t>(value.size()), 0) == 0
             ? 0
             : errno;
}

int RemoveXattr(const char* encodedPath, const char* name) {
  return ::removexattr(encodedPath, name) == 0 ? 0 : errno;
}

XattrNames ListXattrs(const char* encodedPath) {
  return ReadNames([&](char* buf, size_t size) { return ::listxattr(encodedPath, buf, size); });
}

XattrNames ListXattrs(int fd) {
  return ReadNames([&](char* buf, size_t size) { return ::flistxattr(fd, buf, size); });
}

XattrValue GetXattr(int fd, const char* name) {
  return ReadValue([&](char* buf, size_t size) { return ::fgetxattr(fd, name, buf, size); });
}

int SetXattr(int fd, const char* name, const QByteArray& value) {
  return ::fsetxattr(fd, name, value.constData(), static_cast<size_t>(value.size()), 0) == 0
             ? 0
             : errno;
}

bool IsXattrUnsupported(int err) {
  return err == ENOTSUP || err == EOPNOTSUPP;
}
