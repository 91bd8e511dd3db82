#pragma once

#include "run/RunJournal.h"
#include "run/RunProcedure.h"

#include <QObject>

#include <memory>
#include <thread>

struct AppState;

// A run started from the window: the run procedure on a controller thread of its own. From
// Start until Finished the run owns the loaded-file list, the follow-up list and the run flags;
// the window shows no rows meanwhile and only reads the flags. Events come back to the GUI
// thread as signals.
class WindowRun : public QObject {
  Q_OBJECT

 public:
  explicit WindowRun(AppState& app, QObject* parent = nullptr);
  ~WindowRun() override;  // cancels a running run and waits for it

  // Starts a run of the whole list (`single` false) or of the list's current entry alone, with
  // `settings` (a copy the run may change). False when a run is going already or no thread
  // could be started. `journal`, opened already, records the run's changes for undo (a run
  // of the whole list always has one; the test run works on a copy and needs none); the run
  // finishes it on its own thread.
  bool Start(const Preset& settings, const PathFolders& folders, int64_t dateFieldValue,
             bool single, std::unique_ptr<RunJournal> journal = {});
  bool Busy() const { return running_; }
  // Asks the run to start no further entry.
  void Cancel();
  const Preset& Settings() const { return *settings_; }
  // After Finished: the errno that stopped the last run's journal (0 when it was written
  // whole), and its path.
  int JournalError() const { return journalError_; }
  const QString& JournalPath() const { return journalPath_; }

 signals:
  void StageChanged(RunStage stage);
  void Finished(const RunResult& result);

 private:
  void Complete();

  AppState& app_;
  std::unique_ptr<Preset> settings_;
  std::thread controller_;
  bool running_ = false;
  RunResult result_;
  std::unique_ptr<RunJournal> journal_;
  int journalError_ = 0;
  QString journalPath_;
};
