#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <sys/xattr.h>

#include <string>

// Whether the file system at `path` keeps user extended attributes; tests of what is stored in
// them are skipped where it does not.
inline bool HasXattrs(const std::string& path) {
  if (::setxattr(path.c_str(), "user.mervane-probe", "1", 1, 0) != 0) return false;
  ::removexattr(path.c_str(), "user.mervane-probe");
  return true;
}

// The permission bits of a file (with set-id and sticky bits).
inline mode_t Mode(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}
