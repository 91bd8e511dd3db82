// Running from the window: the batch run with its progress window, the replace and full-disk
// questions, the result window, the end of the program, and the single-file test run.

#include "app/AppState.h"
#include "fileops/ReplaceAnswers.h"
#include "platform/Attributes.h"
#include "platform/FileName.h"
#include "platform/FileOps.h"
#include "run/ErrorLog.h"
#include "support/TempDir.h"
#include "support/WindowFixture.h"
#include "texts/AdditionEntries.h"
#include "texts/ProductTitle.h"
#include "ui/list/FileListModel.h"
#include "ui/list/FileListView.h"
#include "ui/pages/OptionPages.h"
#include "ui/run/ProgressWindow.h"
#include "ui/run/PropertiesWindow.h"
#include "ui/run/ReplaceQuestion.h"
#include "ui/run/RunController.h"
#include "ui/run/RunQuestions.h"
#include "ui/run/RunResultWindow.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/UiTexts.h"
#include "ui/window/MainWindow.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>

#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <thread>

namespace {

// Every control that takes the keyboard focus has a name a screen reader can say.
void ExpectAccessible(QWidget* window) {
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(window) || !(widget->focusPolicy() & Qt::TabFocus)) continue;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    ASSERT_NE(face, nullptr);
    EXPECT_FALSE(face->text(QAccessible::Name).isEmpty())
        << widget->metaObject()->className() << " " << widget->objectName().toStdString();
  }
}

class RunWindowTest : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    app_->PresetList = {WorkingPreset()};
    app_->WorkingSettings = app_->PresetList[0];
  }

  void TearDown() override {
    window_.reset();
    SetCopyWriteFailure(0, 0);
  }

  // Short waits, so that the tests are quick; the finished state stays long enough to be seen.
  static RunTimings ShortTimings() {
    RunTimings timings;
    timings.MinPreparation = std::chrono::milliseconds(0);
    timings.MinProcessing = std::chrono::milliseconds(0);
    timings.FinishedDisplay = std::chrono::milliseconds(250);
    timings.StartDelay = std::chrono::milliseconds(0);
    timings.Progress.UpdaterPeriodMs = 10;
    timings.Progress.TitleIntervalMs = 40;
    timings.CountdownTickMs = 0;
    return timings;
  }

  MainWindow& MakeWindow(RunTimings timings = ShortTimings()) {
    window_ = std::make_unique<MainWindow>(*app_);
    WindowDialogs dialogs;
    dialogs.Ask = [this](const QString& title, const QString& text) {
      questions_ << title + u'|' + text;
      return true;
    };
    dialogs.Tell = [this](MessageIcon, const QString& title, const QString& text) {
      notices_ << title + u'|' + text;
    };
    dialogs.ShowFile = [this](const QString& path) {
      shown_ << path;
      return true;
    };
    dialogs.ShowProperties = [this](const QString& path) {
      properties_ << path;
      return true;
    };
    dialogs.AskLater = [this](QWidget*, const QString& title, const QString& text,
                              std::function<void(bool)> done) {
      asked_ << title + u'|' + text;
      if (holdAnswers_)
        held_.push_back(std::move(done));
      else
        done(answer_);
    };
    dialogs.EndProgram = [this] { ++ended_; };
    dialogs.Fatal = [this](const QString& reason) { fatal_ << reason; };
    window_->SetDialogs(dialogs);
    window_->Runs()->SetTimings(timings);
    QObject::connect(window_->Runs(), &RunCommands::RunFinished, [this] { ++finished_; });
    return *window_;
  }

  void Load(const QString& paths) {
    ASSERT_TRUE(window_->LoadPaths(paths));
    ASSERT_TRUE(ProcessUntil([&] { return !window_->Files()->LoadBusy(); }));
  }

  // Files named one by one keep this order in the list (a folder lists in the disk's order).
  void LoadInOrder(const std::vector<std::string>& relativePaths) {
    QStringList paths;
    for (const std::string& relative : relativePaths)
      paths << dir_.Path() + QString::fromStdString(relative);
    Load(paths.join(u'\n'));
    ASSERT_EQ(app_->Files.Count(), static_cast<qsizetype>(relativePaths.size()));
  }

  void Remove(const std::string& relative) { std::filesystem::remove_all(dir_.Bytes() + relative); }

  RunController& Run() { return *window_->Runs()->BatchRun(); }

  // Processes events until the run has given the list back or the program was told to end;
  // `each` runs in every round (it answers questions, looks at the progress window).
  bool WaitForRunEnd(const std::function<void()>& each = {}, int timeoutMs = 20000) {
    const int finished = finished_;
    const int ended = ended_;
    return ProcessUntil(
        [&] {
          if (each) each();
          if (RunResultWindow* result = Run().ResultWindow(); result != nullptr && closeResults_) {
            resultRows_ = result->Rows()->Rows();
            result->accept();
          }
          return finished_ != finished || ended_ != ended;
        },
        timeoutMs);
  }

  QStringList ListedPaths() const {
    QStringList paths;
    for (const FileEntry& entry : app_->Files) paths << entry.Path();
    return paths;
  }

  std::unique_ptr<MainWindow> window_;
  QStringList shown_;
  QStringList properties_;
  QStringList asked_;
  QStringList fatal_;
  bool holdAnswers_ = false;
  std::vector<std::function<void(bool)>> held_;
  bool closeResults_ = true;
  std::vector<RunResultRow> resultRows_;
  int ended_ = 0;
  int finished_ = 0;
};

// ---- The batch run ----

