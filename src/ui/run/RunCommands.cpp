#include "ui/run/RunCommands.h"

#include "app/AppState.h"
#include "checks/RunChecks.h"
#include "journal/JournalInfo.h"
#include "journal/RunJournal.h"
#include "journal/Undo.h"
#include "platform/Process.h"
#include "run/ErrorLog.h"
#include "run/RunProcedure.h"
#include "run/RunSetup.h"
#include "texts/AdditionEntries.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/list/FileListModel.h"
#include "ui/list/LoadedFiles.h"
#include "ui/run/RunController.h"
#include "ui/run/UndoWindow.h"
#include "ui/run/WindowRun.h"
#include "ui/widgets/UiTexts.h"
#include "ui/widgets/WindowDialogs.h"

#include <QWidget>

RunCommands::RunCommands(AppState& app, LoadedFiles& files, const WindowDialogs& dialogs,
                         RunCommandHooks hooks, QWidget* window)
    : QObject(window),
      app_(app),
      files_(files),
      dialogs_(dialogs),
      hooks_(std::move(hooks)),
      window_(window),
      control_(app.Run) {
  testRun_ = new WindowRun(app_, this);
  connect(testRun_, &WindowRun::Finished, this,
          [this](const RunResult& result) { OnTestRunFinished(result); });
  controller_ = new RunController(app_, this);
  connect(controller_, &RunController::Finished, this, [this] { OnBatchRunFinished(); });
  undo_ = new UndoRun(this);
  connect(undo_, &UndoRun::Finished, this,
          [this](const UndoSummary& summary) { OnUndoFinished(summary); });
}

RunCommands::~RunCommands() = default;

bool RunCommands::Busy() const {
  return testRun_->Busy() || controller_->Busy() || undo_->Busy() || control_.Running();
}

void RunCommands::SetTimings(const RunTimings& timings) {
  controller_->SetTimings(timings);
}

UndoProgressDialog* RunCommands::UndoProgress() const {
  return undoProgress_;
}

UndoResultDialog* RunCommands::UndoResult() const {
  return undoResult_;
}

// ---- The batch run ----

void RunCommands::Start() {
  if (locked_ || files_.LoadBusy() || Busy()) return;
  hooks_.StorePages();
  const PathFolders folders = TemplateFolders(app_.DesktopFolder, app_.ProgramFolder);
  const RunValues values =
      PrepareRunValues(app_.WorkingSettings, app_.Files.Count(), folders, hooks_.DateFieldValue());
  const WindowCheckResult check = CheckBeforeWindowRun(false, app_.Files, app_.WorkingSettings,
                                                       values, app_.Options.IgnoreWarnings);
  switch (check.Result) {
    case WindowCheckResult::RefusedSilently:
      return;
    case WindowCheckResult::Refused:
      dialogs_.TellTitled(check.Message.Icon, check.Message.TitleEntry, check.Message.Text);
      return;
    case WindowCheckResult::Ask:
      if (!dialogs_.Ask(PlainCaption(check.Message.TitleEntry), check.Message.Text)) return;
      break;
    case WindowCheckResult::Start:
      break;
  }
  if (!files_.NewNames()->ConfirmStart(app_.Options.IgnoreWarnings)) return;
  if (starter_) {
    starter_();
    return;
  }
  StartBatchRun();
}

std::unique_ptr<RunJournal> RunCommands::OpenRunJournal() {
  const Preset& active = app_.PresetList.value(app_.ActivePresetIndex, app_.WorkingSettings);
  auto journal = std::make_unique<RunJournal>(
      app_.JournalFolder,
      JournalInfoFor(active, app_.WorkingSettings, JournalFrontEnd::Window, app_.Files.Count()),
      control_.StopRequest());
  if (journal->Open() != 0) {
    dialogs_.Tell(
        MessageIcon::kError, AdditionText(kAddUndoTitle),
        AdditionText(kAddJournalCannotOpen).arg(app_.JournalFolder, journal->OpenErrorText()));
    return nullptr;
  }
  return journal;
}

