#pragma once

#include "journal/Journal.h"
#include "journal/JournalFolder.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// Taking a run back from its journal. The run is walked backwards, and every entry the journal
// announced is checked against the disk, so that what happened is taken back and what did not
// is left alone, also for a run that was cut off midway:
// - a renamed or moved file goes back to its old path; nothing that stands there now is ever
//   replaced (the entry is reported and left);
// - a copy the run made is removed only while it is still the file the run made (same device,
//   inode, size and modification time), otherwise left and reported;
// - permission bits, the stored DOS word, dates and download marks are put back as they were;
// - the folders the run created are removed when they are empty.
// Undo appends its own records to the journal; when it went through to the end, the journal
// counts as undone.

// What became of one entry.
enum UndoResult : int8_t {
  kUndoDone = 1,       // taken back
  kUndoUnchanged = 0,  // the run changed nothing here (or it was taken back before)
  kUndoOldPlaceTaken = -1,  // something stands at the old path; the file stays where it is
  kUndoNotFound = -2,       // the file is no longer where the run left it
  kUndoCopyChanged = -3,    // the copy was changed since the run, or is not the one it made
  kUndoFailed = -4,         // the system refused (the entry's Error says why)
  kUndoIncomplete = -5,     // the file is back, but not all its attributes, dates or marks are
  kUndoReplacedLost = -6,   // the file is back, but the file the run replaced is gone for good
};

// What undo does (or, in a dry run, would do) for one entry.
enum class UndoAction : int8_t {
  None,        // nothing
  MoveBack,    // From -> To
  RemoveCopy,  // From is removed (the copy the run made, or the copy half of a cut-off move)
  Restore,     // only properties, on To
  Leave,       // nothing can be done (the result says why)
};

struct UndoEntryReport {
  uint32_t Position = 0;
  UndoAction Action = UndoAction::None;
  int Result = kUndoUnchanged;
  int Error = 0;
  QString From;  // where the file is now
  QString To;    // where it goes back to
};

// The folders undo removes (or would remove) after the entries.
struct UndoFolderReport {
  QString Path;
  int Error = 0;  // 0 removed; ENOTEMPTY and the like: left
};

struct UndoOptions {
  bool DryRun = false;  // decide everything, change nothing (not even the journal)
  // Raised (by a signal, or the window's cancel): the undo ends after the entry in hand and the
  // journal does not count as undone.
  std::atomic<int32_t>* Stop = nullptr;
  // After each entry, on the calling thread: the entry, and how many of how many are done.
  std::function<void(const UndoEntryReport& entry, qsizetype done, qsizetype total)> EntryDone;
};

struct UndoSummary {
  int Error = 0;  // errno: the journal could not be read, or undo's own records not written
  bool IsJournal = true;
  bool Started = false;  // the entries were walked (false: the journal could not be used)
  bool Stopped = false;
  qsizetype Entries = 0;
  qsizetype TakenBack = 0;
  qsizetype Unchanged = 0;
  std::vector<UndoEntryReport> Left;  // every entry that could not be taken back fully
  std::vector<UndoFolderReport> Folders;
  // 0 everything taken back, 1 some entries could not be (or the undo was stopped, or could not
  // start).
  int ExitCode() const { return Started && !Stopped && Left.empty() ? 0 : 1; }
};

UndoSummary UndoJournal(const QString& journalPath, const UndoOptions& options);

// The decision for one entry, looking at the disk but changing nothing.
UndoEntryReport DecideUndo(const JournalEntry& entry);

// Which run an undo takes back: `number` from the list of runs, or 0 for the newest run that
// has not been taken back completely (a partly undone one is tried again before any older run).
struct RunChoice {
  enum class Found : int8_t {
    Run,            // File and Summary name it
    Nothing,        // no run left to take back
    NoSuchRun,      // `number` names no journal
    AlreadyUndone,  // that run was taken back completely
    Unreadable,     // that run's journal cannot be read (Summary.Read says why)
  };
  Found What = Found::Nothing;
  JournalFile File;
  JournalSummary Summary;
};
RunChoice ChooseRunToUndo(const QString& folder, uint32_t number);

// Texts for the console and the window.
// "2024-05-01 14:03:22", local time.
QString RunTimeText(const FileTime& time);
// How far the run was taken back: "not undone", "undone", ..., with ", run cut off".
QString RunStateText(const JournalSummary& summary);
// Why an entry was not (fully) taken back; empty for one that was.
QString UndoResultText(const UndoEntryReport& entry);
