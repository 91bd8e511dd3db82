#pragma once

#include "platform/FileIdentity.h"
#include "platform/FileTime.h"

#include <QByteArray>
#include <QString>

#include <cerrno>
#include <cstdint>
#include <functional>

// Safe copy and move of single files. Paths are QStrings in the lossless file-name form.
// Every operation either completes or leaves the source as it was, and never replaces or
// damages a file it was not asked to replace.

struct FileOpResult {
  int Error = 0;        // 0 on success, else the errno value of the step that failed
  bool Copied = false;  // a move that crossed file systems and was done as copy + delete
  // A copy made by CopyFile that carries the source's times: the access and modification time
  // it was given (so that a caller about to write the same ones can leave them).
  bool TimesCarried = false;
  FileTime Accessed;
  FileTime Modified;
  bool Ok() const { return Error == 0; }
};

// What the step that puts a file in place does with a file that is at the target by then.
// Only a decision to replace (the user's answer, or replace-all) may destroy it; otherwise the
// step refuses atomically with EEXIST, also when the file appeared after every earlier check.
enum class ExistingTarget : int8_t { Refuse, Replace };

// The error of a move across file systems whose source was written to, or given to another
// file, while it was copied, and of a removal that finds another file than the one it means:
// nothing is removed.
inline constexpr int kErrorSourceChanged = ESTALE;

// Called when a copy is complete in its temporary file, right before it is put in place, with
// the new file's identity (device, inode, size, birth time), so that it can be recorded first;
// false stops the operation, the copy goes, and the result is ECANCELED.
using BeforePlaceFunction = std::function<bool(const FileIdentity& made)>;

// Moves (renames) `from` to `to`. With Refuse it fails with EEXIST when something exists at
// `to`, unless it is `from` itself under another spelling (same file), which is a plain rename;
// with Replace a file at `to` is replaced in one step (a failure keeps it). Across file
// systems the file is copied (content, permission bits, user.* extended attributes, access
// and modification times) into a temporary file beside the target, synced and put in place;
// then the source is removed, but only while it is the very file that was copied, unchanged
// (same device, inode, size and times): otherwise the copy is taken back, the source stays, and
// the result is kErrorSourceChanged. While it is checked the source is renamed aside in its
// folder (AsidePath), so a crash at that moment leaves it there.
FileOpResult MoveFile(const QString& from, const QString& to,
                      ExistingTarget existing = ExistingTarget::Refuse,
                      const BeforePlaceFunction& beforePlace = {});
// The same for paths already in their file-system bytes (EncodeFileName); an empty one names
// no file (ENOENT).
FileOpResult MoveFile(const QByteArray& from, const QByteArray& to,
                      ExistingTarget existing = ExistingTarget::Refuse,
                      const BeforePlaceFunction& beforePlace = {});

// Copies `from` to `to`. The copy is written to a temporary file in the target directory and
// put in place only when complete, so a failure leaves no partial target and the existing one
// intact; with Refuse a file at `to` is never replaced (EEXIST). Carries the permission bits,
// the user.* extended attributes and the access and modification times of the source.
FileOpResult CopyFile(const QString& from, const QString& to,
                      ExistingTarget existing = ExistingTarget::Replace,
                      const BeforePlaceFunction& beforePlace = {});
FileOpResult CopyFile(const QByteArray& from, const QByteArray& to,
                      ExistingTarget existing = ExistingTarget::Replace,
                      const BeforePlaceFunction& beforePlace = {});

// While one lives on a thread (a batch holds one for its run), the copies of that thread keep
// what they learn about the folders and file systems they write to instead of asking again for
// every file: the last target folder stays open (looked up by name before each copy, so a
// folder removed or replaced meanwhile is opened anew), what a pair of devices cannot do
// (share blocks, copy in the kernel, keep extended attributes) is tried once, and the kind of
// file system a creation time is written on is asked once per folder; the process's umask is
// read as the first one begins, so that an empty file's copy is made with its permission bits
// at once where the umask keeps them. The last one to end
// closes the folder and forgets the rest, so that nothing stays held after a run.
class FolderFactsScope {
 public:
  FolderFactsScope();
  ~FolderFactsScope();
  FolderFactsScope(const FolderFactsScope&) = delete;
  FolderFactsScope& operator=(const FolderFactsScope&) = delete;
};

