#pragma once

#include <QString>

#include <cstdint>

// Whether files can be put into a folder that may not exist yet: a look at the disk, changing
// nothing. A preview of a run uses it to tell a target folder that cannot be made before the
// run tries.

enum class FolderAccess : int8_t {
  Writable,     // the folder is there and takes new files
  Creatable,    // it is missing, and the nearest folder that is there takes new folders
  NotAFolder,   // something that is not a folder stands where the folder or a folder above is
  NoPermission, // the folder (or the nearest one that is there) does not take new entries
  ReadOnly,     // the file system is mounted read-only
  NameTooLong,  // a folder name of the path is longer than the file system allows
  Unusable,     // the path is not absolute, or another error (Error says which)
};

struct FolderAccessResult {
  FolderAccess Access = FolderAccess::Unusable;
  int Error = 0;  // errno behind a refusal, 0 when there is none
  bool Usable() const {
    return Access == FolderAccess::Writable || Access == FolderAccess::Creatable;
  }
};

// Looks at `folder` (absolute, "/"-separated, with or without a final "/") and the folders
// above it up to the first one that exists.
FolderAccessResult CheckFolderAccess(const QString& folder);
