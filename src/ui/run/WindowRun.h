#pragma once

#include "journal/RunJournal.h"
#include "run/RunProcedure.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <thread>

struct AppState;

// A run started from the window: the run procedure on a controller thread of its own. From
// Start until Finished a batch run owns the loaded-file list, the follow-up list and the run
// flags; the window shows no rows meanwhile and only reads the flags. A test run works on a
// copy of its one entry, so the loaded list stays the window's. Events come back to the GUI
// thread as signals.
class WindowRun : public QObject {
  Q_OBJECT

 public:
  explicit WindowRun(AppState& app, QObject* parent = nullptr);
  ~WindowRun() override;  // cancels a running run and waits for it

  // Starts a run of the whole list with `settings` (a copy the run may change) and `policy`.
  // False when a run is going already or no thread could be started. `journal`, opened
  // already, records the run's changes for undo; the run finishes it on its own thread.
  bool Start(const Preset& settings, const PathFolders& folders, int64_t dateFieldValue,
             const RunPolicy& policy, std::unique_ptr<RunJournal> journal);
  // Starts the single-file test run of `entry` (TestRunPolicy), on a list of its own that holds
  // a copy of it: the entry is processed as a copy into the target folder of `settings`
  // (TestRunSettings), nothing is asked and nothing is kept for a later list.
  bool StartTest(const Preset& settings, const PathFolders& folders, int64_t dateFieldValue,
                 const FileEntry& entry);
  // After a test run: its entry as the run left it (Status, Detail, NewPath, checksums).
  const FileEntry* TestedEntry() const;

  bool Busy() const { return running_; }
  // Stops the run after the entry in hand and waits for its thread. For the end of the
  // program: nothing may wait on the GUI thread then (questions must have been answered).
  void StopAndWait();
  const Preset& Settings() const { return *settings_; }
  // After Finished: the errno that stopped the last run's journal (0 when it was written
  // whole), and its path.
  int JournalError() const { return journalError_; }
  const QString& JournalPath() const { return journalPath_; }

 signals:
  // A stage begins; `entries` is the number of entries the list holds at that moment (read on
  // the controller thread while no worker runs).
  void StageChanged(RunStage stage, qint64 entries);
  void Finished(const RunResult& result);

 private:
  bool Launch(FileList& files, FileList& followUp, const PathFolders& folders,
              int64_t dateFieldValue, const RunPolicy& policy);
  void Complete();

  AppState& app_;
  std::unique_ptr<Preset> settings_;
  // The test run's own lists.
  std::unique_ptr<FileList> testFiles_;
  std::unique_ptr<FileList> testFollowUp_;
  std::thread controller_;
  std::atomic<bool> done_{true};  // the controller thread has left the run procedure
  bool running_ = false;
  RunResult result_;
  std::unique_ptr<RunJournal> journal_;
  int journalError_ = 0;
  QString journalPath_;
};