void RunCommands::StartBatchRun() {
  // A run of the list records its changes for undo first; one whose journal cannot be written
  // does not start, and the window stays as it is.
  std::unique_ptr<RunJournal> journal = OpenRunJournal();
  if (!journal) return;
  hooks_.ClosePopups();
  RunControllerHooks hooks;
  hooks.Ask = [this](QWidget* parent, const QString& title, const QString& text,
                     std::function<void(bool)> done) {
    dialogs_.AskLater(parent, title, text, std::move(done));
  };
  hooks.ShowFile = [this](const QString& path) { return dialogs_.ShowFile(path); };
  hooks.EndProgram = [this] {
    quitting_ = true;
    dialogs_.EndProgram();
  };
  hooks.Fatal = [this](const QString& reason) { dialogs_.Fatal(reason); };
  hooks.JournalFailed = [this](const QString& path, int error) {
    dialogs_.Tell(MessageIcon::kError, AdditionText(kAddUndoTitle),
                  AdditionText(kAddJournalWriteFailed).arg(path, SystemErrorText(error)));
  };
  controller_->SetHooks(std::move(hooks));
  // From here until the run ends the lists are the run's: the view shows no rows, and the
  // window steps aside for the progress window.
  files_.HandOver();
  hooks_.Lock(true);
  hooks_.StepAside();
  if (!controller_->Start(app_.WorkingSettings,
                          TemplateFolders(app_.DesktopFolder, app_.ProgramFolder),
                          hooks_.DateFieldValue(), window_, std::move(journal))) {
    // Only when the fatal message let the program live on (a test).
    files_.Model()->Reload();
    hooks_.Lock(false);
    hooks_.ComeBack();
  }
}

void RunCommands::OnBatchRunFinished() {
  const Preset& settings = controller_->Settings();
  // The list holds what the options keep after a run, in the run's order.
  controller_->DiscardLater(std::move(app_.Files));
  const bool keep = settings.ListKeepFiltered != 0 || settings.ListKeepSources != 0 ||
                    settings.ListKeepFailed != 0 || settings.ListKeepTargets != 0 ||
                    settings.ListKeepUnprocessed != 0;
  if (keep) app_.Files = std::move(app_.FollowUp);
  app_.FollowUp.Clear();
  hooks_.Lock(false);
  files_.TakeBack();
  hooks_.ComeBack();
  emit RunFinished();
}

// ---- The test run ----

void RunCommands::TestRun() {
  if (locked_ || files_.LoadBusy() || Busy()) return;
  const FileEntry* entry = files_.ChosenEntry();
  if (entry == nullptr) {
    dialogs_.TellTitled(MessageIcon::kInformation, kTextInformation,
                        LanguageText(kTextSelectFileFirst));
    return;
  }
  hooks_.StorePages();
  const Preset settings = TestRunSettings(app_.WorkingSettings, app_.PreviewFolder);
  const PathFolders folders = TemplateFolders(app_.DesktopFolder, app_.ProgramFolder);
  const int64_t dateFieldValue = hooks_.DateFieldValue();
  const RunValues values = PrepareRunValues(settings, 1, folders, dateFieldValue);
  const WindowCheckResult check = CheckBeforeWindowRun(false, app_.Files, settings, values, true);
  if (check.Result == WindowCheckResult::Refused) {
    dialogs_.TellTitled(check.Message.Icon, check.Message.TitleEntry, check.Message.Text);
    return;
  }
  if (check.Result == WindowCheckResult::RefusedSilently) return;
  // The run works on a copy of the entry: the list stays on screen, locked.
  hooks_.Lock(true);
  files_.SetViewEnabled(false);
  files_.UpdateStatusLine(false, false, LanguageText(kTextTestRunInProgress));
  if (!testRun_->StartTest(settings, folders, dateFieldValue, *entry)) {
    files_.SetViewEnabled(true);
    hooks_.Lock(false);
    files_.UpdateStatusLine(true, true);
    dialogs_.Fatal(RunFailureReason(RunFailure::Process));
  }
}

void RunCommands::OnTestRunFinished(const RunResult& result) {
  files_.SetViewEnabled(true);
  hooks_.Lock(false);
  files_.UpdateStatusLine(true, true);
  if (result.Failure != RunFailure::None) {
    dialogs_.Fatal(RunFailureReason(result.Failure));
    return;
  }
  // Whatever became of the copy, the folder is removed at the end of the program.
  app_.PreviewFolderCreated = true;
  const FileEntry* tested = testRun_->TestedEntry();
  if (quitting_) {
    hooks_.Close();
    return;
  }
  if (tested != nullptr) {
    if (tested->Status == kStatusDone) {
      if (!dialogs_.ShowProperties(tested->NewPath()))
        dialogs_.TellTitled(MessageIcon::kWarning, kTextWarning, LanguageText(kTextNoFileManager));
    } else {
      dialogs_.TellTitled(MessageIcon::kInformation, kTextInformation, TestRunOutcomeText(*tested));
    }
  }
  files_.FocusView();
  emit RunFinished();
}

