#pragma once

#include "fileops/Batch.h"
#include "journal/CrashPoint.h"
#include "journal/IdentityLookAhead.h"
#include "journal/Journal.h"
#include "platform/AppendFile.h"
#include "platform/PrivateFolder.h"

#include <QSet>
#include <QString>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

// The undo journal of one run, attached to the run as its observer. Every intent reaches the
// disk (fdatasync) before the operation it announces: the run plans entries in groups, the
// journal writes their intents with one sync, and only then are they acted on. An operation
// that no synced intent covers is recorded (and synced) on its own right before it happens, and
// one that cannot be recorded is refused. Outcomes are written along with the next group and at
// the end; undo does not need them to be durable, since it asks the disk what happened. The new
// file of a copy is recorded (written, not synced) right before it is put in place, so that undo
// removes only that very file. The journal file is locked for the whole run: an undo of it
// waits until the run has ended, whichever session it comes from. The sources of the next group
// are looked at on a second core while a group is acted on (journal/IdentityLookAhead.h).

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

  // Creates the journal file with its header, synced, in its folder once that counts as the
  // user's own (JournalFolder.h). Before the run starts: a run whose journal cannot be written
  // does not start. 0 or the errno value (EPERM for a folder that does not count; OpenProblem
  // says why).
  int Open();
  const TrustCheck& OpenProblem() const { return problem_; }
  // Why Open failed, as a sentence's end: the system's reason or what is wrong with the folder.
  QString OpenErrorText() const;

  void SetCrashPoint(const JournalCrashPoint& point);
  // For tests: the journal's disk is full once it holds this many bytes (0: no limit).
  void SetSpaceLimit(int64_t bytes) { spaceLimit_ = bytes; }

  qsizetype AnnounceAhead() override;
  void Announce(const std::vector<ActIntent>& intents) override;
  qsizetype ForeseeAhead() override;
  void Foresee(qsizetype first, const std::vector<QByteArray>& sources) override;
  bool BeforeAct(const ActIntent& intent) override;
  bool BeforePlace(const ActIntent& intent, const FileIdentity& made) override;
  void AfterAct(const ActIntent& intent, const ActOutcome& outcome) override;
  int RefusalError() const override { return error_ != 0 ? error_ : ECANCELED; }

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
  // `looked`: the source's identity looked at ahead, when that look stands.
  JournalIntent Describe(const ActIntent& intent, const FileIdentity* looked = nullptr);
  // What the run may write to while it acts on a group (see IdentityLookAhead).
  void NoteWrites(const ActIntent& intent, std::vector<QString>& names) const;
  void NoteNewFolders(const ActIntent& intent);
  int Write(bool sync);  // appends what is pending; syncs when asked
  void Fail(int error);
  void CrashAt(JournalCrashPoint::Point point, int64_t& counter);

  QString folder_;
  PrivateFolder dir_;
  TrustCheck problem_;
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

  // The next sources' identities, looked at while a group is acted on, and the names the
  // announced group may write to, handed to that look.
  IdentityLookAhead lookAhead_;
  std::vector<QString> groupWrites_;
  bool looksAhead_ = IdentityLookAhead::Worthwhile();

  // Folders already looked at for the Folder records, and the last of them.
  QSet<QString> foldersSeen_;
  QString lastFolder_;

  // The size of the next group: it grows while the sync costs much against the work between
  // syncs, so that a run pays a few percent for its journal on any disk.
  qsizetype ahead_ = 32;
  std::chrono::steady_clock::duration lastSync_{};
  std::chrono::steady_clock::time_point lastSyncEnd_{};

  JournalCrashPoint crash_;
  std::unique_ptr<CrashHooks> hooks_;
  int64_t spaceLimit_ = 0;
  int64_t written_ = 0;
  int64_t writtenGroups_ = 0;
  int64_t syncedGroups_ = 0;
  int64_t acted_ = 0;
};
