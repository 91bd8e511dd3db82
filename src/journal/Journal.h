#pragma once

#include "records/FileEntry.h"
#include "platform/AppendFile.h"
#include "platform/Attributes.h"
#include "platform/FileIdentity.h"
#include "platform/FileTime.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The undo journal: what a run is about to do to each file, written before it does it, and
// what became of it, so that the run can be taken back even when it never finished.
//
// File format
// -----------
// One file per run, "<number>.journal" (the run's number, 8 decimal digits), in the journal
// folder. All integers are little-endian. The file starts with the 8 bytes "MVJRNL1\n", then
// holds records, each:
//
//   u32 length   the number of bytes of type and body (1 .. 64 MiB)
//   u8  type
//   ... body
//   u32 crc      CRC-32 (the zlib polynomial) of the length field, the type and the body
//
// A reader takes every record it can. A crash or a power cut leaves at most a torn last record:
// whatever follows the last complete record is ignored, and a writer that appends (an undo)
// first cuts the file back to it. A record that is cut short, longer than the file or whose CRC
// is wrong while good records follow is damage no crash makes: the reader looks for the next
// good record byte by byte (a plausible length and type, and a CRC that fits) and goes on from
// there, and reports the damaged stretch; nothing is cut. Records of an unknown type are skipped.
//
// Body fields: u8/u16/u32/u64, i8/i32/i64; "time" = i64 seconds since 1970 (UTC) + u32
// nanoseconds; "bytes" = u32 length + that many bytes; "path" = u32 number of leading bytes
// shared with a reference path + "bytes" of the rest (paths are file-system bytes, stored
// losslessly). The reference of an intent's source is the previous intent's source (none: the
// empty path), the reference of its target is its own source.
//
//   1 Begin    u16 format (1), u32 run number, time started, u32 process id, i32 preset number,
//              bytes preset name (UTF-8), u8 front end (0 console, 1 window), u32 entries in
//              the list, u16 count + count x (bytes key, bytes value): the run's values (UTF-8)
//   2 Intent   u32 position (the entry's place in the list: entries act in this order),
//              u8 action (1 in place, 2 rename, 3 move, 4 copy), u8 flags,
//              path source, path target,
//              source identity (the name itself, links not followed): i32 errno of the look
//              (0: found), u64 device, u64 inode, i64 size, u32 st_mode, time modified;
//              properties of the file (links followed): u32 permission bits, time accessed,
//              time modified, u8 has birth time, time born;
//              flag 0x04: the stored DOS word: u8 store (0 none, 1 user.DOSATTRIB, 2 FAT,
//                3 NTFS), bytes raw value;
//              flag 0x08: the download marks: u8 count + count x (bytes name, bytes value) of the
//                marks the file carries, then the sibling file "<target>:Zone.Identifier":
//                u8 state (0 none, 1 kept, 2 too large to keep), when kept u32 mode, time
//                accessed, time modified, bytes content;
//              flag 0x20: the file at the target that may be replaced: u64 device, u64 inode,
//                i64 size, time modified
//              Flags: 0x01 a file at the target may be replaced, 0x02 the read-only bit is
//              cleared before the move, 0x04 attributes change, 0x08 download marks are
//              removed, 0x10 dates are written, 0x20 (see above).
//   3 Outcome  u32 position, i8 status, i32 errno, u8 flags (0x01 the result is a new file:
//              a copy or a move across file systems; 0x02 the new path is not the target;
//              0x04 the properties the run left the file with follow),
//              flag 0x01: u64 device, u64 inode, i64 size, time modified of the new file;
//              flag 0x02: bytes new path;
//              flag 0x04: u32 permission bits, time accessed, time modified (links followed),
//                u8 has DOS word + when 1: u8 store, bytes raw value
//   4 Folder   bytes path: a folder that did not exist when the entries that go into it were
//              announced (the run creates it)
//   5 End      time, u32 files changed, u32 files failed
//   6 UndoBegin time, u32 process id
//   7 UndoEntry u32 position, i8 result (UndoResult), i32 errno
//   8 Undone   time, u32 files taken back, u32 files left
//   9 Made     u32 position, u8 maker (0 the run, 1 an undo), u64 device, u64 inode, i64 size,
//              u8 has birth time, time born: the new
//              file a copy (or a move across file systems) is about to put in place, written
//              (not synced) right before it goes there, so that only that very file is later
//              taken for the copy it made
//
// An entry's latest intent is the one that counts (a group of entries announced ahead is
// announced again when the run re-plans it); its outcome is the Outcome after that intent. An
// entry without outcome was cut off: undo asks the disk what happened.
//
// After a damaged stretch the first intents may refer to a path that was lost with it: each
// intent carries the number of damaged stretches before it, so that undo can tell which paths
// it must first find confirmed on disk (see Undo.h).

