#pragma once

#include <QString>

// Safe copy and move of single files. Paths are QStrings in the lossless file-name form.
// Every operation either completes or leaves the source as it was, and never replaces or
// damages a file it was not asked to replace.

struct FileOpResult {
  int Error = 0;        // 0 on success, else the errno value of the step that failed
  bool Copied = false;  // a move that crossed file systems and was done as copy + delete
  bool Ok() const { return Error == 0; }
};

// Moves (renames) `from` to `to`; fails with EEXIST when something exists at `to`, unless it
// is `from` itself under another spelling (same file), which is a plain rename. Across file
// systems the file is copied (content, permission bits, user.* extended attributes, access
// and modification times), synced, and the source is removed only after that.
FileOpResult MoveFile(const QString& from, const QString& to);

// Copies `from` to `to`, replacing a file at `to`. The copy is written to a temporary file in
// the target directory and renamed over the target only when complete, so a failure leaves no
// partial target and the existing one intact. Carries the permission bits, the user.*
// extended attributes and the access and modification times of the source.
FileOpResult CopyFile(const QString& from, const QString& to);

// True when both paths name the same file (same device and inode), links followed. False
// when either cannot be read.
bool SameFile(const QString& a, const QString& b);

// The "disk is full" errors: no space, or the user's quota is used up.
bool IsDiskFull(int err);

// Failure injection for tests: the n-th (1-based) data write of the following copies fails
// with `err` (counting across copies until reset). n <= 0 turns it off.
void SetCopyWriteFailure(int n, int err);
