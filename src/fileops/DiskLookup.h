#pragma once

#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// What a plan asks of the disk: whether something is at a path, and what. By default each
// question is a system call; a plan of a whole list asks about every file of a folder and many
// names beside them, and FolderSnapshots answers those from one reading of the folder.

// FileSize's codes for what is at a path, with every regular file as 0 (its size is not known).
inline constexpr int64_t kPathMissing = -1;
inline constexpr int64_t kPathFolder = -2;
inline constexpr int64_t kPathOther = -3;

class DiskLookup {
 public:
  virtual ~DiskLookup() = default;
  // Anything at all at the path, a link not followed (PathExists).
  virtual bool Exists(const QString& path) = 0;
  // A regular file (links followed): 0; otherwise one of the codes above (FileSize's sign).
  virtual int64_t Kind(const QString& path) = 0;
};

// Each question goes to the disk.
class DirectLookup final : public DiskLookup {
 public:
  bool Exists(const QString& path) override;
  int64_t Kind(const QString& path) override;
};

// Answers from folders read whole: a folder is read once it has been asked about kListAfter
// times (a few questions go to the disk directly, a folder with a million files is not read for
// them). What the folders hold is taken as it was when each was read: for one plan, which
// changes nothing on disk. A link found in a folder is still followed on the disk. A folder on a
// file system that ignores letter case is never read: its answers would differ from the disk's.
class FolderSnapshots final : public DiskLookup {
 public:
  static constexpr int kListAfter = 16;

  FolderSnapshots();
  ~FolderSnapshots() override;

  bool Exists(const QString& path) override;
  int64_t Kind(const QString& path) override;
  // The same for the path that is `folder` (with final "/") followed by `name` (without "/"),
  // given in its two pieces: they are joined only when the disk must be asked.
  int64_t KindIn(const QString& folder, const QString& name);

  qsizetype FoldersRead() const { return read_; }

 private:
  struct Folder;
  // The listed kind of `name` in `folder` (with final "/"): -1 when the folder is not read (ask
  // the disk), 0 when nothing is there, else 1 + ListedKind.
  int Listed(QStringView folder, QStringView name);
  int Listed(Folder& folder, QStringView name);
  // The same for a whole path.
  int Listed(QStringView path);
  Folder& FolderOf(QStringView folder);
  void Read(Folder& folder);
  // Whether the folder finds `name` (listed in it) spelt in other letter case too.
  static bool IgnoresCase(const Folder& folder, const QString& name);
  static int64_t KindOf(int listed, const QString& path);

  std::vector<std::unique_ptr<Folder>> all_;
  QMultiHash<size_t, Folder*> byPath_;  // by a hash of the folder's path
  // The folders asked about most recently, before the table of all of them.
  static constexpr int kRecent = 4;
  Folder* recent_[kRecent] = {};
  int nextRecent_ = 0;
  Folder* last_ = nullptr;  // the folder asked about last
  qsizetype read_ = 0;
};
