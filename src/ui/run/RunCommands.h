#pragma once

#include "run/RunControl.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

struct AppState;
struct FileEntry;
struct RunResult;
struct RunTimings;
struct UndoSummary;
struct WindowDialogs;
class LoadedFiles;
class QWidget;
class RunController;
class RunJournal;
class UndoProgressDialog;
class UndoResultDialog;
class UndoRun;
class WindowRun;

// What the run commands ask of the window.
struct RunCommandHooks {
  std::function<void()> StorePages;         // the page controls into the working settings
  std::function<int64_t()> DateFieldValue;  // the date the date picker shows
  std::function<void(bool locked)> Lock;    // the commands that would start other work
  // A batch run begins: the window steps aside for the progress window, and comes back as it
  // was once the run is over.
  std::function<void()> StepAside;
  std::function<void()> ComeBack;
  std::function<void()> Close;  // the program ends after a run or an undo: the window closes
  std::function<void()> ClosePopups;
};

// The window's runs: Start (the batch run after the checks), the single-file test run and the
// undo of the last run, each on threads of its own with its windows (progress, questions,
// result, properties, the undo's progress and result). While one goes on the lists belong to it,
// and the window's commands are locked.
class RunCommands : public QObject {
  Q_OBJECT

 public:
  RunCommands(AppState& app, LoadedFiles& files, const WindowDialogs& dialogs,
              RunCommandHooks hooks, QWidget* window);
  ~RunCommands() override;

  // ---- Commands, callable as the menus and buttons call them ----
  // The checks, their question and the new names' warning, then the batch run.
  void Start();
  // The single-file test run of the chosen file, into the preview folder.
  void TestRun();
  // Takes back the newest run not taken back yet, after a question that names it: on a worker
  // thread, with a progress window, then a window with the result.
  void UndoLastRun();
  void SetLocked(bool locked) { locked_ = locked; }

  // A batch or test run, or an undo, is going.
  bool Busy() const;
  // Esc while a run goes: asks whether to cancel it.
  void AskToCancel();
  // The window is about to close. True when it must stay open for now: a run or an undo ends
  // first (after the quit question said Yes), and the window closes then.
  bool HoldClose();
  // The program is to end once the run in hand is over.
  bool Quitting() const { return quitting_; }
  // The program is asked to end from outside (a stop signal): a run or an undo ends after the
  // file in hand, without questions, and the window closes then (true); false when none goes.
  bool RequestQuit();

  // Something else in place of the batch run once the checks passed (tests count starts).
  void AttachStarter(std::function<void()> start) { starter_ = std::move(start); }
  void SetTimings(const RunTimings& timings);

  // ---- For tests and the screenshots ----
  RunController* BatchRun() const { return controller_; }
  UndoProgressDialog* UndoProgress() const;
  UndoResultDialog* UndoResult() const;

 signals:
  // A run has ended and the lists are the window's again.
  void RunFinished();
  // An undo has ended; its result window is open.
  void UndoFinished();

 private:
  void StartBatchRun();
  std::unique_ptr<RunJournal> OpenRunJournal();
  void OnBatchRunFinished();
  void OnTestRunFinished(const RunResult& result);
  void OnUndoFinished(const UndoSummary& summary);

  AppState& app_;
  LoadedFiles& files_;
  const WindowDialogs& dialogs_;
  RunCommandHooks hooks_;
  QWidget* window_;
  RunControl control_;
  WindowRun* testRun_ = nullptr;
  RunController* controller_ = nullptr;
  UndoRun* undo_ = nullptr;
  uint32_t undoRunNumber_ = 0;
  QPointer<UndoProgressDialog> undoProgress_;
  QPointer<UndoResultDialog> undoResult_;
  std::function<void()> starter_;
  bool locked_ = false;
  bool quitting_ = false;
};

// What the test run tells about a file it did not copy: taken out by the filter, or the
// explanation of its failure ("(3)" and the like for a status without one).
QString TestRunOutcomeText(const FileEntry& entry);
