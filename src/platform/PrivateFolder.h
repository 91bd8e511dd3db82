#pragma once

#include <QString>

#include <cstdint>

// Folders and files that hold instructions for later, such as the undo journals: what they say
// is carried out on the user's files, so they count only when nobody but the user could have
// written them, as ssh treats its keys. A folder counts when it belongs to the user (or to root,
// who can change anything anyway) and neither its group nor others may write to it; a file when
// it is a regular file of the user's own that neither group nor others may write to. Every look
// is made on the descriptor that is then used (fstat after open, links never followed), so that
// nothing can be swapped in between.

enum class TrustProblem : int8_t {
  None,
  OtherOwner,        // it belongs to another user (Owner says which)
  WritableByOthers,  // its group or others may write to it
  NotAFile,          // a link, a folder, a device or the like stands where a file should be
  NotAFolder,        // a link or a file stands where a folder should be
};

struct TrustCheck {
  int Error = 0;  // errno of a step that failed (ENOENT: it is not there), 0 otherwise
  TrustProblem Problem = TrustProblem::None;
  QString Path;        // the file or folder concerned (folders with a final "/")
  uint32_t Owner = 0;  // with OtherOwner
  bool Ok() const { return Error == 0 && Problem == TrustProblem::None; }
};

// One folder, open, that passed the checks from `trustedFrom` down to itself.
class PrivateFolder {
 public:
  PrivateFolder() = default;
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  // Opens `folder` (absolute, with a final "/"). Every folder from `trustedFrom` (the folder
  // itself, or one above it, with a final "/") down to `folder` must count as the user's own;
  // the folders above `trustedFrom` are the user's business and are not looked at. With
  // `create`, missing folders are made for the owner alone first (an error of making one is
  // what the result says).
  TrustCheck Open(const QString& trustedFrom, const QString& folder, bool create);
  // Whether Open with `create` would succeed and the folder would take a new file, changing
  // nothing: the folders that are there are checked, and the nearest of them must take new
  // entries where folders are missing.
  static TrustCheck Probe(const QString& trustedFrom, const QString& folder);

  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  const QString& Path() const { return path_; }
  // Removes the file `name` in the folder: 0 or the errno value.
  int Remove(const QString& name) const;
  // Makes the names created or removed in it durable: 0 or the errno value.
  int Sync() const;
  void Close();

 private:
  int fd_ = -1;
  QString path_;
};

// Checks an open file as the rules above ask; `path` names it in the result.
TrustCheck CheckOpenFile(int fd, const QString& path);
