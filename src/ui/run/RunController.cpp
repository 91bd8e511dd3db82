#include "ui/run/RunController.h"

#include "app/AppState.h"
#include "platform/FileSystem.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/run/ReplaceQuestion.h"
#include "ui/run/RunQuestions.h"
#include "ui/run/RunResultWindow.h"
#include "ui/widgets/UiTexts.h"
#include "ui/run/WindowRun.h"

#include <QGuiApplication>
#include <QScreen>

#include <system_error>

namespace {

int32_t PhaseOf(RunStage stage) {
  switch (stage) {
    case RunStage::Preparing:
      return kPhasePreparing;
    case RunStage::Processing:
      return kPhaseProcessing;
    case RunStage::Finished:
      return kPhaseFinished;
    default:
      return kPhaseStarting;
  }
}

}  // namespace

RunController::RunController(AppState& app, QObject* parent)
    : QObject(parent), app_(app), control_(app.Run) {
  run_ = new WindowRun(app_, this);
  questions_ = new RunQuestions(this);
  questions_->SetPresenters(
      [this](const QString& target, std::function<void(int32_t)> answer) {
        PresentReplace(target, std::move(answer));
      },
      [this](const QString& target, std::function<void(bool)> answer) {
        PresentDiskFull(target, std::move(answer));
      });
  connect(run_, &WindowRun::StageChanged, this,
          [this](RunStage stage, qint64 entries) { OnStage(stage, entries); });
  connect(run_, &WindowRun::Finished, this,
          [this](const RunResult& result) { OnRunEnded(result); });
}

RunController::~RunController() {
  // Nobody will answer any more: the processing must not wait for a window.
  questions_->Close();
  run_->StopAndWait();
  CloseQuestion();
  delete progress_;
  delete result_;
  if (active_) QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow_);
  if (discarder_.joinable()) discarder_.join();
}

void RunController::DiscardLater(FileList&& list) {
  auto spent = std::make_unique<FileList>(std::move(list));
  list.Clear();
  if (discarder_.joinable()) discarder_.join();
  try {
    discarder_ = std::thread([spent = std::move(spent)]() mutable { spent.reset(); });
  } catch (const std::system_error&) {
    // No thread to spare: the task that held the list is gone, and the list with it, here.
  }
}

bool RunController::Busy() const {
  return active_ || run_->Busy();
}

const Preset& RunController::Settings() const {
  return run_->Settings();
}

bool RunController::Start(const Preset& settings, const PathFolders& folders,
                          int64_t dateFieldValue, QWidget* near,
                          std::unique_ptr<RunJournal> journal) {
  if (Busy()) return false;
  questions_->Open();
  // The main window is hidden meanwhile: closing one of the run's windows must not end the
  // program as closing its last window would.
  quitOnLastWindow_ = QGuiApplication::quitOnLastWindowClosed();
  QGuiApplication::setQuitOnLastWindowClosed(false);
  active_ = true;
  concluding_ = false;

  progress_ = new ProgressWindow(app_.Run, hooks_.Ask, timings_.Progress);
  connect(progress_, &ProgressWindow::QuitChosen, this, [this] {
    // The file in hand must not wait for an answer any more.
    questions_->Close();
    CloseQuestion();
  });
  connect(progress_, &ProgressWindow::QuestionClosed, this, [this] {
    if (concluding_) Conclude();
  });
  const QScreen* screen = near != nullptr && near->screen() != nullptr
                              ? near->screen()
                              : QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    QRect frame(QPoint(0, 0), progress_->size());
    frame.moveCenter(screen->availableGeometry().center());
    progress_->move(frame.topLeft());
  }
  progress_->show();
  progress_->raise();
  progress_->activateWindow();

  RunPolicy policy;
  policy.ReplaceMemory = kAnswerLeave;
  RunQuestions* questions = questions_;
  policy.AskReplace = [questions](const QString& target) { return questions->AskReplace(target); };
  policy.AskStopOnDiskFull = [questions](const QString& target) {
    return questions->AskStopOnDiskFull(target);
  };
  policy.MinPreparation = timings_.MinPreparation;
  policy.MinProcessing = timings_.MinProcessing;
  policy.FinishedDisplay = timings_.FinishedDisplay;
  policy.StartDelay = timings_.StartDelay;
  if (!run_->Start(settings, folders, dateFieldValue, policy, std::move(journal))) {
    progress_->Dismiss();
    delete progress_;
    active_ = false;
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow_);
    if (hooks_.Fatal) hooks_.Fatal(RunFailureReason(RunFailure::Process));
    return false;
  }
  return true;
}

