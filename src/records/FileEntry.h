#pragma once

#include "platform/FileTime.h"

#include <QHash>
#include <QSharedData>
#include <QString>

#include <cstdint>
#include <memory>
#include <utility>

// One loaded file.
//
// Date values (Created, Modified, LastAccess) are counts of seconds since 1970-01-01 00:00:00
// of the local calendar time (the file time taken to local calendar parts, counted as if they
// were UTC); -1 is the invalid date, 0 a date that could not be read. They are 64-bit so that
// files dated after 2038 keep their dates.
struct FileEntry {
  FileEntry() = default;
  FileEntry(const FileEntry& other);
  FileEntry& operator=(const FileEntry& other) {
    if (this != &other) *this = FileEntry(other);
    return *this;
  }
  FileEntry(FileEntry&&) noexcept = default;
  FileEntry& operator=(FileEntry&&) noexcept = default;
  ~FileEntry() = default;

  int32_t Id = 0;
  int32_t Attributes = 0;
  int32_t Detail = 0;
  int8_t Status = 0;
  int64_t Size = 0;  // true 64-bit size
  int64_t Created = 0;
  int64_t Modified = 0;
  int64_t LastAccess = 0;

  // The file's own times as read at load, full resolution (birth time falls back to mtime).
  FileTime CreatedTime;
  FileTime ModifiedTime;
  FileTime AccessTime;

  // Which file Path named at load (device and inode; a link's own for a symbolic link), so that
  // two spellings of one file, or two hard links, make one entry. 0 and 0: not known.
  uint64_t Device = 0;
  uint64_t Inode = 0;

  // The full path as handed in. It is kept as its folder, whose text the entries of one folder
  // share, and the file name, and joined on each call: a loop over many entries that only
  // compares or hashes paths uses PathFolder() and FileName() and spares itself the join.
  const QString Path() const;
  void SetPath(const QString& path);
  // Path() is PathFolder() + FileName(): the path up to and including its last "/" (empty
  // when it has none) and what follows.
  const QString& PathFolder() const { return folder_ ? folder_->Text : NoText(); }
  const QString& FileName() const { return file_; }
  // Sets the path to `folder` + `fileName`, Directory to `folder` and Name to the file name
  // without its last extension: the entry of a file as loaded.
  void SetLocation(QString folder, QString fileName);

  // Path up to and including its last "/" (or "\"), and the file name without its last
  // extension. They follow the path as SetLocation sets it; set on their own, they keep the
  // value set whatever the path becomes.
  const QString& Directory() const {
    return rare_ && rare_->HasDirectory ? rare_->Directory : PathFolder();
  }
  void SetDirectory(QString directory);
  const QString Name() const;
  void SetName(QString name);
  // What follows Directory() in Path(): the file name, handed out without joining the path.
  QString PathAfterDirectory() const;

  // Checksums as 8, 32 and 40 upper-case hex digits once computed; empty until then.
  const QString& Crc32() const { return rare_ ? rare_->Crc32 : NoText(); }
  const QString& Md5() const { return rare_ ? rare_->Md5 : NoText(); }
  const QString& Sha1() const { return rare_ ? rare_->Sha1 : NoText(); }
  void SetCrc32(QString value) { SetRare(&Rare::Crc32, std::move(value)); }
  void SetMd5(QString value) { SetRare(&Rare::Md5, std::move(value)); }
  void SetSha1(QString value) { SetRare(&Rare::Sha1, std::move(value)); }

  // Values read from inside the file for the content placeholders that have no field above,
  // by the placeholder's id (naming/PlaceholderTable.h); filled only when a task needs them.
  const QHash<int, QString>& ContentValues() const {
    return rare_ ? rare_->ContentValues : NoValues();
  }
  void SetContentValue(int id, QString value) {
    TakeRare().ContentValues.insert(id, std::move(value));
  }

  // Where a run put the file (or would have put it); empty until then.
  const QString& NewPath() const { return rare_ ? rare_->NewPath : NoText(); }
  void SetNewPath(QString value) { SetRare(&Rare::NewPath, std::move(value)); }

 private:
  // What a loaded entry does not have: kept apart, so that the entry carries one pointer for
  // it instead of the strings and the table themselves.
  struct Rare {
    QString Crc32;
    QString Md5;
    QString Sha1;
    QHash<int, QString> ContentValues;
    QString NewPath;
    QString Directory;  // set on its own, unlike the path's folder
    QString Name;       // set on its own, unlike the file name's stem
    bool HasDirectory = false;
    bool HasName = false;
  };

  static const QString& NoText() {
    static const QString none;
    return none;
  }
  static const QHash<int, QString>& NoValues() {
    static const QHash<int, QString> none;
    return none;
  }
  Rare& TakeRare() {
    if (!rare_) rare_ = std::make_unique<Rare>();
    return *rare_;
  }
  // A null text is what an entry without the block reads, so storing one needs no block.
  void SetRare(QString Rare::*field, QString value) {
    if (rare_ || !value.isNull()) TakeRare().*field = std::move(value);
  }

  // The folder's text, one block for all the entries of a folder: the entry carries a pointer
  // to it rather than a string of its own (8 bytes instead of 24). Null: the path has no "/".
  struct Folder : QSharedData {
    explicit Folder(QString text) : Text(std::move(text)) {}
    QString Text;
  };
  static QExplicitlySharedDataPointer<Folder> SharedFolder(QString text, bool anyAlike);
  // Sets the folder's text; `cut`: the entry cut it from a path itself, so that a block with
  // equal text does (a caller's own text is kept, not swapped for an equal one).
  void SetFolder(QString text, bool cut);

  QExplicitlySharedDataPointer<Folder> folder_;
  QString file_;
  std::unique_ptr<Rare> rare_;
};

// One of the entry's three dates, by the source settings use: 0 last access, 1 modified,
// 2 created (any other value reads as modified).
inline int64_t ChosenDate(const FileEntry& entry, int source) {
  switch (source) {
    case 0:
      return entry.LastAccess;
    case 2:
      return entry.Created;
    default:
      return entry.Modified;
  }
}

// Entry status codes.
enum EntryStatus : int8_t {
  kStatusNotProcessed = 0,
  kStatusDone = 1,
  kStatusSourceMissing = 2,     // source missing, or a directory
  kStatusTargetExists = 3,      // target exists and was not replaced
  kStatusTargetIsSource = 4,    // the target is the source itself
  kStatusReadError = 5,         // a checksum or the attributes could not be read
  kStatusAttributesFailed = 6,  // the attributes could not be set
  // A folder or file name made from the file's data is unusable ("", ".", "..", a name without
  // a base name, or too long for the file system). Mervane's own code: the design leaves 7 free.
  kStatusInvalidName = 7,
  kStatusCopyMoveFailed = 8,  // the copy or move failed
  // A regular expression of a rule or a filter condition needed too many steps on the file's
  // name and gave up: the file is left as it is. Mervane's own code.
  kStatusMatchGaveUp = 9,
};