enum class JournalAction : uint8_t { InPlace = 1, Rename = 2, Move = 3, Copy = 4 };

enum JournalIntentFlag : uint8_t {
  kIntentMayReplace = 0x01,
  kIntentClearsReadOnly = 0x02,
  kIntentChangesAttributes = 0x04,
  kIntentRemovesMarks = 0x08,
  kIntentWritesDates = 0x10,
  kIntentHasReplaced = 0x20,
};

// A file's permission bits and dates as the run found them (links followed).
struct JournalProperties {
  uint32_t Mode = 0;  // permission bits (07777)
  FileTime Accessed;
  FileTime Modified;
  FileTime Born;
  bool HasBirthTime = false;
};

struct JournalMark {
  QByteArray Name;
  QByteArray Value;
};

enum class SiblingState : uint8_t { None = 0, Kept = 1, TooLarge = 2 };

struct JournalIntent {
  uint32_t Position = 0;
  JournalAction Action = JournalAction::InPlace;
  uint8_t Flags = 0;
  QByteArray Source;
  QByteArray Target;
  FileIdentity Identity;  // the source's name (Error set when it was not found)
  JournalProperties Properties;
  StoredDosWord Dos;                // kIntentChangesAttributes
  std::vector<JournalMark> Marks;   // kIntentRemovesMarks
  SiblingState Sibling = SiblingState::None;
  uint32_t SiblingMode = 0;
  FileTime SiblingAccessed;
  FileTime SiblingModified;
  QByteArray SiblingContent;
  FileIdentity Replaced;  // kIntentHasReplaced (device, inode, size, modified)
  // As read: the damaged stretches before this record, its place among the intents of the file,
  // and whether its paths refer to a path the reader does not have (lost in damage).
  uint32_t Epoch = 0;
  uint64_t Sequence = 0;
  bool PathLost = false;

  bool Has(uint8_t flag) const { return (Flags & flag) != 0; }
};

enum JournalOutcomeFlag : uint8_t {
  kOutcomeNewFile = 0x01,
  kOutcomeOtherPath = 0x02,
  kOutcomeAfter = 0x04,
};

// The entry's operation left the file at its new place: done, or only the steps after the
// move or copy (attributes) failed.
inline bool OutcomeActed(int status) {
  return status == kStatusDone || status == kStatusReadError ||
         status == kStatusAttributesFailed;
}

struct JournalOutcome {
  uint32_t Position = 0;
  int8_t Status = 0;
  int32_t Error = 0;
  bool NewFile = false;
  FileIdentity Result;  // of the new file (device, inode, size, modified), when NewFile
  QByteArray NewPath;   // empty: the target
  // What the run left the file with, so that undo puts back only what is still so.
  bool HasAfter = false;
  uint32_t AfterMode = 0;  // permission bits
  FileTime AfterAccessed;
  FileTime AfterModified;
  bool HasAfterDos = false;
  StoredDosWord AfterDos;
};

enum class JournalMaker : uint8_t { Run = 0, Undo = 1 };

struct JournalMade {
  uint32_t Position = 0;
  JournalMaker Maker = JournalMaker::Run;
  FileIdentity File;  // device, inode, size and birth time of the new file
};

enum class JournalFrontEnd : uint8_t { Console = 0, Window = 1 };

struct JournalHeader {
  uint16_t Format = 1;
  uint32_t Number = 0;
  FileTime Started;
  uint32_t ProcessId = 0;
  int32_t PresetNumber = 0;
  QString PresetName;
  JournalFrontEnd FrontEnd = JournalFrontEnd::Console;
  uint32_t ListCount = 0;
  QList<QPair<QString, QString>> Values;
};

struct JournalEnd {
  FileTime Ended;
  uint32_t Changed = 0;
  uint32_t Failed = 0;
};

struct JournalUndoEntry {
  uint32_t Position = 0;
  int8_t Result = 0;
  int32_t Error = 0;
};

struct JournalUndone {
  FileTime Ended;
  uint32_t TakenBack = 0;
  uint32_t Left = 0;
};

// The signature every journal begins with.
inline constexpr char kJournalMagic[] = "MVJRNL1\n";
inline constexpr int kJournalMagicSize = 8;
// The longest record a reader accepts.
inline constexpr uint32_t kJournalMaxRecord = 64u << 20;
// A sibling mark file larger than this is not kept (such files hold a few lines).
inline constexpr int64_t kJournalMaxSibling = 1 << 20;

