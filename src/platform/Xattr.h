#pragma once

#include <QByteArray>
#include <QList>

#include <cstddef>

// Thin wrappers over the extended-attribute calls. Paths are file-system bytes (already
// encoded); links are followed. Each result carries the errno of a failure.

struct XattrValue {
  int Error = 0;  // 0, or ENODATA (no such attribute), ENOTSUP (no xattrs here), ...
  QByteArray Value;
  bool Ok() const { return Error == 0; }
};

XattrValue GetXattr(const char* encodedPath, const char* name);
// Reads into a caller's buffer without allocating; returns the length, or -errno.
ptrdiff_t GetXattrInto(const char* encodedPath, const char* name, char* buffer, size_t size);
// The same for `fileName` inside the open folder `dirFd`, links followed.
ptrdiff_t GetXattrAtInto(int dirFd, const char* fileName, const char* name, char* buffer,
                         size_t size);
int SetXattr(const char* encodedPath, const char* name, const QByteArray& value);  // 0 or errno
int RemoveXattr(const char* encodedPath, const char* name);                        // 0 or errno

// Names of all extended attributes of the file; Error set when they cannot be listed.
struct XattrNames {
  int Error = 0;
  QList<QByteArray> Names;
};
XattrNames ListXattrs(const char* encodedPath);

// The same for an open file.
XattrNames ListXattrs(int fd);
XattrValue GetXattr(int fd, const char* name);
int SetXattr(int fd, const char* name, const QByteArray& value);

// True for the errno values that mean "this file system keeps no extended attributes".
bool IsXattrUnsupported(int err);
