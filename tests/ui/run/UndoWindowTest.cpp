// "Undo last run" in the window: the run the window made is taken back on a worker thread,
// after a question that names it, with a progress window and a result list.

#include "ui/window/MainWindow.h"

#include "app/AppState.h"
#include "platform/FileName.h"
#include "support/TempDir.h"
#include "support/WindowFixture.h"
#include "texts/AdditionEntries.h"
#include "ui/list/FileListModel.h"
#include "ui/run/RunController.h"
#include "ui/run/UndoWindow.h"
#include "ui/widgets/UiTexts.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStringListModel>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace {

class UndoWindowTest : public WindowFixture {
 protected:
  std::unique_ptr<MainWindow> MakeWindow() {
    auto window = std::make_unique<MainWindow>(*app_);
    WindowDialogs dialogs = RecordingDialogs();
    dialogs.ChooseFiles = [] { return QStringList(); };
    dialogs.ChooseFolder = [](const QString&, const QString&) { return QString(); };
    dialogs.ShowFile = [](const QString&) { return true; };
    dialogs.ShowProperties = [](const QString&) { return true; };
    window->SetDialogs(dialogs);
    window->Runs()->SetTimings(NoWaits());
    return window;
  }

  // Loads the folder "in" and runs the default preset: copies into the desktop's "output".
  void RunCopies(MainWindow& window) {
    ASSERT_TRUE(window.LoadPaths(dir_.Path() + QStringLiteral("in")));
    ASSERT_TRUE(ProcessUntil([&] { return !window.Files()->LoadBusy(); }));
    bool finished = false;
    const auto connection =
        QObject::connect(window.Runs(), &RunCommands::RunFinished, [&] { finished = true; });
    window.Runs()->Start();
    ASSERT_TRUE(ProcessUntil([&] { return finished; }));
    QObject::disconnect(connection);
  }

  bool Undo(MainWindow& window) {
    bool finished = false;
    const auto connection =
        QObject::connect(window.Runs(), &RunCommands::UndoFinished, [&] { finished = true; });
    window.Menus()->Action(MenuCommand::UndoLastRun)->trigger();
    const bool started = window.CommandsLocked();
    if (started) {
      EXPECT_TRUE(ProcessUntil([&] { return finished; }));
    }
    QObject::disconnect(connection);
    return started;
  }
};

TEST_F(UndoWindowTest, TheMenuItemFollowsTheTestRunAndIsLockedWithTheCommands) {
  const auto window = MakeWindow();
  const QList<QAction*> items = window->menuBar()->actions().front()->menu()->actions();
  const qsizetype testRun = items.indexOf(window->Menus()->Action(MenuCommand::TestRun));
  ASSERT_GE(testRun, 0);
  ASSERT_LT(testRun + 1, items.size());
  EXPECT_EQ(items[testRun + 1], window->Menus()->Action(MenuCommand::UndoLastRun));
  EXPECT_EQ(items[testRun + 1]->text(), AdditionText(kAddUndoMenuItem) + QStringLiteral("..."));
  window->SetCommandsLocked(true);
  EXPECT_FALSE(window->Menus()->Action(MenuCommand::UndoLastRun)->isEnabled());
  window->SetCommandsLocked(false);
  EXPECT_TRUE(window->Menus()->Action(MenuCommand::UndoLastRun)->isEnabled());
}

TEST_F(UndoWindowTest, TakesBackTheWindowsRunAfterAQuestionThatNamesIt) {
  dir_.WriteFile("in/a.txt", "a");
  dir_.WriteFile("in/b.txt", "b");
  const auto window = MakeWindow();

  // Nothing to take back yet.
  EXPECT_FALSE(Undo(*window));
  ASSERT_EQ(notices_.size(), 1);
  EXPECT_EQ(notices_[0], AdditionText(kAddUndoTitle) + u'|' + AdditionText(kAddUndoNothing));
  notices_.clear();

  RunCopies(*window);
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "output/a.txt"), "a");
  ASSERT_TRUE(notices_.isEmpty()) << notices_.join(u'\n').toStdString();

  // Answered no: nothing happens.
  answer_ = false;
  EXPECT_FALSE(Undo(*window));
  ASSERT_EQ(questions_.size(), 1);
  EXPECT_TRUE(questions_[0].startsWith(AdditionText(kAddUndoTitle) +
                                       QStringLiteral("|Take back run 1 of ")));
  EXPECT_TRUE(questions_[0].contains(QStringLiteral("(preset 0 \"") +
                                     app_->PresetList[0].PresetName +
                                     QStringLiteral("\", 2 file(s))?")))
      << questions_[0].toStdString();
  EXPECT_TRUE(PathExists(dir_.Bytes() + "output/a.txt"));

  answer_ = true;
  ASSERT_TRUE(Undo(*window));
  EXPECT_FALSE(window->CommandsLocked());
  EXPECT_FALSE(PathExists(dir_.Bytes() + "output")) << "the copies and their new folder are gone";
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "in/a.txt"), "a");
  UndoResultDialog* result = window->Runs()->UndoResult();
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->Summary()->text(), AdditionText(kAddUndoResultComplete).arg(1));
  EXPECT_EQ(result->Lines()->rowCount(), 0);
  result->close();

  // A second undo finds nothing.
  EXPECT_FALSE(Undo(*window));
  EXPECT_EQ(notices_.back(), AdditionText(kAddUndoTitle) + u'|' + AdditionText(kAddUndoNothing));
}