// Turns records into bytes. Intents are written with their paths shortened against the
// previous intent's source, so one writer must write all intents of a file, in order.
class JournalEncoder {
 public:
  void Begin(const JournalHeader& header);
  void Intent(const JournalIntent& intent);
  void Outcome(const JournalOutcome& outcome);
  void Folder(const QByteArray& path);
  void End(const JournalEnd& end);
  void UndoBegin(const FileTime& started, uint32_t processId);
  void UndoEntry(const JournalUndoEntry& entry);
  void Undone(const JournalUndone& undone);
  void Made(const JournalMade& made);

  // The records so far.
  const char* Data() const { return bytes_.data(); }
  size_t Size() const { return bytes_.size(); }
  QByteArray Bytes() const { return {bytes_.data(), static_cast<qsizetype>(bytes_.size())}; }
  void Clear() { bytes_.clear(); }  // keeps the buffer for the next records
  bool IsEmpty() const { return bytes_.empty(); }

 private:
  std::string& Open(uint8_t type);  // starts a record; returns the buffer it is built in
  void Close();  // fills in the length, adds the CRC and appends the record to the bytes

  std::string bytes_;
  std::string record_;
  QByteArray lastSource_;
};

// One record as read, for a caller that walks a journal.
struct JournalRecordVisitor {
  std::function<void(const JournalHeader&)> Begin;
  std::function<void(JournalIntent&&)> Intent;
  std::function<void(const JournalOutcome&)> Outcome;
  std::function<void(const QByteArray& path)> Folder;
  std::function<void(const JournalEnd&)> End;
  std::function<void(const FileTime& started, uint32_t processId)> UndoBegin;
  std::function<void(const JournalUndoEntry&)> UndoEntry;
  std::function<void(const JournalUndone&)> Undone;
  std::function<void(const JournalMade&)> Made;
  // A damaged stretch (see above): where it began and how many bytes it holds.
  std::function<void(int64_t offset, int64_t length)> Damage;
};

struct JournalReadResult {
  int Error = 0;      // errno when the file could not be opened or read
  TrustCheck Trust;   // why the file or its folder does not count as the user's own
  bool InUse = false;  // a run or an undo is working with it (only when asked to look)
  bool IsJournal = false;  // it begins with the signature and a Begin record
  // The file ends before its Begin record is complete (a crash right after it was created):
  // there is nothing in it to take back.
  bool TornStart = false;
  int64_t ValidLength = 0;  // bytes up to the end of the last complete record
  bool Damaged = false;     // something follows the last complete record (a torn end)
  int DamagedStretches = 0;  // damage with good records after it, found again (see above)
  // The journal could be opened and is one: its records can be used.
  bool Usable() const { return Error == 0 && Trust.Ok() && !InUse && IsJournal; }
};

// Reads the journal in `file` (open, from its start) record by record.
JournalReadResult ReadJournalRecords(const AppendFile& file, const JournalRecordVisitor& visitor);
// The same for the journal at `path`, opened after its checks (Trust says why it was refused).
// With `lookForUse`, a journal that a run or an undo is working with is not read (InUse).
JournalReadResult ReadJournalRecords(const QString& path, const JournalRecordVisitor& visitor,
                                     bool lookForUse = false);

// Reads records from bytes already in memory (for tests and for the reader itself).
JournalReadResult ReadJournalBytes(const QByteArray& bytes, const JournalRecordVisitor& visitor);

// A whole journal: the latest intent of every entry with its outcome, in list order.
struct JournalEntry {
  JournalIntent Intent;
  std::optional<JournalOutcome> Outcome;
  std::optional<JournalUndoEntry> UndoneBefore;  // what the last undo made of it
  std::optional<JournalMade> Made;      // the new file the run's copy put in place
  std::optional<JournalMade> UndoMade;  // the new file an undo's move back put in place
};

enum class UndoState : int8_t {
  None,         // never undone
  Interrupted,  // an undo began and did not finish
  Partly,       // undone, but some files could not be taken back
  Complete,     // undone
};

struct JournalContents {
  JournalReadResult Read;
  JournalHeader Header;
  std::vector<JournalEntry> Entries;  // by position
  std::vector<QByteArray> Folders;
  std::optional<JournalEnd> End;
  UndoState Undo = UndoState::None;
  JournalUndone Undone;
  // Entries that left records (an outcome, an undo's) whose intent was lost in damage.
  qsizetype LostIntents = 0;
};

JournalContents ReadJournal(const AppendFile& file);
JournalContents ReadJournal(const QString& path);

// What a listing of runs shows, without keeping the entries.
struct JournalSummary {
  JournalReadResult Read;
  JournalHeader Header;
  uint32_t Files = 0;     // files changed (a run cut off: files it announced)
  bool Finished = false;  // the run wrote its end
  UndoState Undo = UndoState::None;
  uint32_t Left = 0;  // after a partial undo: the files it could not take back
};

// Reads the journal after its checks; one that a run or an undo is working with is not read
// (Read.InUse).
JournalSummary SummarizeJournal(const QString& path);
