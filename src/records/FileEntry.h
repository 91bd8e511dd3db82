#pragma once

#include "platform/FileTime.h"

#include <QHash>
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
  FileEntry(const FileEntry& other) : FileEntry(other, 0) {}
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
  QString Path;       // full path as handed in
  QString Directory;  // Path up to and including its last "/" (or "\")
  QString Name;       // file name without its last extension
  int64_t Size = 0;   // true 64-bit size
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

  // Checksums as 8, 32 and 40 upper-case hex digits once computed; empty until then.
  const QString& Crc32() const { return later_ ? later_->Crc32 : NoText(); }
  const QString& Md5() const { return later_ ? later_->Md5 : NoText(); }
  const QString& Sha1() const { return later_ ? later_->Sha1 : NoText(); }
  void SetCrc32(QString value) { SetLater(&Later::Crc32, std::move(value)); }
  void SetMd5(QString value) { SetLater(&Later::Md5, std::move(value)); }
  void SetSha1(QString value) { SetLater(&Later::Sha1, std::move(value)); }

  // Values read from inside the file for the content placeholders that have no field above,
  // by the placeholder's id (naming/PlaceholderTable.h); filled only when a task needs them.
  const QHash<int, QString>& ContentValues() const {
    return later_ ? later_->ContentValues : NoValues();
  }
  void SetContentValue(int id, QString value) {
    TakeLater().ContentValues.insert(id, std::move(value));
  }

  // Where a run put the file (or would have put it); empty until then.
  const QString& NewPath() const { return later_ ? later_->NewPath : NoText(); }
  void SetNewPath(QString value) { SetLater(&Later::NewPath, std::move(value)); }

 private:
  // What only some entries ever get, and none at load: kept apart, so that a loaded entry
  // carries one pointer for it instead of the strings and the table themselves.
  struct Later {
    QString Crc32;
    QString Md5;
    QString Sha1;
    QHash<int, QString> ContentValues;
    QString NewPath;
  };

  FileEntry(const FileEntry& other, int)
      : Id(other.Id),
        Attributes(other.Attributes),
        Detail(other.Detail),
        Status(other.Status),
        Path(other.Path),
        Directory(other.Directory),
        Name(other.Name),
        Size(other.Size),
        Created(other.Created),
        Modified(other.Modified),
        LastAccess(other.LastAccess),
        CreatedTime(other.CreatedTime),
        ModifiedTime(other.ModifiedTime),
        AccessTime(other.AccessTime),
        Device(other.Device),
        Inode(other.Inode),
        later_(other.later_ ? std::make_unique<Later>(*other.later_) : nullptr) {}

  static const QString& NoText() {
    static const QString none;
    return none;
  }
  static const QHash<int, QString>& NoValues() {
    static const QHash<int, QString> none;
    return none;
  }
  Later& TakeLater() {
    if (!later_) later_ = std::make_unique<Later>();
    return *later_;
  }
  // A null text is what an entry without the block reads, so storing one needs no block.
  void SetLater(QString Later::*field, QString value) {
    if (later_ || !value.isNull()) TakeLater().*field = std::move(value);
  }

  std::unique_ptr<Later> later_;
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