// After an undo the list holds what is on the disk: each entry is read again, and entries
// whose files the undo took away from their paths leave the list.
TEST_F(UndoWindowTest, TheListIsReadAgainAfterAnUndo) {
  struct Row {
    const char* Why;
    int8_t Move, KeepSources;
    QStringList Before, After;  // relative to the folder
  };
  const std::vector<Row> rows = {
      {"copies: the sources stay, the removed copies leave",
       0,
       1,
       {"in/a.txt", "output/a.txt", "in/b.txt", "output/b.txt"},
       {"in/a.txt", "in/b.txt"}},
      {"moves: the files went back to where the list does not look",
       1,
       0,
       {"output/a.txt", "output/b.txt"},
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Why);
    std::filesystem::remove_all(dir_.Bytes() + "output");
    dir_.WriteFile("in/a.txt", "a");
    dir_.WriteFile("in/b.txt", "b");
    app_->Files.Clear();
    app_->WorkingSettings.TargetMove = row.Move;
    app_->WorkingSettings.ListKeepSources = row.KeepSources;
    app_->WorkingSettings.ListKeepTargets = 1;
    const auto window = MakeWindow();
    window->FillPages();
    RunCopies(*window);
    const auto listed = [&] {
      QStringList paths;
      for (const FileEntry& entry : app_->Files) paths << entry.Path().mid(dir_.Path().size());
      return paths;
    };
    QStringList before = listed();
    std::sort(before.begin(), before.end());
    QStringList expectedBefore = row.Before;
    std::sort(expectedBefore.begin(), expectedBefore.end());
    ASSERT_EQ(before, expectedBefore);
    ASSERT_TRUE(Undo(*window));
    QStringList after = listed();
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, row.After);
    EXPECT_EQ(window->Files()->Model()->RowCount(), row.After.size());
    for (const FileEntry& entry : app_->Files) EXPECT_EQ(entry.Status, kStatusNotProcessed);
    if (window->Runs()->UndoResult()) window->Runs()->UndoResult()->close();
  }
}

TEST_F(UndoWindowTest, TheResultListNamesWhatCouldNotBeTakenBack) {
  dir_.WriteFile("in/a.txt", "a");
  dir_.WriteFile("in/b.txt", "b");
  const auto window = MakeWindow();
  RunCopies(*window);
  dir_.WriteFile("output/a.txt", "edited since");

  ASSERT_TRUE(Undo(*window));
  UndoResultDialog* result = window->Runs()->UndoResult();
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->Summary()->text(), AdditionText(kAddUndoResultPartly).arg(1).arg(1));
  const QStringList lines = result->Lines()->stringList();
  ASSERT_EQ(lines.size(), 2) << lines.join(u'\n').toStdString();
  EXPECT_EQ(lines[0], AdditionText(kAddUndoLeftCopyChanged) + QStringLiteral(": ") + dir_.Path() +
                          QStringLiteral("output/a.txt -> ") + dir_.Path() +
                          QStringLiteral("in/a.txt"));
  EXPECT_EQ(lines[1],
            AdditionText(kAddUndoFolderStays).arg(dir_.Path() + QStringLiteral("output")));
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "output/a.txt"), "edited since");
  EXPECT_FALSE(PathExists(dir_.Bytes() + "output/b.txt"));
}