void RunController::OnStage(RunStage stage, qint64 entries) {
  if (progress_) progress_->SetPhaseEntries(PhaseOf(stage), entries);
  emit StageChanged(stage);
}

void RunController::PresentReplace(const QString& targetPath,
                                   std::function<void(int32_t)> answer) {
  if (!progress_) {
    answer(kAnswerClosed);
    return;
  }
  BringUpProgress();
  auto* question = new ReplaceQuestion(targetPath, timings_.CountdownTickMs, progress_);
  question->setAttribute(Qt::WA_DeleteOnClose);
  question_ = question;
  connect(question, &ReplaceQuestion::Answered, this,
          [answer = std::move(answer)](int32_t value) { answer(value); });
  // Modal over the progress window only: the event loop goes on.
  question->open();
}

void RunController::PresentDiskFull(const QString& targetPath, std::function<void(bool)> answer) {
  if (!hooks_.Ask) {
    answer(true);
    return;
  }
  BringUpProgress();
  // Where a Windows drive letter would stand: the file system's mount point.
  QString drive = MountPointOf(targetPath);
  if (drive.isEmpty()) drive = targetPath.left(targetPath.lastIndexOf(u'/') + 1);
  const QString text = LanguageText(kTextDiskFull) + QStringLiteral(": \"") + drive +
                       QStringLiteral("\"\n") + LanguageText(kTextAskCancelRun);
  hooks_.Ask(progress_, PlainCaption(kTextQuestion), text,
             [answer = std::move(answer)](bool yes) { answer(yes); });
}

void RunController::BringUpProgress() {
  // A question needs the user: a minimised progress window would hide it with itself.
  if (!progress_) return;
  if (progress_->isMinimized()) progress_->showNormal();
  progress_->raise();
  progress_->activateWindow();
}

void RunController::CloseQuestion() {
  if (question_) question_->reject();
}

void RunController::RequestQuit() {
  if (!active_) return;
  if (result_) {
    // The run is over; only its result window is open.
    control_.QuitWhenOver();
    result_->reject();
    return;
  }
  control_.Quit();
  questions_->Close();
  CloseQuestion();
  if (progress_) progress_->DropQuestion();
}

void RunController::OnRunEnded(const RunResult& result) {
  lastResult_ = result;
  concluding_ = true;
  // A question of the progress window that is still open is answered first.
  if (progress_ && progress_->Asking()) return;
  Conclude();
}

void RunController::Conclude() {
  if (!concluding_) return;
  concluding_ = false;
  questions_->Close();
  CloseQuestion();
  if (progress_) {
    progress_->Dismiss();
    // Gone for the window from here on; freed once the events in hand have been delivered.
    progress_->deleteLater();
    progress_ = nullptr;
  }
  if (lastResult_.Failure != RunFailure::None) {
    active_ = false;
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow_);
    if (hooks_.Fatal) hooks_.Fatal(RunFailureReason(lastResult_.Failure));
    return;
  }
  // Said before anything else: what the run did after the journal stopped cannot be undone.
  if (run_->JournalError() != 0 && hooks_.JournalFailed)
    hooks_.JournalFailed(run_->JournalPath(), run_->JournalError());
  if (control_.QuitRequested() || run_->Settings().QuitAfterRun != 0) {
    EndProgram();
    return;
  }
  if (lastResult_.Started &&
      (!lastResult_.Succeeded || lastResult_.Batch.StoppedByFullDisk)) {
    result_ = new RunResultWindow(RunResultRows(app_.Files, lastResult_.Batch.StoppedByFullDisk),
                                  hooks_.ShowFile);
    result_->setAttribute(Qt::WA_DeleteOnClose);
    result_->setWindowModality(Qt::ApplicationModal);
    connect(result_, &QDialog::finished, this, [this] {
      if (control_.QuitRequested())
        EndProgram();
      else
        Done();
    });
    result_->show();
    result_->raise();
    result_->activateWindow();
    return;
  }
  Done();
}

void RunController::EndProgram() {
  active_ = false;
  QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow_);
  if (hooks_.EndProgram) hooks_.EndProgram();
}

void RunController::Done() {
  active_ = false;
  QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow_);
  emit Finished(lastResult_);
}
