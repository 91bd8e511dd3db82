#pragma once

#include "fileops/Batch.h"
#include "platform/AppendFile.h"
#include "journal/Journal.h"

#include <QSet>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

// The undo journal of one run, attached to the run as its observer. Every intent reaches the
// disk (fdatasync) before the operation it announces: the run plans entries in groups, the
// journal writes their intents with one sync, and only then are they acted on. An operation
// that no synced intent covers is recorded (and synced) on its own right before it happens, and
// one that cannot be recorded is refused. Outcomes are written along with the next group and at
// the end; undo does not need them to be durable, since it asks the disk what happened.

// Where a crash test makes the run end abruptly (SIGKILL), so that undo can be tried on a run
// cut off at that point. Set by the environment variable MERVANE_TEST_KILL_AT="<point>:<n>"
// (point: written, synced, acted, laststep, placed), read by the console only in a build with
// MERVANE_TEST_SWITCHES; nothing else sets it.
struct JournalCrashPoint {
  enum class Point : int8_t {
    None,
    Written,  // the n-th group of intents is written, not yet synced
    Synced,   // the n-th group of intents is synced, none of its operations done
    Acted,    // the n-th operation is done, its outcome not yet recorded
    // Right before the n-th step that puts a file in place (every move calls it once before
    // its rename; a copy, or a move across file systems, calls it once more when its copy is
    // complete, before the rename of the copy into place).
    LastStep,
    Placed,  // the n-th move across file systems has its copy in place, its source not removed
  };
  Point Where = Point::None;
  int64_t Count = 0;
};
JournalCrashPoint CrashPointFromEnvironment();

// What the journal's header says about the run.
struct RunJournalInfo {
  int32_t PresetNumber = 0;
  QString PresetName;
  JournalFrontEnd FrontEnd = JournalFrontEnd::Console;
  uint32_t ListCount = 0;
  QList<QPair<QString, QString>> Values;  // the run's values, as text
};

class RunJournal : public ActObserver {
 public:
  // `stop` is raised when the journal cannot be written, so that the run ends after the entry
  // in hand (that entry is refused).
  RunJournal(QString folder, RunJournalInfo info, std::atomic<int32_t>* stop = nullptr);
  ~RunJournal() override;
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  // Creates the journal file with its header, synced. Before the run starts: a run whose
  // journal cannot be written does not start. 0 or the errno value.
  int Open();

  void SetCrashPoint(const JournalCrashPoint& point);

  qsizetype AnnounceAhead() override;
  void Announce(const std::vector<ActIntent>& intents) override;
  bool BeforeAct(const ActIntent& intent) override;
  void AfterAct(const ActIntent& intent, const ActOutcome& outcome) override;

  // After the run: the end record, synced, and the oldest journals beyond the last 20 removed.
  // A journal that announced nothing (the run changed nothing) is removed instead. 0 or the
  // errno value of the last write.
  int Finish();

  const QString& Path() const { return path_; }
  // The errno that stopped the journal (0 while all writes succeed).
  int Error() const { return error_; }
  bool WroteIntents() const { return intentCount_ > 0; }

 private:
  // A synced intent covers the operation as it now stands.
  bool Covered(const ActIntent& intent) const;
  JournalIntent Describe(const ActIntent& intent);
  void NoteNewFolders(const ActIntent& intent);
  int Write(bool sync);  // appends what is pending; syncs when asked
  void Fail(int error);
  void CrashAt(JournalCrashPoint::Point point, int64_t& counter);

  QString folder_;
  RunJournalInfo info_;
  std::atomic<int32_t>* stop_;
  QString path_;
  uint32_t number_ = 0;
  AppendFile file_;
  JournalEncoder pending_;
  int error_ = 0;
  int64_t intentCount_ = 0;
  uint32_t changed_ = 0;
  uint32_t failed_ = 0;

  // What the groups announced, from the current group on: the operations their syncs cover.
  // Slot i holds the entry at position announcedFirst_ + i (groups come in list order).
  struct Announced {
    bool Valid = false;
    JournalAction Action = JournalAction::InPlace;
    bool MayReplace = false;
    QString Target;
  };
  std::vector<Announced> announced_;
  qsizetype announcedFirst_ = 0;

  // Folders already looked at for the Folder records, and the last of them.
  QSet<QString> foldersSeen_;
  QString lastFolder_;

  // The size of the next group: it grows while the sync costs much against the work between
  // syncs, so that a run pays a few percent for its journal on any disk.
  qsizetype ahead_ = 32;
  std::chrono::steady_clock::duration lastSync_{};
  std::chrono::steady_clock::time_point lastSyncEnd_{};

  JournalCrashPoint crash_;
  int64_t writtenGroups_ = 0;
  int64_t syncedGroups_ = 0;
  int64_t acted_ = 0;
};