// Where a move or RemoveFileIfSame keeps the file `device`/`inode` of `path` while it checks
// it: ".mervane-aside-<device>-<inode>" in the same folder. Such a file holds the user's data
// and is never swept as a leftover.
QString AsidePath(const QString& path, uint64_t device, uint64_t inode);

// Removes the file at `path` (a link as a link) only while it is the file `expected` (device and
// inode, and what `match` asks for besides): it is renamed aside, looked at there and removed,
// or renamed back. 0, kErrorSourceChanged when it is another file or was changed (nothing
// removed), or the errno value.
int RemoveFileIfSame(const QString& path, const FileIdentity& expected,
                     const FileMatch& match = {});

// Removes the copy temporaries (".mervane-PID-START-....tmp") that Mervane processes which
// have ended (killed, or crashed) left in `directory`: regular files of the current user
// whose maker no longer runs. A pid that now belongs to another process counts as ended, since
// the start time in the name differs. Files parked aside while a target is replaced are never
// touched. Every copy and every one-step file write sweeps its folder the first time this
// process writes there. Returns the number of files removed.
int RemoveStaleTemporaries(const QString& directory);

struct FileReadResult {
  int Error = 0;  // 0, or EINVAL (not a regular file), EISDIR, EFBIG (larger than allowed), ...
  QByteArray Bytes;
  bool Ok() const { return Error == 0; }
};

// The whole content of the regular file at `path` (links followed), at most `maxSize` bytes.
// It is opened without blocking, so a FIFO or device in its place is refused at once instead
// of hanging the reader.
FileReadResult ReadWholeFile(const QString& path, int64_t maxSize);

// What a one-step write does with a symbolic link at the name it replaces.
enum class LinkAtName {
  ReplaceWhereItPoints,  // the file the link leads to is replaced; the link stays
  ReplaceTheLink,        // the link itself is replaced by the file; its target stays untouched
};

// Replaces the file at `path` with `bytes` in one step: they go to a temporary file beside it,
// which is synced and renamed over the old one, so a crash or a full disk never leaves a
// half-written file and the old one stays as it was on failure. Keeps the mode of the file it
// replaces. Returns 0 or the errno value.
int WriteFileAtomically(const QString& path, const QByteArray& bytes, LinkAtName links);

// Creates a new file at `path` holding `bytes` with the permission bits `mode`; it never
// replaces anything (EEXIST when something is there) and leaves nothing behind on failure.
// 0 or the errno value.
int WriteNewFile(const QString& path, const QByteArray& bytes, int32_t mode);

// True when both paths name the same file (same device and inode), links followed. False
// when either cannot be read.
bool SameFile(const QString& a, const QString& b);

// The "disk is full" errors: no space, or the user's quota is used up.
bool IsDiskFull(int err);

// For tests: `hook` runs right before the last step of every following copy or move (the
// rename that puts the file in place), with the target path, so that a test can create the
// target between the checks and that step. An empty function turns it off.
void SetBeforeLastStepHook(std::function<void(const QString& target)> hook);

// For tests: `hook` runs when a move across file systems has put its copy in place, right
// before the source is removed, with the target path. An empty function turns it off.
void SetBeforeSourceRemovalHook(std::function<void(const QString& target)> hook);

// For tests: `hook` runs when a move across file systems or RemoveFileIfSame has renamed its
// file aside, before it is checked and removed, with the file's path. Empty turns it off.
void SetAfterAsideHook(std::function<void(const QString& path)> hook);

// Failure injection for tests: the n-th (1-based) data write of the following copies fails
// with `err` (counting across copies until reset). n <= 0 turns it off.
void SetCopyWriteFailure(int n, int err);
