#pragma once

#include <QString>

#include <climits>
#include <cstdint>

// The longest path the system takes in one call, in bytes (without the closing NUL). A file
// whose path is longer can be reached only step by step from an open folder.
inline constexpr int kMaxPathBytes = PATH_MAX - 1;

// Basic file-system queries and changes. Paths are QStrings in the lossless file-name form
// (see FileName.h); "\" is not translated here: callers that accept user templates turn it
// into "/" first.

// Size in bytes of a regular file (or a link to one); -1 when nothing exists at the path,
// -2 for a directory, -3 for anything else (FIFO, socket, device: never read as a file).
int64_t FileSize(const QString& path);

// What tells whether the file at a path is still the one looked at before, unchanged: the file
// (device, inode), its size and the times of its last change (links followed, as FileSize).
struct FileStamp {
  int64_t Size = -1;  // as FileSize: -1 nothing there, -2 a directory, -3 anything else
  uint64_t Device = 0;
  uint64_t Inode = 0;
  int64_t ModifiedNs = 0;
  int64_t ChangedNs = 0;  // the status change time, which no program can set back
  bool operator==(const FileStamp&) const = default;
};
FileStamp ReadFileStamp(const QString& path);

bool PathExists(const QString& path);      // anything at all, links not followed
bool IsDirectory(const QString& path);     // links followed
bool IsSymbolicLink(const QString& path);  // the last component itself is a link
// A regular file; `followLinks` false: the path itself, not what a link there points to.
bool IsRegularFile(const QString& path, bool followLinks);

// The path with every link resolved (realpath); empty when it names nothing.
QString ResolvedPath(const QString& path);

// The permission bits (07777) of the file at `path`, links followed; -1 when it cannot be read.
int32_t FileMode(const QString& path);
// Sets them exactly; 0 or the errno value.
int SetFileMode(const QString& path, int32_t mode);

// Each returns 0 on success, else the errno value.
int DeleteFile(const QString& path);
int MakeDirectory(const QString& path);    // one level; EEXIST when it is there already
int RemoveDirectory(const QString& path);  // only when empty

// Creates every missing directory along the path ("/" separated). True when nothing had to be
// created or every creation worked; false when any creation failed (the walk still goes on) or
// the path is empty.
bool CreateDirectoryPath(const QString& path);

// The folder at which the file system that holds `path` is mounted ("/", "/media/usb"), where
// the disk-full question names the drive. A path that does not exist (yet) is answered for the
// nearest folder above it that does. Empty for a relative or empty path.
QString MountPointOf(const QString& path);