TEST_F(RunWindowTest, CleanRunShowsItsPhasesAndEmptiesTheList) {
  dir_.WriteFile("in/a.txt", "a");
  dir_.WriteFile("in/b & c.txt", "b");
  MainWindow& window = MakeWindow();
  window.show();
  Load(dir_.Path() + QStringLiteral("in"));
  window.Runs()->Start();
  ASSERT_TRUE(Run().Busy());
  EXPECT_FALSE(window.isVisible()) << "the window steps aside for the progress window";
  ASSERT_NE(Run().Progress(), nullptr);
  EXPECT_TRUE(Run().Progress()->isVisible());
  QSet<int> phases;
  QStringList titles;
  QObject::connect(Run().Progress(), &QWidget::windowTitleChanged,
                   [&](const QString& title) { titles << title; });
  ASSERT_TRUE(WaitForRunEnd([&] {
    if (Run().Progress() != nullptr) phases << Run().Progress()->ShownPhase();
  }));
  EXPECT_TRUE(phases.contains(kPhaseFinished)) << "a clean run shows that it is done";
  EXPECT_FALSE(phases.contains(kPhasePreparing)) << "nothing to filter or sort";
  ASSERT_FALSE(titles.isEmpty());
  EXPECT_EQ(titles.last(), QStringLiteral("100.00% - ") + ErrorTitle());
  EXPECT_TRUE(resultRows_.empty()) << "no result window";
  EXPECT_EQ(ended_, 0);
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "output/b & c.txt"), "b");
  EXPECT_TRUE(app_->Files.IsEmpty()) << "no keep option holds a done file";
  EXPECT_EQ(window.Files()->Model()->rowCount(), 0);
  EXPECT_TRUE(window.isVisible()) << "the window is back";
  EXPECT_FALSE(window.CommandsLocked());
  EXPECT_EQ(Run().Progress(), nullptr);
}

TEST_F(RunWindowTest, KeepOptionsRebuildTheListFromWhatTheRunKept) {
  struct Row {
    const char* Why;
    int8_t Sources, Targets;
    QStringList Expected;  // relative to the folder
  };
  const std::vector<Row> rows = {
      {"targets", 0, 1, {"output/a.txt", "output/b.txt"}},
      {"sources", 1, 0, {"in/a.txt", "in/b.txt"}},
      {"both, in the run's order", 1, 1, {"in/a.txt", "output/a.txt", "in/b.txt", "output/b.txt"}},
  };
  dir_.WriteFile("in/a.txt", "a");
  dir_.WriteFile("in/b.txt", "b");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Why);
    Remove("output");
    MainWindow& window = MakeWindow();
    app_->WorkingSettings.ListKeepSources = row.Sources;
    app_->WorkingSettings.ListKeepTargets = row.Targets;
    window.FillPages();
    app_->Files.Clear();
    window.Files()->Model()->Reload();
    LoadInOrder({"in/a.txt", "in/b.txt"});
    window.Runs()->Start();
    ASSERT_TRUE(WaitForRunEnd());
    QStringList expected;
    for (const QString& path : row.Expected) expected << dir_.Path() + path;
    EXPECT_EQ(ListedPaths(), expected);
    EXPECT_EQ(window.Files()->Model()->rowCount(), expected.size());
    for (const FileEntry& entry : app_->Files) EXPECT_EQ(entry.Status, kStatusNotProcessed);
  }
}

// Each file goes into a folder "out" beside it; where a file of that name stands, the copy
// fails.
void MakeOneFailure(TempDir& dir, AppState& app) {
  dir.WriteFile("good/good.txt", "good");
  dir.WriteFile("bad/bad.txt", "bad");
  dir.WriteFile("bad/out", "a file where the folder would go");
  app.WorkingSettings.TargetDirTemplate = QStringLiteral("%PF%out\\");
}

TEST_F(RunWindowTest, FailedFileOpensTheResultWindowAndStaysInTheList) {
  MakeOneFailure(dir_, *app_);
  MainWindow& window = MakeWindow();
  window.show();
  window.FillPages();
  LoadInOrder({"good/good.txt", "bad/bad.txt"});
  window.Runs()->Start();
  closeResults_ = false;
  QSet<int> phases;
  ASSERT_TRUE(ProcessUntil([&] {
    if (Run().Progress() != nullptr) phases << Run().Progress()->ShownPhase();
    return Run().ResultWindow() != nullptr;
  }));
  EXPECT_FALSE(phases.contains(kPhaseFinished)) << "no finished state after a failure";
  RunResultWindow* result = Run().ResultWindow();
  EXPECT_TRUE(result->isVisible());
  EXPECT_FALSE(window.isVisible()) << "the result window comes before the main window";
  QAbstractItemModel* model = result->ListModel();
  ASSERT_EQ(model->rowCount(), 1);
  EXPECT_EQ(model->index(0, RunResultModel::kFailureColumn).data().toString(), LanguageText(338));
  EXPECT_EQ(model->index(0, RunResultModel::kSourceColumn).data().toString(),
            dir_.Path() + QStringLiteral("bad/bad.txt"));
  EXPECT_EQ(model->index(0, RunResultModel::kTargetColumn).data().toString(),
            dir_.Path() + QStringLiteral("bad/out/bad.txt"));
  // "?" explains the one kind of failure.
  result->HelpButton()->click();
  ASSERT_NE(result->Explanation(), nullptr);
  EXPECT_EQ(result->Explanation()->TextLabel()->text(),
            LanguageText(338) + u'\n' + LanguageText(339));
  EXPECT_EQ(result->Explanation()->windowTitle(), PlainCaption(327));
  result->Explanation()->OkButton()->click();
  ProcessEvents();
  // A double click shows the file in the file manager.
  result->ShowFileAt(model->index(0, RunResultModel::kTargetColumn));
  EXPECT_EQ(shown_, QStringList{dir_.Path() + QStringLiteral("bad/bad.txt")})
      << "the target is not there: the source is shown";
  result->OkButton()->click();
  ASSERT_TRUE(ProcessUntil([&] { return finished_ == 1; }));
  EXPECT_EQ(ListedPaths(), QStringList{dir_.Path() + QStringLiteral("bad/bad.txt")})
      << "the failed file, and only it, stays";
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "good/out/good.txt"), "good");
}

