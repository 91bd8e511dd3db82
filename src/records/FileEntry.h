#pragma once

#include "platform/FileTime.h"

#include <QHash>
#include <QString>

#include <cstdint>

// One loaded file.
//
// Date values (Created, Modified, LastAccess) are counts of seconds since 1970-01-01 00:00:00
// of the local calendar time (the file time taken to local calendar parts, counted as if they
// were UTC); -1 is the invalid date, 0 a date that could not be read. They are 64-bit so that
// files dated after 2038 keep their dates.
struct FileEntry {
  int32_t Id = 0;
  QString Path;       // full path as handed in
  QString Directory;  // Path up to and including its last "/" (or "\")
  QString Name;       // file name without its last extension
  int32_t Attributes = 0;
  int64_t Size = 0;  // true 64-bit size
  int64_t Created = 0;
  int64_t Modified = 0;
  int64_t LastAccess = 0;
  QString Crc32;  // 8 upper-case hex digits once computed
  QString Md5;    // 32 upper-case hex digits once computed
  QString Sha1;   // 40 upper-case hex digits once computed
  // Values read from inside the file for the content placeholders that have no field above,
  // by the placeholder's id (naming/PlaceholderTable.h); filled only when a task needs them.
  QHash<int, QString> ContentValues;
  int8_t Status = 0;
  int32_t Detail = 0;
  QString NewPath;

  // The file's own times as read at load, full resolution (birth time falls back to mtime).
  FileTime CreatedTime;
  FileTime ModifiedTime;
  FileTime AccessTime;

  // Which file Path named at load (device and inode; a link's own for a symbolic link), so that
  // two spellings of one file, or two hard links, make one entry. 0 and 0: not known.
  uint64_t Device = 0;
  uint64_t Inode = 0;
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
