#pragma once

#include "run/RunControl.h"
#include "run/RunProcedure.h"
#include "ui/run/ProgressWindow.h"
#include "ui/run/ReplaceQuestion.h"
#include "ui/run/RunResultWindow.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

struct AppState;
class RunJournal;
class RunQuestions;
class WindowRun;

// The waits of a window run. The phases stay on screen for a least time so that a short run
// can be read; tests make every wait short.
struct RunTimings {
  std::chrono::milliseconds MinPreparation{750};
  std::chrono::milliseconds MinProcessing{1250};
  std::chrono::milliseconds FinishedDisplay{1500};  // after a clean, complete run only
  std::chrono::milliseconds StartDelay{75};
  ProgressTimings Progress;
  int CountdownTickMs = 1000;  // the replace question's clock; 0: it ticks only by hand
};

// How a window run asks, shows and ends; tests put in their own so that nothing waits for a
// person and the test process lives on.
struct RunControllerHooks {
  AskLaterFunction Ask;                               // cancel, quit, full disk
  std::function<bool(const QString& path)> ShowFile;  // a file of the result window
  std::function<void()> EndProgram;                   // after the quit answer or QuitAfterRun
  std::function<void(const QString& reason)> Fatal;   // a thread could not be started
  // The undo journal stopped being written (the run stopped with it): its path and errno.
  std::function<void(const QString& path, int error)> JournalFailed;
};

// A batch run from the window, from the start to the list given back: the run procedure on a
// controller thread (WindowRun), the progress window with its updater, the questions the
// processing thread asks (replace, full disk), the run result window for files that failed,
// and the end of the program when the user quit or QuitAfterRun is set. Everything here lives
// in the GUI thread and never waits for a worker; the workers wait for the GUI only on a
// question, which Close() of RunQuestions can always answer.
class RunController : public QObject {
  Q_OBJECT

 public:
  explicit RunController(AppState& app, QObject* parent = nullptr);
  // Answers open questions, stops the run after the file in hand and waits for it.
  ~RunController() override;

  void SetHooks(RunControllerHooks hooks) { hooks_ = std::move(hooks); }
  void SetTimings(const RunTimings& timings) { timings_ = timings; }

  // Starts a run of the loaded list with `settings` (the checks have passed): the progress
  // window comes up on the screen of `near`. `journal` (open) records the run for undo. False
  // when a run goes already.
  bool Start(const Preset& settings, const PathFolders& folders, int64_t dateFieldValue,
             QWidget* near, std::unique_ptr<RunJournal> journal);
  bool Busy() const;
  // The settings of the last run (a copy taken at its start).
  const Preset& Settings() const;
  // Frees a list the window no longer needs on a thread of its own: freeing a million entries
  // would hold the GUI thread for most of a second just as the window comes back.
  void DiscardLater(FileList&& list);
  // The program is to end (a stop signal, the session): as the quit answer, the run ends after
  // the file in hand, open questions get their safe answer, and then the program ends.
  void RequestQuit();

  // ---- For tests and the screenshots ----
  ProgressWindow* Progress() const { return progress_; }
  ReplaceQuestion* Question() const { return question_; }
  RunResultWindow* ResultWindow() const { return result_; }
  RunQuestions* Questions() const { return questions_; }

 signals:
  // The run is over and the lists are the window's again (not after the program was told to
  // end): the window rebuilds its list and shows itself.
  void Finished(const RunResult& result);
  void StageChanged(RunStage stage);

 private:
  void OnStage(RunStage stage, qint64 entries);
  void OnRunEnded(const RunResult& result);
  void Conclude();
  void CloseQuestion();
  void BringUpProgress();
  void EndProgram();
  void Done();
  void PresentReplace(const QString& targetPath, std::function<void(int32_t)> answer);
  void PresentDiskFull(const QString& targetPath, std::function<void(bool)> answer);

  AppState& app_;
  RunControl control_;
  RunControllerHooks hooks_;
  RunTimings timings_;
  WindowRun* run_ = nullptr;
  RunQuestions* questions_ = nullptr;
  QPointer<ProgressWindow> progress_;
  QPointer<ReplaceQuestion> question_;
  QPointer<RunResultWindow> result_;
  RunResult lastResult_;
  bool active_ = false;       // from Start until Finished (or the end of the program)
  bool concluding_ = false;   // the run procedure has returned
  bool quitOnLastWindow_ = true;
  std::thread discarder_;
};