QString TestRunOutcomeText(const FileEntry& entry) {
  QString text = LanguageText(kTextResultTitle) + QStringLiteral(":\n");
  if (entry.Detail == 1) return text + LanguageText(kTextLeftOutByFilter);
  text += LanguageText(kTextResultErrorColumn) + QStringLiteral("! ");
  switch (entry.Status) {
    case kStatusSourceMissing:
    case kStatusReadError:
    case kStatusAttributesFailed:
    case kStatusInvalidName:
    case kStatusCopyMoveFailed:
    case kStatusMatchGaveUp:
      return text + FailureExplanation(entry.Status);
    default:
      // Statuses without an explanation of their own (3, 4) say their number.
      return text + u'(' + QString::number(entry.Status) + u')';
  }
}

// ---- Undo ----

void RunCommands::UndoLastRun() {
  if (locked_ || files_.LoadBusy() || Busy()) return;
  const RunChoice choice = ChooseRunToUndo(app_.JournalFolder, 0);
  const QString title = AdditionText(kAddUndoTitle);
  if (choice.What != RunChoice::Found::Run) {
    // A journal that cannot be used (refused, in use, unreadable) is said as such.
    const QString problem = RunChoiceText(choice, 0);
    dialogs_.Tell(problem.isEmpty() ? MessageIcon::kInformation : MessageIcon::kError, title,
                  problem.isEmpty() ? AdditionText(kAddUndoNothing) : problem);
    return;
  }
  const JournalHeader& header = choice.Summary.Header;
  // One pass, so that a "%" in the preset's name stays as it is.
  const QString question =
      AdditionText(kAddUndoQuestion)
          .arg(QString::number(choice.File.Number), RunTimeText(header.Started),
               QString::number(header.PresetNumber), header.PresetName,
               QString::number(choice.Summary.Files));
  if (!dialogs_.Ask(title, question)) return;
  if (undoResult_) undoResult_->close();
  // The files of the list may move meanwhile: the commands wait for the undo.
  hooks_.Lock(true);
  undoRunNumber_ = choice.File.Number;
  if (!undo_->Start(choice.File.Path)) {
    hooks_.Lock(false);
    dialogs_.Fatal(RunFailureReason(RunFailure::Process));
    return;
  }
  undoProgress_ = new UndoProgressDialog(AdditionText(kAddUndoProgress).arg(choice.File.Number),
                                         *undo_, window_);
  undoProgress_->setAttribute(Qt::WA_DeleteOnClose);
  undoProgress_->show();
}

void RunCommands::OnUndoFinished(const UndoSummary& summary) {
  if (undoProgress_) {
    undoProgress_->hide();
    undoProgress_->deleteLater();
  }
  hooks_.Lock(false);
  if (quitting_) {
    hooks_.Close();
    return;
  }
  // The undo moved files back, removed copies and restored dates and attributes.
  files_.ReadAgain(app_.WorkingSettings);
  undoResult_ = new UndoResultDialog(undoRunNumber_, summary, window_);
  undoResult_->setAttribute(Qt::WA_DeleteOnClose);
  undoResult_->show();
  emit UndoFinished();
}

// ---- Stopping ----

void RunCommands::AskToCancel() {
  control_.AskToStop(
      [this] { return dialogs_.Ask(PlainCaption(kTextQuestion), LanguageText(kTextAskCancelRun)); },
      false);
}

bool RunCommands::HoldClose() {
  if (undo_->Busy()) {
    // The undo stops after the file in hand; the window closes then. The rest of the run can be
    // taken back later.
    if (quitting_ || dialogs_.Ask(PlainCaption(kTextQuestion), LanguageText(kTextAskQuit))) {
      quitting_ = true;
      undo_->Stop();
    }
    return true;
  }
  if (!Busy()) return false;
  // The run ends after the file in hand; the window closes then.
  if (quitting_ ||
      control_.AskToStop(
          [this] { return dialogs_.Ask(PlainCaption(kTextQuestion), LanguageText(kTextAskQuit)); },
          true)) {
    quitting_ = true;
    control_.QuitWhenOver();
  }
  return true;
}

bool RunCommands::RequestQuit() {
  quitting_ = true;
  if (controller_->Busy()) {
    controller_->RequestQuit();
    return true;
  }
  if (undo_->Busy()) {
    // The undo stops after the file in hand and its end closes the window; the rest can be
    // taken back later.
    undo_->Stop();
    return true;
  }
  control_.Cancel();
  // The test run's end closes the window.
  return testRun_->Busy();
}
