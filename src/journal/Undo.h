#pragma once

#include "journal/CrashPoint.h"
#include "journal/Journal.h"
#include "journal/JournalFolder.h"
#include "platform/PrivateFolder.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// Taking a run back from its journal. The run is walked backwards, and every entry the journal
// announced is checked against the disk, so that what happened is taken back and what did not
// is left alone, also for a run (or an earlier undo) that was cut off midway:
// - a renamed or moved file goes back to its old path; nothing that stands there now is ever
//   replaced (the entry is reported and left); a file that is back already (an undo that was
//   cut off) is recognised by its identity and only its properties are finished;
// - a copy the run made is removed only while it is still the file the run made (its device
//   and inode as recorded, and unchanged in size and modification time), otherwise left and
//   reported; a file that merely has the same content is never taken for it;
// - permission bits, the stored DOS word, dates and download marks are put back as they were,
//   each only where the file still has what the run gave it: what was changed after the run
//   stays and is reported;
// - the folders the run created are removed when they are empty.
// Only a journal that counts as the user's own is obeyed (JournalFolder.h), and it is locked for
// the whole undo: a run or another undo of it, from any session, is told that it is in use.
// Undo appends its own records to the journal; when it went through to the end, the journal
// counts as undone. A damaged journal is taken back as far as its records can be read; the
// entries that cannot be are reported, and nothing of the journal is cut.

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
  kUndoUnreadable = -7,     // its record in the journal is damaged: nothing was done
  kUndoChangedSince = -8,   // back, but properties changed after the run stay (see Changed)
};

// Which properties a file had changed after the run, so that undo left them.
enum UndoChangedProperty : uint8_t {
  kChangedMode = 0x01,
  kChangedDates = 0x02,
  kChangedAttributes = 0x04,
  kChangedMarks = 0x08,
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
  uint8_t Changed = 0;  // UndoChangedProperty bits, with kUndoChangedSince
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
  // For crash tests only (CrashPoint.h).
  JournalCrashPoint Crash;
};

struct UndoSummary {
  QString Journal;  // the journal's path
  int Error = 0;  // errno: the journal could not be read, or undo's own records not written
  bool IsJournal = true;
  TrustCheck Trust;     // the journal or its folder does not count as the user's own
  bool InUse = false;   // a run or another undo is working with the journal
  bool Started = false;  // the entries were walked (false: the journal could not be used)
  bool Stopped = false;
  int DamagedStretches = 0;  // damage inside the journal (see Journal.h)
  qsizetype Unreadable = 0;  // entries whose records are lost to it or cannot be relied on
  qsizetype Lost = 0;        // of those, entries whose intent is lost (they are not in Left)
  qsizetype Entries = 0;
  qsizetype TakenBack = 0;
  qsizetype Unchanged = 0;
  std::vector<UndoEntryReport> Left;  // every entry that could not be taken back fully
  std::vector<UndoFolderReport> Folders;
  // 0 everything taken back, 1 some entries could not be (or the undo was stopped, or could not
  // start, or the journal is damaged).
  // The entries that were not taken back: those left, and those lost to damage.
  qsizetype NotTakenBack() const { return static_cast<qsizetype>(Left.size()) + Lost; }
  int ExitCode() const {
    return Started && !Stopped && Left.empty() && DamagedStretches == 0 && Unreadable == 0 ? 0 : 1;
  }
};

UndoSummary UndoJournal(const QString& journalPath, const UndoOptions& options);

// The decision for one entry, looking at the disk but changing nothing.
UndoEntryReport DecideUndo(const JournalEntry& entry);

// Which entries of a journal read after damage cannot be relied on: their paths may be made
// from a path lost in the damage, and none of their files is found where those paths say. One
// flag per entry; entries of a journal without damage are all usable.
std::vector<bool> UnreliableEntries(const JournalContents& journal);

// Which run an undo takes back: `number` from the list of runs, or 0 for the newest run that
// has not been taken back completely (a partly undone one is tried again before any older run).
// The newest journal is never passed over when it cannot be used (unreadable, not the user's
// own, in use): that is said instead. Only a journal that a crash left without its first
// record is passed over, as it holds nothing.
struct RunChoice {
  enum class Found : int8_t {
    Run,            // File and Summary name it
    Nothing,        // no run left to take back
    NoSuchRun,      // `number` names no journal
    AlreadyUndone,  // that run was taken back completely
    Unreadable,     // that run's journal cannot be read (Summary.Read says why)
    Untrusted,      // that journal or its folder is not the user's own (Summary.Read.Trust)
    InUse,          // a run or an undo is working with that journal
    FolderUnreadable,  // the journal folder (File.Path) cannot be read (FolderError says why)
  };
  Found What = Found::Nothing;
  JournalFile File;
  JournalSummary Summary;
  int FolderError = 0;
};
RunChoice ChooseRunToUndo(const QString& folder, uint32_t number);

// Texts for the console and the window.
// "2024-05-01 14:03:22", local time.
QString RunTimeText(const FileTime& time);
// How far the run was taken back: "not undone", "undone", ..., with ", run cut off".
QString RunStateText(const JournalSummary& summary);
// Why an entry was not (fully) taken back; empty for one that was.
QString UndoResultText(const UndoEntryReport& entry);
// Why the run cannot be taken back, for a choice that found no run to take back other than
// "nothing": unreadable, not the user's own, in use, no such run, taken back already. Empty for
// Run and Nothing.
QString RunChoiceText(const RunChoice& choice, uint32_t number);
// Why an undo did not start (its summary's Started is false).
QString UndoNotStartedText(uint32_t runNumber, const UndoSummary& summary);
// The damage an undo met, as a sentence; empty when there was none.
QString UndoDamageText(uint32_t runNumber, const UndoSummary& summary);