// Closing the window during an undo asks, stops the undo after the file in hand and closes
// once it has stopped; the rest can be taken back later.
TEST_F(UndoWindowTest, ClosingDuringAnUndoStopsItAndClosesWhenItHasStopped) {
  for (int i = 0; i < 40; ++i) dir_.WriteFile("in/f" + std::to_string(i) + ".txt", "x");
  const auto window = MakeWindow();
  RunCopies(*window);
  window->show();
  window->Menus()->Action(MenuCommand::UndoLastRun)->trigger();
  ASSERT_TRUE(window->Runs()->Busy());
  EXPECT_FALSE(window->close()) << "not while the undo goes on";
  EXPECT_TRUE(questions_.back().endsWith(LanguageText(358)));
  ASSERT_TRUE(ProcessUntil([&] { return !window->isVisible(); }));
  EXPECT_EQ(window->Runs()->UndoResult(), nullptr) << "no result window for a window that closes";
  for (int i = 0; i < 40; ++i)
    EXPECT_TRUE(PathExists(dir_.Bytes() + "in/f" + std::to_string(i) + ".txt"));
}

// A stop signal during an undo (SIGTERM, the session ending) stops it after the file in hand,
// without a question, and the window closes once it has stopped.
TEST_F(UndoWindowTest, AStopSignalDuringAnUndoStopsItBeforeTheProgramEnds) {
  for (int i = 0; i < 40; ++i) dir_.WriteFile("in/f" + std::to_string(i) + ".txt", "x");
  const auto window = MakeWindow();
  int ended = 0;
  WindowDialogs dialogs;
  dialogs.EndProgram = [&] { ++ended; };
  window->SetDialogs(dialogs);
  RunCopies(*window);
  window->show();
  window->Menus()->Action(MenuCommand::UndoLastRun)->trigger();
  ASSERT_TRUE(window->Runs()->Busy());
  const qsizetype asked = questions_.size();
  window->RequestQuit();
  EXPECT_EQ(ended, 0) << "not while the undo goes on";
  ASSERT_TRUE(ProcessUntil([&] { return !window->isVisible(); }));
  EXPECT_FALSE(window->Runs()->Busy());
  EXPECT_EQ(questions_.size(), asked) << "a stop signal asks nothing";
  EXPECT_EQ(window->Runs()->UndoResult(), nullptr);
}

TEST_F(UndoWindowTest, ARunWhoseJournalCannotBeWrittenDoesNotStart) {
  dir_.WriteFile("in/a.txt", "a");
  dir_.WriteFile("blocked", "a file where the journal folder should be");
  app_->JournalFolder = dir_.Path() + QStringLiteral("blocked/journal/");
  const auto window = MakeWindow();
  window->show();
  ASSERT_TRUE(window->LoadPaths(dir_.Path() + QStringLiteral("in")));
  ASSERT_TRUE(ProcessUntil([&] { return !window->Files()->LoadBusy(); }));
  window->Runs()->Start();
  EXPECT_FALSE(window->Runs()->Busy());
  EXPECT_TRUE(window->isVisible()) << "the window does not step aside for a run that never starts";
  EXPECT_EQ(window->Runs()->BatchRun()->Progress(), nullptr);
  EXPECT_FALSE(window->CommandsLocked());
  ASSERT_EQ(notices_.size(), 1);
  EXPECT_TRUE(notices_[0].contains(QStringLiteral("The undo journal cannot be written")));
  EXPECT_FALSE(PathExists(dir_.Bytes() + "output"));
  EXPECT_EQ(window->Files()->Model()->RowCount(), 1) << "the list stays the window's";
}

TEST_F(UndoWindowTest, TheProgressWindowsCancelAsksTheUndoToStop) {
  UndoRun run;
  UndoProgressDialog dialog(QStringLiteral("Taking back run 1..."), run, nullptr);
  EXPECT_EQ(dialog.Bar()->accessibleName(), QStringLiteral("Taking back run 1..."));
  EXPECT_EQ(dialog.CancelButton()->text(), AdditionText(kAddUndoCancel));
  dialog.CancelButton()->click();
  EXPECT_FALSE(dialog.CancelButton()->isEnabled());

  // A journal that is no journal: the undo ends at once and says so.
  dir_.WriteFile("journal/00000001.journal", "not a journal");
  UndoSummary summary;
  bool finished = false;
  QObject::connect(&run, &UndoRun::Finished, [&](const UndoSummary& s) {
    summary = s;
    finished = true;
  });
  ASSERT_TRUE(run.Start(dir_.Path() + QStringLiteral("journal/00000001.journal")));
  EXPECT_TRUE(run.Busy());
  ASSERT_TRUE(ProcessUntil([&] { return finished; }));
  EXPECT_FALSE(run.Busy());
  EXPECT_FALSE(summary.Started);
  EXPECT_EQ(UndoSummaryText(1, summary).left(37), AdditionText(kAddUndoUnreadable).arg(1).left(37));
}

}  // namespace
