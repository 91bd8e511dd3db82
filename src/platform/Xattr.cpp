#include "platform/Xattr.h"

#include <sys/xattr.h>

#include <cerrno>

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
