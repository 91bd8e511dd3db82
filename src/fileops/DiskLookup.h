#pragma once

#include <QHash>
#include <QString>

#include <cstdint>
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
// changes nothing on disk. A link found in a folder is still followed on the disk.
class FolderSnapshots final : public DiskLookup {
 public:
  static constexpr int kListAfter = 16;

  bool Exists(const QString& path) override;
  int64_t Kind(const QString& path) override;

  qsizetype FoldersRead() const { return read_; }

 private:
  // What is known of a folder: asked so often, read (Listed), or not readable (asked directly).
  struct Folder {
    int Questions = 0;
    bool Listed = false;
    bool Unreadable = false;
  };
  // The listed kind of the entry at `path`: -1 when its folder is not read (ask the disk), 0
  // when nothing is there, else 1 + ListedKind.
  int Listed(const QString& path);
  Folder& FolderOf(QStringView folder);
  void Read(const QString& folder, Folder& state);

  // Entries of the read folders by two 64-bit hashes of their full path; the kind rides in the
  // low bits of the second (which is never 0 for a used slot).
  struct Slot {
    uint64_t A = 0;
    uint64_t B = 0;
  };
  static Slot KeyOf(QStringView path);
  void Insert(Slot key, int kind);
  int Find(Slot key) const;  // 0 when absent, else 1 + kind
  std::vector<Slot> slots_;
  size_t used_ = 0;

  // The folders asked about most recently, before the table of all of them.
  struct Recent {
    QString Path;
    Folder State;
  };
  static constexpr int kRecent = 4;
  Recent recent_[kRecent];
  int nextRecent_ = 0;
  QHash<QString, Folder> folders_;
  qsizetype read_ = 0;
};