// A regular expression that gives up on one name fails that file alone, under a name of its own
// in the result window and in the explanation of "?"; the file stays as it was, and listed.
TEST_F(RunWindowTest, AnExpressionThatGivesUpFailsItsFileWithItsOwnReason) {
  const std::string hostile = std::string(200, 'a') + ".txt";
  dir_.WriteFile("good.txt", "good");
  dir_.WriteFile(hostile, "hostile");
  Preset& settings = app_->WorkingSettings;
  settings.TargetDirActive = 0;
  settings.NameTemplateActive = 1;
  settings.NameTemplate = QStringLiteral("%FN%-new");
  settings.ReplaceActive = 1;
  settings.TextReplacements = {
      {kItemChecked, QStringLiteral("(a+)+b"), QStringLiteral("x"), kExpressionRegexCaseSensitive}};
  MainWindow& window = MakeWindow();
  window.show();
  window.FillPages();
  LoadInOrder({"good.txt", hostile});
  window.Runs()->Start();
  closeResults_ = false;
  ASSERT_TRUE(ProcessUntil([&] { return Run().ResultWindow() != nullptr; }));
  RunResultWindow* result = Run().ResultWindow();
  QAbstractItemModel* model = result->ListModel();
  ASSERT_EQ(model->rowCount(), 1);
  const QString reason = FailureName(kStatusMatchGaveUp);
  EXPECT_FALSE(reason.isEmpty());
  EXPECT_EQ(model->index(0, RunResultModel::kFailureColumn).data().toString(), reason);
  EXPECT_EQ(model->index(0, RunResultModel::kSourceColumn).data().toString(),
            dir_.Path() + QString::fromStdString(hostile));
  result->HelpButton()->click();
  ASSERT_NE(result->Explanation(), nullptr);
  EXPECT_EQ(result->Explanation()->TextLabel()->text(),
            reason + u'\n' + FailureExplanation(kStatusMatchGaveUp));
  result->Explanation()->OkButton()->click();
  ProcessEvents();
  result->OkButton()->click();
  ASSERT_TRUE(ProcessUntil([&] { return finished_ == 1; }));
  EXPECT_EQ(ListedPaths(), QStringList{dir_.Path() + QString::fromStdString(hostile)});
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + hostile), "hostile") << "left as it was";
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "good-new.txt"), "good");
}

TEST_F(RunWindowTest, PauseHoldsTheRunAndChangesTheTitleOnce) {
  for (int i = 0; i < 20; ++i) dir_.WriteFile("in/f" + std::to_string(i) + ".txt", "x");
  RunTimings timings = ShortTimings();
  timings.StartDelay = std::chrono::milliseconds(300);  // time to press Pause before file 1
  MainWindow& window = MakeWindow(timings);
  Load(dir_.Path() + QStringLiteral("in"));
  window.Runs()->Start();
  ProgressWindow* progress = Run().Progress();
  ASSERT_TRUE(ProcessUntil([&] { return progress->ShownPhase() == kPhaseProcessing; }));
  QStringList titles;
  QObject::connect(progress, &QWidget::windowTitleChanged,
                   [&](const QString& title) { titles << title; });
  progress->PauseButton()->click();
  EXPECT_EQ(progress->PauseButton()->text().remove(u'&'), PlainCaption(310));
  // The file in hand ends; then nothing moves.
  ASSERT_TRUE(ProcessUntil([&] { return app_->Run.ProgressCount.load() >= 3; }));
  const int held = app_->Run.ProgressCount.load();
  QElapsedTimer timer;
  timer.start();
  ProcessUntil([] { return false; }, 400);
  EXPECT_EQ(app_->Run.ProgressCount.load(), held);
  EXPECT_LE(held, 3);
  const QString paused = LanguageText(300);
  const qsizetype pausedTitles = std::count_if(
      titles.begin(), titles.end(), [&](const QString& t) { return t.contains(paused); });
  EXPECT_EQ(pausedTitles, 1) << titles.join(u'\n').toStdString();
  EXPECT_TRUE(
      titles.last().endsWith(QStringLiteral("% ") + paused + QStringLiteral(" - ") + ErrorTitle()))
      << titles.last().toStdString();
  progress->PauseButton()->click();
  EXPECT_EQ(progress->PauseButton()->text().remove(u'&'), PlainCaption(309));
  ASSERT_TRUE(WaitForRunEnd());
  EXPECT_TRUE(app_->Files.IsEmpty());
  EXPECT_EQ(ended_, 0);
}

TEST_F(RunWindowTest, CancelAsksAndKeepsTheProgramRunning) {
  for (int i = 0; i < 10; ++i) dir_.WriteFile("in/f" + std::to_string(i) + ".txt", "x");
  RunTimings timings = ShortTimings();
  timings.StartDelay = std::chrono::milliseconds(300);
  MainWindow& window = MakeWindow(timings);
  window.show();
  Load(dir_.Path() + QStringLiteral("in"));
  window.Runs()->Start();
  ProgressWindow* progress = Run().Progress();
  ASSERT_TRUE(ProcessUntil([&] { return progress->ShownPhase() == kPhaseProcessing; }));
  holdAnswers_ = true;
  progress->CancelButton()->click();
  ASSERT_EQ(asked_, QStringList{PlainCaption(349) + u'|' + LanguageText(357)});
  EXPECT_EQ(app_->Run.RunAsking.load(), 1) << "the run holds while the question is open";
  held_.front()(true);
  EXPECT_EQ(app_->Run.RunAsking.load(), 0);
  EXPECT_FALSE(progress->PauseButton()->isEnabled());
  EXPECT_FALSE(progress->CancelButton()->isEnabled());
  ASSERT_TRUE(WaitForRunEnd());
  EXPECT_EQ(ended_, 0) << "Cancel keeps the program";
  EXPECT_TRUE(window.isVisible());
  // Files not reached go back to the list (ListKeepUnprocessed is on by default).
  EXPECT_EQ(app_->Files.Count(), 9) << "the file in hand was finished, no other was begun";
}

TEST_F(RunWindowTest, EscAndTheCloseBoxAskToQuitAndTheProgramEndsAfterTheFileInHand) {
  for (const bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "Esc");
    app_->Files.Clear();
    Remove("output");
    for (int i = 0; i < 10; ++i) dir_.WriteFile("in/f" + std::to_string(i) + ".txt", "x");
    RunTimings timings = ShortTimings();
    timings.StartDelay = std::chrono::milliseconds(300);
    MainWindow& window = MakeWindow(timings);
    Load(dir_.Path() + QStringLiteral("in"));
    asked_.clear();
    window.Runs()->Start();
    ProgressWindow* progress = Run().Progress();
    ASSERT_TRUE(ProcessUntil([&] { return progress->ShownPhase() == kPhaseProcessing; }));
    // No first: nothing happens.
    answer_ = false;
    if (closeBox) {
      progress->close();
    } else {
      QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QCoreApplication::sendEvent(progress, &esc);
    }
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(app_->Run.RunCancelled.load(), 0);
    answer_ = true;
    if (closeBox) {
      progress->close();
    } else {
      QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QCoreApplication::sendEvent(progress, &esc);
    }
    ASSERT_EQ(asked_.size(), 2);
    EXPECT_EQ(asked_[1], PlainCaption(349) + u'|' + LanguageText(358));
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(ended_, closeBox ? 2 : 1);
    qsizetype done = 0;
    for (const FileEntry& entry : app_->Files) done += entry.Status == kStatusDone;
    EXPECT_LE(done, 1) << "only the file in hand was finished";
    EXPECT_EQ(Run().ResultWindow(), nullptr);
  }
}

