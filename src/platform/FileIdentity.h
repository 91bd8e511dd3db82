#pragma once

#include "platform/FileTime.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

// Which file stands at a path and how it stands: what a record of a change needs to find the
// file again later (device and inode survive a rename; size and modification time tell whether
// its content changed since) and to put its permission bits and dates back.

struct FileIdentity {
  int Error = 0;  // 0, or the errno of the look (ENOENT: nothing at the path)
  uint64_t Device = 0;
  uint64_t Inode = 0;
  int64_t Size = 0;
  uint32_t Mode = 0;  // file type and permission bits, as st_mode
  uint32_t Links = 0;
  FileTime Accessed;
  FileTime Modified;
  FileTime Born;  // the birth time where the file system keeps one
  bool HasBirthTime = false;

  bool Exists() const { return Error == 0; }
  bool IsRegular() const;
  bool IsDirectory() const;
  bool IsLink() const;
  // Same device and inode: the same file, under whatever name it has now.
  bool SameFileAs(const FileIdentity& other) const {
    return Exists() && other.Exists() && Device == other.Device && Inode == other.Inode;
  }
  // The same file, unchanged in size and modification time.
  bool SameFileUnchanged(const FileIdentity& other) const {
    return SameFileAs(other) && Size == other.Size && Modified == other.Modified;
  }
};

// What, beyond device and inode, must agree for a file found now to count as the one looked at
// before: an inode number is used again once its file is gone, and a birth time (where the file
// system keeps one) tells the new file from the old one.
struct FileMatch {
  bool Size = false;
  bool Modified = false;
  bool Birth = false;  // only where both looks have a birth time
};
bool SameFile(const FileIdentity& now, const FileIdentity& before, const FileMatch& match);

// The path itself: a symbolic link is looked at, not followed (a rename moves the link).
FileIdentity ReadFileIdentity(const QString& path);
// The same for a path already in its file-system bytes (EncodeFileName).
FileIdentity ReadFileIdentity(const QByteArray& encodedPath);
// `name` inside the open folder `dirFd`, links not followed.
FileIdentity ReadFileIdentityAt(int dirFd, const char* name);
// What a link at the path leads to (the file whose permission bits and dates change).
FileIdentity ReadFollowedIdentity(const QString& path);

// Whether two regular files hold the same bytes (read from start to end). False when either
// cannot be read, and for anything but two regular files.
bool SameContent(const QString& a, const QString& b);
