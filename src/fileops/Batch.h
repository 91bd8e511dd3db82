#pragma once

#include "filelist/FileList.h"
#include "fileops/Plan.h"
#include "fileops/ReplaceAnswers.h"
#include "fileops/RunValues.h"
#include "platform/FileOps.h"
#include "records/Preset.h"
#include "records/RunFlags.h"

#include <QString>

#include <cerrno>
#include <chrono>
#include <functional>
#include <vector>

// The batch procedure: plans each entry and acts on it, recording the outcome in the entry's
// Status and NewPath.

// Asked when a copy or move failed because the disk (or the user's quota) is full, with the
// target path; true stops the run after this entry.
using AskStopOnDiskFullFunction = std::function<bool(const QString& targetPath)>;

// What the acting step is about to do to one entry, for an observer that records it (an undo
// journal writes this before the operation and the outcome after it).
struct ActIntent {
  const FileEntry& Entry;  // the source as loaded: path, attribute word, dates
  const EntryPlan& Plan;   // action, target folder and name
  qsizetype Position = 0;  // the entry's place in the list: entries are acted on in this order
  QString Target;          // the target path (the source itself for an in-place change)
  // The source's and the target's paths in their file-system bytes (EncodeFileName), made once
  // for the operation and its record alike.
  QByteArray SourceBytes;
  QByteArray TargetBytes;
  // Replace: a file at Target is replaced. In an announcement also "may be replaced": the
  // replace question is still to be asked.
  ExistingTarget Existing = ExistingTarget::Refuse;
  bool ClearsReadOnly = false;     // the source's read-only bit goes before the move
  bool RemovesZoneMark = false;    // the download marks of the result are removed
  bool ChangesAttributes = false;  // the attribute requests of the task are applied
  // The task changes dates. (A copy, or a move across file systems, also gets the recorded
  // dates written back, as the source had them.)
  bool WritesDates = false;
};

// How the entry's operation and the steps after it (zone mark, attributes, dates) ended.
struct ActOutcome {
  int Status = kStatusDone;
  QString NewPath;       // where the file is now (the target, or the source when it failed)
  int Error = 0;         // the system error of a failed copy or move, else 0
  bool NewFile = false;  // the target is a new file: a copy, or a move across file systems
  // The new file as the operation made it (the identity handed to BeforePlace), when no step
  // after it has changed its permission bits or times: what a record of the result needs,
  // without another look. False: look at NewPath.
  bool MadeKept = false;
  FileIdentity Made;
};

// Sees every operation of a run. Called on the processing thread.
//
// A run may plan several entries before it acts on the first of them: it then announces what
// each of them may do, so that an observer that must have every intent on disk before its
// operation can write them all at once. BeforeAct still comes before each operation and is the
// last word: an observer whose announcement did not cover the operation as it now stands
// records it there.
class ActObserver {
 public:
  virtual ~ActObserver() = default;
  // How many entries the run should plan and announce before it acts on them (at least 1).
  virtual qsizetype AnnounceAhead() { return 1; }
  // The entries of the next group that may be acted on, in list order; called only when the
  // observer asks for more than one entry ahead. After an entry ended otherwise than planned,
  // the entries after it are announced again as they are planned anew (mostly as before).
  virtual void Announce(const std::vector<ActIntent>& intents) { (void)intents; }
  // How many entries after an announced group the observer would like named to it while that
  // group is acted on, so that it can look at their files meanwhile (0: none).
  virtual qsizetype ForeseeAhead() { return 0; }
  // Right after an announcement, before its group is acted on: the sources of the entries from
  // position `first` on, in list order and in their file-system bytes (empty for an entry the
  // run will not act on). The next announcement may well plan them otherwise.
  virtual void Foresee(qsizetype first, const std::vector<QByteArray>& sources) {
    (void)first;
    (void)sources;
  }
  // Before the entry's operation; false vetoes it: nothing is touched and the entry fails with
  // status 8.
  virtual bool BeforeAct(const ActIntent& intent) = 0;
  // A copy (or a move across file systems) has its new file `made` complete and is about to put
  // it in place; false vetoes that: the copy goes, the source stays, and the entry fails with
  // status 8.
  virtual bool BeforePlace(const ActIntent& intent, const FileIdentity& made) {
    (void)intent;
    (void)made;
    return true;
  }
  // Why the last veto came (an errno value). A full disk stops the run as a full target disk
  // does, without asking: nothing more could be recorded.
  virtual int RefusalError() const { return ECANCELED; }
  // After the operation and the steps that follow it.
  virtual void AfterAct(const ActIntent& intent, const ActOutcome& outcome) = 0;
};

// What became of one entry: in a real run its Status and NewPath; in a dry run what the run
// would record.
struct EntryOutcome {
  int Status = kStatusNotProcessed;
  QString NewPath;
  PlanAction Action = PlanAction::None;
  PlanExpect Expect = PlanExpect::TargetFree;
};

// Called on the processing thread: before an entry (its position and entry) and after it.
struct BatchEvents {
  std::function<void(qsizetype pos, const FileEntry& entry)> EntryStarted;
  std::function<void(qsizetype pos, const FileEntry& entry, const EntryOutcome& outcome)>
      EntryFinished;
};

struct BatchOptions {
  // The replace answer memory the run starts with (ReplaceAnswer): kAnswerLeave asks at every
  // clash, kAnswerReplaceAll replaces without asking (a single-file test run), kAnswerLeaveAll
  // never replaces (nobody can answer, as in a console run).
  int32_t ReplaceMemory = kAnswerLeave;
  AskReplaceFunction AskReplace;  // empty: a clash that would be asked is left
  // Empty: nobody can answer, and a full disk stops the run.
  AskStopOnDiskFullFunction AskStopOnDiskFull;
  // Plan every entry and report what the run would do, changing nothing on disk and nothing
  // in the entries but the checksums the templates need.
  bool DryRun = false;
  // A short breath before the first entry, so that the progress display is up when the first
  // file is processed.
  std::chrono::milliseconds StartDelay{75};
  // What the templates need from inside the files (the date taken, say) may be read ahead on a
  // second thread (fileops/ContentReadAhead.h); off, each entry's file is read in its turn.
  bool ReadAhead = true;
  BatchEvents Events;
  ActObserver* Observer = nullptr;
};

struct BatchResult {
  bool StoppedByFullDisk = false;  // the disk filled up and the run stopped early
  qsizetype Unreached = 0;         // entries the run never reached after such a stop
  qsizetype Failed = 0;  // entries that ended (in a dry run: would end) with a status but 0 or 1
};

// Carries out the task on every entry of `files` (a single-entry run, flagged by
// `flags.RunSingle`, only on the current entry) and records each outcome in the entry's Status
// and NewPath. Per-file failures end as the entry's status and the run goes on; only the stop
// request, a cleared RunActive or a full disk end it early, and the entries not reached keep
// their status. Paths to keep after the run go to `followUp`, unless the settings' QuitAfterRun
// is set. Progress goes to `flags` (three units per entry). `runValues` must come from
// PrepareRunValues for these settings.
BatchResult RunBatch(FileList& files, FileList& followUp, const Preset& settings,
                     const RunValues& runValues, RunFlags& flags, const BatchOptions& options);