TEST_F(RunWindowTest, QuitAfterRunEndsTheProgramWithoutTheResultWindow) {
  MakeOneFailure(dir_, *app_);
  MainWindow& window = MakeWindow();
  app_->WorkingSettings.QuitAfterRun = 1;
  window.FillPages();
  LoadInOrder({"good/good.txt", "bad/bad.txt"});
  window.Runs()->Start();
  closeResults_ = false;
  bool resultShown = false;
  ASSERT_TRUE(WaitForRunEnd([&] { resultShown |= Run().ResultWindow() != nullptr; }));
  EXPECT_EQ(ended_, 1);
  EXPECT_EQ(finished_, 0);
  EXPECT_FALSE(resultShown);
}

// ---- The replace question, asked from the processing thread through the real window ----

TEST_F(RunWindowTest, ReplaceQuestionAnswersDecideEveryClash) {
  enum Click { kReplace, kLeave, kReplaceAll, kLeaveAll, kEsc, kCloseBox };
  struct Row {
    const char* Why;
    std::vector<Click> Clicks;
    std::string Expected;  // per file: n new, o old
  };
  const std::vector<Row> rows = {
      {"one by one", {kReplace, kLeave, kReplace, kLeave}, "nono"},
      {"replace all", {kLeave, kReplaceAll}, "onnn"},
      {"leave all", {kReplace, kLeaveAll}, "nooo"},
      {"Esc and the close box leave", {kEsc, kCloseBox, kReplace, kEsc}, "oono"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Why);
    for (int i = 1; i <= 4; ++i) {
      dir_.WriteFile("in/" + std::to_string(i) + ".txt", "new");
      dir_.WriteFile("output/" + std::to_string(i) + ".txt", "old");
    }
    app_->Files.Clear();
    MainWindow& window = MakeWindow();
    LoadInOrder({"in/1.txt", "in/2.txt", "in/3.txt", "in/4.txt"});
    window.Runs()->Start();
    size_t next = 0;
    std::vector<QString> asked;
    ASSERT_TRUE(WaitForRunEnd([&] {
      ReplaceQuestion* question = Run().Question();
      if (question == nullptr || !question->isVisible() || question->Answer() != -1) return;
      if (next >= row.Clicks.size()) {
        ADD_FAILURE() << "one question too many";
        question->LeaveButton()->click();
        return;
      }
      asked.push_back(question->FolderField()->text() + u'/' + question->NameField()->text());
      EXPECT_EQ(question->windowTitle(), PlainCaption(349));
      switch (row.Clicks[next++]) {
        case kReplace:
          question->ReplaceButton()->click();
          break;
        case kLeave:
          question->LeaveButton()->click();
          break;
        case kReplaceAll:
          question->ReplaceAllButton()->click();
          break;
        case kLeaveAll:
          question->LeaveAllButton()->click();
          break;
        case kEsc: {
          QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
          QCoreApplication::sendEvent(question, &esc);
          break;
        }
        case kCloseBox:
          question->close();
          break;
      }
    }));
    EXPECT_EQ(next, row.Clicks.size());
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front(), dir_.Path() + QStringLiteral("output/1.txt"));
    std::string found;
    for (int i = 1; i <= 4; ++i)
      found +=
          ReadFileBytes(dir_.Bytes() + "output/" + std::to_string(i) + ".txt") == "new" ? 'n' : 'o';
    EXPECT_EQ(found, row.Expected);
    // The files left are reported, each as "target exists".
    const auto left =
        static_cast<size_t>(std::count(row.Expected.begin(), row.Expected.end(), 'o'));
    EXPECT_EQ(resultRows_.size(), left);
    for (const RunResultRow& result : resultRows_) EXPECT_EQ(result.Status, kStatusTargetExists);
    resultRows_.clear();
  }
}

TEST_F(RunWindowTest, UnansweredReplaceQuestionLeavesTheFileAfterItsCountdown) {
  dir_.WriteFile("in/a.txt", "new");
  dir_.WriteFile("output/a.txt", "old");
  RunTimings timings = ShortTimings();
  timings.CountdownTickMs = 2;  // the clock, sped up
  MainWindow& window = MakeWindow(timings);
  Load(dir_.Path() + QStringLiteral("in"));
  window.Runs()->Start();
  QStringList captions;
  ASSERT_TRUE(WaitForRunEnd([&] {
    if (ReplaceQuestion* question = Run().Question())
      if (captions.isEmpty() || captions.last() != question->LeaveButton()->text())
        captions << question->LeaveButton()->text();
  }));
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "output/a.txt"), "old");
  ASSERT_EQ(resultRows_.size(), 1u);
  EXPECT_EQ(resultRows_[0].Status, kStatusTargetExists);
  ASSERT_FALSE(captions.isEmpty());
  EXPECT_TRUE(captions.last().contains(QStringLiteral(" ["))) << "it counted down";
}

TEST_F(RunWindowTest, CountdownRunsSixtyOneTicksAndAMouseMovementStopsItForGood) {
  const QString target = dir_.Path() + QStringLiteral("out/photo & co.jpg");
  {
    ReplaceQuestion question(target, 0);
    int answers = 0;
    QObject::connect(&question, &ReplaceQuestion::Answered, [&](int32_t) { ++answers; });
    question.show();
    const QString plain = question.LeaveButton()->text();
    EXPECT_EQ(question.NameField()->text(), QStringLiteral("photo & co.jpg"));
    EXPECT_EQ(question.FolderField()->text(), dir_.Path() + QStringLiteral("out"));
    EXPECT_EQ(question.FolderField()->toolTip(), question.FolderField()->text());
    question.Tick();
    EXPECT_EQ(question.LeaveButton()->text(), plain + QStringLiteral(" [60]"));
    for (int tick = 2; tick <= 60; ++tick) question.Tick();
    EXPECT_EQ(question.LeaveButton()->text(), plain + QStringLiteral(" [1]"));
    EXPECT_EQ(answers, 0);
    EXPECT_TRUE(question.isVisible());
    question.Tick();  // the 61st
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(question.Answer(), kAnswerLeave);
    EXPECT_FALSE(question.isVisible());
  }
  {
    ReplaceQuestion question(target, 0);
    question.show();
    const QString plain = question.LeaveButton()->text();
    for (int tick = 0; tick < 3; ++tick) question.Tick();
    EXPECT_EQ(question.LeaveButton()->text(), plain + QStringLiteral(" [58]"));
    // A movement over a button of the window.
    const QPoint local(3, 3);
    const QPoint global = QCursor::pos() + QPoint(17, 11);
    QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(question.ReplaceButton(), &move);
    EXPECT_FALSE(question.CountingDown());
    EXPECT_EQ(question.LeaveButton()->text(), plain);
    for (int tick = 0; tick < 100; ++tick) question.Tick();
    EXPECT_EQ(question.LeaveButton()->text(), plain) << "the countdown never starts again";
    EXPECT_EQ(question.Answer(), kAnswerClosed);
    EXPECT_TRUE(question.isVisible());
    // Widened only.
    EXPECT_EQ(question.minimumHeight(), question.maximumHeight());
    EXPECT_GT(question.maximumWidth(), question.minimumWidth());
    EXPECT_GE(question.minimumWidth(), 300);
    ExpectAccessible(&question);
    question.LeaveAllButton()->click();
    EXPECT_EQ(question.Answer(), kAnswerLeaveAll);
  }
}

// Nobody answers any more: every worker that waits gets the safe answer, at once.
TEST_F(RunWindowTest, ClosedQuestionsNeverLeaveAWorkerWaiting) {
  RunQuestions questions;
  int shown = 0;
  std::function<void(int32_t)> pendingAnswer;
  questions.SetPresenters(
      [&](const QString&, std::function<void(int32_t)> answer) {
        ++shown;
        pendingAnswer = std::move(answer);
      },
      [&](const QString&, std::function<void(bool)>) { ++shown; });
  int32_t replaceAnswer = 99;
  bool stop = false;
  std::thread worker([&] {
    replaceAnswer = questions.AskReplace(QStringLiteral("/x/a"));
    stop = questions.AskStopOnDiskFull(QStringLiteral("/x/b"));
  });
  // The first question comes up in this thread and is answered here.
  ASSERT_TRUE(ProcessUntil([&] { return shown == 1; }));
  EXPECT_EQ(questions.Pending(), 1);
  pendingAnswer(kAnswerReplaceAll);
  // The second is open when the run is torn down.
  ASSERT_TRUE(ProcessUntil([&] { return shown == 2; }));
  questions.Close();
  worker.join();
  EXPECT_EQ(replaceAnswer, kAnswerReplaceAll);
  EXPECT_TRUE(stop) << "a full disk stops the run when nobody answers";
  // Later questions are answered at once, an answer after the close is ignored.
  pendingAnswer(kAnswerReplace);
  EXPECT_EQ(questions.AskReplace(QStringLiteral("/x/c")), kAnswerClosed);
  EXPECT_EQ(questions.Pending(), 0);
}

TEST_F(RunWindowTest, QuittingWhileAReplaceQuestionIsOpenAnswersItAndEnds) {
  dir_.WriteFile("in/a.txt", "new");
  dir_.WriteFile("in/b.txt", "new");
  dir_.WriteFile("output/a.txt", "old");
  MainWindow& window = MakeWindow();
  LoadInOrder({"in/a.txt", "in/b.txt"});
  window.Runs()->Start();
  ASSERT_TRUE(ProcessUntil([&] { return Run().Question() != nullptr; }));
  // The program is asked to end meanwhile (a signal, the session).
  Run().RequestQuit();
  ASSERT_TRUE(WaitForRunEnd());
  EXPECT_EQ(ended_, 1);
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "output/a.txt"), "old");
  EXPECT_FALSE(PathExists(dir_.Bytes() + "output/b.txt")) << "no file after the one in hand";
}

TEST_F(RunWindowTest, FullDiskAsksWhetherToStop) {
  for (const bool stop : {true, false}) {
    SCOPED_TRACE(stop ? "stop" : "go on");
    Remove("output");
    app_->Files.Clear();
    for (int i = 1; i <= 3; ++i) dir_.WriteFile("in/" + std::to_string(i) + ".txt", "data");
    MainWindow& window = MakeWindow();
    LoadInOrder({"in/1.txt", "in/2.txt", "in/3.txt"});
    asked_.clear();
    answer_ = stop;
    SetCopyWriteFailure(1, ENOSPC);  // the first copy finds the disk full
    window.Runs()->Start();
    ASSERT_TRUE(WaitForRunEnd());
    SetCopyWriteFailure(0, 0);
    ASSERT_EQ(asked_.size(), 1);
    EXPECT_TRUE(asked_[0].startsWith(PlainCaption(349) + u'|' + LanguageText(356) +
                                     QStringLiteral(": \"/")));
    EXPECT_TRUE(asked_[0].endsWith(u'\n' + LanguageText(357)));
    ASSERT_EQ(resultRows_.size(), stop ? 3u : 1u);
    EXPECT_EQ(resultRows_[0].Status, kStatusCopyMoveFailed);
    if (stop) {
      // The files not reached are listed too, with why.
      EXPECT_TRUE(resultRows_[1].NotReached);
      EXPECT_TRUE(resultRows_[2].NotReached);
      EXPECT_EQ(RunResultExplanation(resultRows_), LanguageText(338) + u'\n' + LanguageText(339) +
                                                       QStringLiteral("\n\n") + NotReachedName() +
                                                       u'\n' + NotReachedExplanation());
    }
    EXPECT_EQ(PathExists(dir_.Bytes() + "output/3.txt"), !stop);
  }
}

TEST_F(RunWindowTest, WindowComesBackInTheStateItHad) {
  dir_.WriteFile("in/a.txt", "a");
  MainWindow& window = MakeWindow();
  window.showMaximized();
  ProcessEvents();
  Load(dir_.Path() + QStringLiteral("in"));
  window.Runs()->Start();
  EXPECT_FALSE(window.isVisible());
  ASSERT_TRUE(WaitForRunEnd());
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.windowState().testFlag(Qt::WindowMaximized));
}

// ---- The progress window on its own ----

TEST_F(RunWindowTest, ProgressPercentTextHasTwoDecimalsAndSurvivesAnEmptyRun) {
  struct Row {
    int64_t Count, Maximum;
    int32_t Phase;
    const char* Expected;
  };
  for (const Row& row : std::initializer_list<Row>{
           {0, 30, 2, "0.00"},
           {1, 3, 2, "33.33"},
           {2, 3, 2, "66.66"},  // cut, never rounded up
           {29999, 30000, 2, "99.99"},
           {3, 3, 2, "100.00"},
           {5, 3, 3, "100.00"},
           {0, 0, 1, "0.00"},  // every file taken out by the filter
           {0, 0, 2, "100.00"},
           {0, 0, 3, "100.00"},
           {-4, 10, 2, "0.00"},
       }) {
    EXPECT_EQ(ProgressPercentText(row.Count, row.Maximum, row.Phase),
              QString::fromLatin1(row.Expected))
        << row.Count << "/" << row.Maximum;
  }
}

TEST_F(RunWindowTest, ProgressWindowShowsEachPhaseAndTheFileInHandAsPlainText) {
  RunFlags flags;
  ProgressWindow progress(flags, {}, {1000, -1});
  progress.show();
  ProcessEvents();
  EXPECT_EQ(progress.minimumHeight(), progress.maximumHeight()) << "only wider";
  EXPECT_GE(progress.minimumWidth(), 300);

  struct Phase {
    int32_t Value;
    QString Caption;
    QString Status;
    bool Fields;
  };
  const QString progressCaption = PlainCaption(301) + QStringLiteral(": ");
  for (const Phase& phase : std::initializer_list<Phase>{
           {kPhasePreparing, progressCaption + PlainCaption(302), LanguageText(303) + "...", false},
           {kPhaseProcessing, progressCaption + PlainCaption(304), QString(), true},
           {kPhaseFinished, progressCaption + PlainCaption(307), LanguageText(308), false},
       }) {
    SCOPED_TRACE(phase.Value);
    flags.RunPhase.store(phase.Value);
    progress.Update();
    EXPECT_NE(progress.ShownPhase(), phase.Value) << "a phase waits for its count";
    progress.SetPhaseEntries(phase.Value, phase.Value == kPhasePreparing ? 12 : 10);
    progress.Update();
    EXPECT_EQ(progress.ShownPhase(), phase.Value);
    EXPECT_EQ(progress.Frame()->title(), phase.Caption);
    EXPECT_EQ(progress.StatusText()->text(), phase.Status);
    EXPECT_EQ(progress.ShowsEntryFields(), phase.Fields);
    EXPECT_EQ(progress.Bar()->maximum(), phase.Value == kPhasePreparing ? 12 : 30);
    if (phase.Value == kPhaseProcessing) {
      flags.SetProgressEntry(7, QStringLiteral("Tom & Jerry"), QStringLiteral("/photos/"));
      flags.ProgressCount.store(10);
      progress.Update();
      EXPECT_EQ(progress.NameField()->FullText(), QStringLiteral("Tom & Jerry"));
      EXPECT_EQ(progress.NameField()->textFormat(), Qt::PlainText);
      EXPECT_TRUE(progress.NameField()->ShownText().contains(u'&'));
      EXPECT_EQ(progress.Bar()->value(), 10);
      EXPECT_EQ(progress.windowTitle(), QStringLiteral("33.33% - ") + ErrorTitle());
      // A long name is cut at its end, a long folder in its middle.
      const QString name = QString(200, u'n') + QStringLiteral("END");
      const QString folder =
          QStringLiteral("/start/") + QString(200, u'f') + QStringLiteral("/last/");
      flags.SetProgressEntry(8, name, folder);
      progress.Update();
      EXPECT_FALSE(progress.NameField()->ShownText().contains(QStringLiteral("END")));
      EXPECT_TRUE(progress.NameField()->ShownText().startsWith(u'n'));
      EXPECT_TRUE(progress.FolderField()->ShownText().startsWith(QStringLiteral("/start/")));
      EXPECT_TRUE(progress.FolderField()->ShownText().endsWith(QStringLiteral("/last/")));
      EXPECT_EQ(progress.FolderField()->toolTip(), folder);
      ExpectAccessible(&progress);
    }
  }
  EXPECT_FALSE(progress.PauseButton()->isEnabled()) << "nothing to pause once finished";

  // A run whose every file the filter took out: a bar from 0 to 0 must not fault.
  RunFlags empty;
  ProgressWindow none(empty, {}, {1000, -1});
  empty.RunPhase.store(kPhaseProcessing);
  none.SetPhaseEntries(kPhaseProcessing, 0);
  none.Update();
  EXPECT_EQ(none.Bar()->maximum(), 1);
  EXPECT_EQ(none.Bar()->value(), 1);
  EXPECT_EQ(none.windowTitle(), QStringLiteral("100.00% - ") + ErrorTitle());
}

// ---- The result window on its own ----

TEST_F(RunWindowTest, ResultWindowListsEveryProblemSortsAndExplains) {
  FileList files;
  const auto add = [&](int id, const char* path, int status, const char* newPath) {
    FileEntry entry;
    entry.Id = id;
    entry.SetPath(QString::fromUtf8(path));
    entry.Status = static_cast<int8_t>(status);
    entry.SetNewPath(QString::fromUtf8(newPath));
    files.Append(std::move(entry));
  };
  add(1, "/d/one.txt", kStatusCopyMoveFailed, "/o/one.txt");
  add(2, "/d/two.txt", kStatusDone, "/o/two.txt");
  add(3, "/d/three.txt", kStatusSourceMissing, "");
  add(4, "/d/four.txt", kStatusInvalidName, "");
  add(5, "/d/five.txt", kStatusNotProcessed, "");
  add(6, "/d/six.txt", kStatusTargetExists, "/o/six.txt");
  const std::vector<RunResultRow> rows = RunResultRows(files, false);
  ASSERT_EQ(rows.size(), 4u) << "statuses 0 and 1 are no problem";
  EXPECT_EQ(RunResultRows(files, true).size(), 5u) << "after a full disk, the files not reached";
  // The explanation names the kinds present, in the order 2, 3, 7, 8.
  QStringList blocks;
  for (const int status : {2, 3, 7, 8})
    blocks << FailureName(status) + u'\n' + FailureExplanation(status);
  EXPECT_EQ(RunResultExplanation(rows), blocks.join(QStringLiteral("\n\n")));
  EXPECT_EQ(FailureName(kStatusInvalidName), AdditionText(kAddStatusInvalidName));

  RunResultWindow window(rows, [this](const QString& path) {
    shown_ << path;
    return true;
  });
  window.show();
  ProcessEvents();
  EXPECT_EQ(window.windowTitle(), PlainCaption(322));
  EXPECT_GE(window.minimumWidth(), 380);
  EXPECT_GE(window.minimumHeight(), 278);
  EXPECT_EQ(window.focusWidget(), window.OkButton());
  QAbstractItemModel* model = window.ListModel();
  EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), LanguageText(326));
  EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), LanguageText(324));
  EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), LanguageText(325));
  const auto column = [&](int c) {
    QStringList texts;
    for (int r = 0; r < model->rowCount(); ++r) texts << model->index(r, c).data().toString();
    return texts;
  };
  EXPECT_EQ(column(1), (QStringList{"/d/one.txt", "/d/three.txt", "/d/four.txt", "/d/six.txt"}))
      << "in the run's order until sorted";
  window.List()->sortByColumn(1, Qt::AscendingOrder);
  EXPECT_EQ(column(1), (QStringList{"/d/four.txt", "/d/one.txt", "/d/six.txt", "/d/three.txt"}));
  window.List()->sortByColumn(0, Qt::DescendingOrder);
  EXPECT_EQ(column(0).first(), LanguageText(330));
  // Enter on a row shows its file, and does not close the window.
  window.List()->setFocus();
  window.List()->setCurrentIndex(model->index(0, 1));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(window.List(), &enter);
  EXPECT_EQ(shown_, QStringList{"/d/six.txt"});
  EXPECT_TRUE(window.isVisible());
  ExpectAccessible(&window);
  window.HelpButton()->click();
  ASSERT_NE(window.Explanation(), nullptr);
  EXPECT_EQ(window.Explanation()->TextLabel()->text(),
            KeepOptionsWhole(RunResultExplanation(rows)));
  window.Explanation()->reject();
  ProcessEvents();
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &esc);
  EXPECT_FALSE(window.isVisible());
}

// ---- The single-file test run ----

TEST_F(RunWindowTest, TestRunRestoresEverySettingAndLeavesTheListAsItWas) {
  dir_.WriteFile("in/a.txt", "a");
  dir_.WriteFile("in/b.txt", "b");
  MainWindow& window = MakeWindow();
  app_->WorkingSettings.QuitAfterRun = 0;
  app_->WorkingSettings.SortActive = 1;
  app_->WorkingSettings.TargetMove = 1;
  app_->WorkingSettings.KeepSubfolders = 1;
  window.FillPages();
  LoadInOrder({"in/a.txt", "in/b.txt"});
  window.Files()->View()->selectionModel()->setCurrentIndex(
      window.Files()->Model()->index(1, FileListModel::kNameColumn),
      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  window.StorePages();
  const QStringList listBefore = ListedPaths();

  struct Row {
    const char* Why;
    QString Template;  // the name template; an invalid one refuses the check
    bool Passes;
  };
  for (const Row& row : std::initializer_list<Row>{
           {"check refused", QStringLiteral("bad:name"), false},
           {"check passed", QStringLiteral("copy of %FN%"), true},
       }) {
    SCOPED_TRACE(row.Why);
    notices_.clear();
    properties_.clear();
    window.Field(FieldKind::NameTemplate)->setText(row.Template);
    window.ShowPage(kPageNewName);
    QCheckBox* nameSwitch = window.Pages()->Page(kPageNewName)->findChild<QCheckBox*>();
    if (!nameSwitch->isChecked()) nameSwitch->click();
    window.StorePages();
    Preset expected = app_->WorkingSettings;
    const int finished = finished_;
    window.Runs()->TestRun();
    if (row.Passes) {
      EXPECT_TRUE(window.CommandsLocked());
      EXPECT_FALSE(window.Files()->View()->isEnabled());
      EXPECT_EQ(window.StatusText(), LanguageText(361));
      ASSERT_TRUE(ProcessUntil([&] { return finished_ != finished; }));
      ASSERT_EQ(properties_.size(), 1);
      EXPECT_EQ(properties_[0], app_->PreviewFolder + QStringLiteral("copy of b.txt"));
      EXPECT_EQ(ReadFileBytes(EncodeFileName(properties_[0]).toStdString()), "b");
    } else {
      ASSERT_EQ(notices_.size(), 1);
      EXPECT_TRUE(notices_[0].startsWith(PlainCaption(363) + u'|'));
    }
    EXPECT_FALSE(window.CommandsLocked());
    EXPECT_TRUE(window.Files()->View()->isEnabled());
    EXPECT_EQ(app_->WorkingSettings, expected) << "every overridden setting is as before";
    EXPECT_TRUE(window.Menus()->Action(MenuCommand::QuitAfterRun)->isEnabled());
    EXPECT_FALSE(window.Menus()->Action(MenuCommand::QuitAfterRun)->isChecked());
    EXPECT_EQ(ListedPaths(), listBefore);
    EXPECT_EQ(window.Files()->Model()->rowCount(), 2);
    EXPECT_EQ(window.Files()->View()->SelectedRows(), std::vector<int>{1}) << "the selection stays";
    for (const FileEntry& entry : app_->Files) {
      EXPECT_EQ(entry.Status, kStatusNotProcessed);
      EXPECT_TRUE(entry.NewPath().isEmpty());
    }
    EXPECT_TRUE(PathExists(dir_.Bytes() + "in/b.txt")) << "the file itself stays";
  }
  EXPECT_EQ(app_->WorkingSettings.SortActive, 1);
  EXPECT_EQ(app_->WorkingSettings.TargetMove, 1);
  EXPECT_EQ(app_->WorkingSettings.TargetDirTemplate, QStringLiteral("%PD%\\output\\"));
}

TEST_F(RunWindowTest, TestRunOutcomeTextsForFilesItDidNotCopy) {
  struct Row {
    int Status;
    int Detail;
    QString Expected;  // after entry 322 + ":" + line break
  };
  const QString failed = LanguageText(326) + QStringLiteral("! ");
  for (const Row& row : std::initializer_list<Row>{
           {kStatusNotProcessed, 1, LanguageText(362)},
           {kStatusSourceMissing, 0, failed + LanguageText(329)},
           {kStatusTargetExists, 0, failed + QStringLiteral("(3)")},
           {kStatusTargetIsSource, 0, failed + QStringLiteral("(4)")},
           {kStatusReadError, 0, failed + LanguageText(335)},
           {kStatusAttributesFailed, 0, failed + LanguageText(337)},
           {kStatusInvalidName, 0, failed + AdditionText(kAddStatusInvalidNameExplanation)},
           {kStatusCopyMoveFailed, 0, failed + LanguageText(339)},
       }) {
    FileEntry entry;
    entry.Status = static_cast<int8_t>(row.Status);
    entry.Detail = row.Detail;
    EXPECT_EQ(TestRunOutcomeText(entry), LanguageText(322) + QStringLiteral(":\n") + row.Expected)
        << row.Status;
  }
}

TEST_F(RunWindowTest, TestRunTellsWhyNoCopyWasMade) {
  // A file in the preview folder itself, left unchanged, is its own target: "(4)". A filter
  // that takes the file out: no copy at all.
  dir_.WriteFile("preview/same.txt", "same");
  dir_.WriteFile("in/skip.log", "log");
  MainWindow& window = MakeWindow();
  LoadInOrder({"preview/same.txt", "in/skip.log"});
  struct Row {
    int RowIndex;
    bool Filter;
    QString Expected;
  };
  for (const Row& row : std::initializer_list<Row>{
           {0, false, LanguageText(326) + QStringLiteral("! (4)")},
           {1, true, LanguageText(362)},
       }) {
    notices_.clear();
    app_->WorkingSettings.FilterActive = row.Filter ? 1 : 0;
    app_->WorkingSettings.FilterConditions = {
        {kItemChecked, 2, 0, QStringLiteral("log"), 2}};  // extension is "log"
    app_->WorkingSettings.RemoveZoneMark = 1;             // something to do without a new name
    window.FillPages();
    window.Files()->View()->selectionModel()->setCurrentIndex(
        window.Files()->Model()->index(row.RowIndex, FileListModel::kNameColumn),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const int finished = finished_;
    window.Runs()->TestRun();
    ASSERT_TRUE(ProcessUntil([&] { return finished_ != finished; }, 5000))
        << "row " << row.RowIndex << ": " << notices_.join(u'\n').toStdString();
    ASSERT_EQ(notices_.size(), 1);
    EXPECT_EQ(notices_[0],
              PlainCaption(359) + u'|' + LanguageText(322) + QStringLiteral(":\n") + row.Expected);
  }
  EXPECT_TRUE(properties_.isEmpty());
  EXPECT_FALSE(PathExists(dir_.Bytes() + "preview/skip.log"));
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "preview/same.txt"), "same");
}

// ---- The properties window, where no file manager shows them ----

TEST_F(RunWindowTest, PermissionTextReadsAsLsWritesIt) {
  struct Row {
    int32_t Mode;
    const char* Expected;
  };
  for (const Row& row : std::initializer_list<Row>{
           {0644, "rw-r--r-- (644)"},
           {0, "--------- (0)"},
           {04755, "rwsr-xr-x (4755)"},
           {02640, "rw-r-S--- (2640)"},
           {01777, "rwxrwxrwt (1777)"},
       })
    EXPECT_EQ(PermissionText(row.Mode), QString::fromLatin1(row.Expected)) << row.Mode;
}

TEST_F(RunWindowTest, PropertiesWindowShowsWhatTheCopyIs) {
  const std::string path = dir_.WriteFile("preview/.copy of b.txt", std::string(1536, 'x'));
  ::chmod(path.c_str(), 0640);
  const bool marked = ::setxattr(path.c_str(), "user.xdg.origin.url", "http://a/", 9, 0) == 0;
  const QString file = DecodeFileName(path);
  const FileProperties properties = ReadFileProperties(file);
  ASSERT_TRUE(properties.Readable);
  EXPECT_EQ(properties.Size, 1536);
  EXPECT_EQ(properties.Mode, 0640);
  EXPECT_NE(properties.Attributes & kAttrHidden, 0) << "a leading dot hides";
  EXPECT_EQ(properties.ZoneMark, marked);

  PropertiesWindow window(file);
  window.show();
  ProcessEvents();
  EXPECT_TRUE(window.Readable());
  EXPECT_EQ(window.Field(PropertiesWindow::kNameRow)->text(), QStringLiteral(".copy of b.txt"));
  EXPECT_EQ(window.Field(PropertiesWindow::kFolderRow)->text(), app_->PreviewFolder);
  const QLineEdit* folder = window.Field(PropertiesWindow::kFolderRow);
  EXPECT_GE(folder->width(), folder->fontMetrics().horizontalAdvance(folder->text()))
      << "the window opens wide enough for the whole folder";
  const QString size = window.Field(PropertiesWindow::kSizeRow)->text();
  EXPECT_TRUE(size.startsWith(QStringLiteral("1.5 KB"))) << size.toStdString();
  EXPECT_TRUE(size.contains(AdditionText(kAddBytes)));
  EXPECT_EQ(window.Field(PropertiesWindow::kPermissionsRow)->text(),
            QStringLiteral("rw-r----- (640)"));
  EXPECT_EQ(window.Field(PropertiesWindow::kHiddenRow)->text(), PlainCaption(233));
  EXPECT_EQ(window.Field(PropertiesWindow::kReadOnlyRow)->text(), PlainCaption(234));
  EXPECT_EQ(window.Field(PropertiesWindow::kZoneMarkRow)->text(), PlainCaption(marked ? 233 : 234));
  EXPECT_FALSE(window.Field(PropertiesWindow::kModifiedRow)->text().isEmpty());
  EXPECT_TRUE(window.windowTitle().startsWith(PlainCaption(239)));
  ExpectAccessible(&window);

  // The copy is gone by the time the window opens: it says so and shows no stale figures.
  PropertiesWindow gone(dir_.Path() + QStringLiteral("preview/gone.txt"));
  EXPECT_FALSE(gone.Readable());
  EXPECT_TRUE(gone.Field(PropertiesWindow::kSizeRow)->text().isEmpty());
  EXPECT_EQ(gone.Field(PropertiesWindow::kNameRow)->text(), QStringLiteral("gone.txt"));
}

}  // namespace
