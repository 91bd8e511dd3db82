// The new-name column of the loaded-file list: what it shows for the task on the pages, how it
// follows edits, the problems it marks, the checksums it reads, and that the run (and the
// console's dry run) do what it showed.

#include "ui/window/MainWindow.h"

#include "app/AppState.h"
#include "filelist/Loader.h"
#include "filelist/Prepare.h"
#include "fileops/NewNamePlan.h"
#include "fileops/RunValues.h"
#include "platform/FileName.h"
#include "settings/PresetsFile.h"
#include "support/ChildProcess.h"
#include "support/Lines.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "support/Texts.h"
#include "support/WindowFixture.h"
#include "texts/AdditionEntries.h"
#include "texts/ProductTitle.h"
#include "ui/list/FileListModel.h"
#include "ui/list/FileListView.h"
#include "ui/list/NewNameContent.h"
#include "ui/list/NewNamePreview.h"
#include "ui/list/NewNameTexts.h"
#include "ui/run/ReplaceQuestion.h"
#include "ui/run/RunController.h"
#include "ui/run/RunResultWindow.h"
#include "ui/widgets/UiTexts.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPalette>
#include <QPoint>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

#include <zlib.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include <QElapsedTimer>

#include <unistd.h>

#include <cstdio>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

class NewNameColumnTest : public WindowFixture {
 protected:
  std::unique_ptr<MainWindow> MakeWindow() {
    auto window = std::make_unique<MainWindow>(*app_);
    WindowDialogs dialogs = RecordingDialogs();
    window->SetDialogs(dialogs);
    window->Runs()->SetTimings(NoWaits());
    return window;
  }

  // Loads and waits until the column shows the plan of the loaded list.
  void Load(MainWindow& window, const QString& paths) {
    ASSERT_TRUE(window.LoadPaths(paths));
    ASSERT_TRUE(ProcessUntil([&] { return !window.Files()->LoadBusy(); }));
    WaitForPlan(window);
  }

  static void WaitForPlan(MainWindow& window) {
    ASSERT_TRUE(ProcessUntil(
        [&] { return window.Files()->NewNames()->Idle() && window.Files()->Model()->Plan(); }));
  }

  // The settings as the pages would hold them after the user chose them.
  void Apply(MainWindow& window, const Preset& settings) {
    app_->WorkingSettings = settings;
    window.FillPages();
    WaitForPlan(window);
  }

  // The row of the entry with this name (without extension), -1 when none shows it.
  static int RowOfName(const MainWindow& window, const QString& name) {
    FileListModel* model = window.Files()->Model();
    for (int row = 0; row < model->rowCount(); ++row)
      if (model->EntryAt(row)->Name() == name) return row;
    return -1;
  }

  static QString Cell(const MainWindow& window, int row, int column, int role = Qt::DisplayRole) {
    FileListModel* model = window.Files()->Model();
    return model->data(model->index(row, column), role).toString();
  }

  // Every row's source (relative to the test folder) and the column's target.
  std::vector<std::pair<QString, QString>> Targets(const MainWindow& window) const {
    std::vector<std::pair<QString, QString>> rows;
    FileListModel* model = window.Files()->Model();
    const NewNamePlan* plan = model->Plan();
    for (int row = 0; row < model->rowCount(); ++row) {
      const FileEntry* entry = model->EntryAt(row);
      const qsizetype pos = model->ListPosition(entry);
      rows.emplace_back(entry->Path().mid(dir_.Path().size()),
                        plan->TargetPath(pos, *entry).mid(dir_.Path().size()));
    }
    return rows;
  }
};

Preset CopyInto(const QString& folder) {
  Preset s = WorkingPreset();
  s.TargetDirActive = 1;
  s.TargetMove = 0;
  s.TargetDirTemplate = folder;
  return s;
}

Preset NamedInPlace(const char* nameTemplate) {
  Preset s = WorkingPreset();
  s.TargetDirActive = 0;
  s.NameTemplateActive = 1;
  s.NameTemplate = QString::fromUtf8(nameTemplate);
  return s;
}

TEST_F(NewNameColumnTest, ShowsTheNewNamesOfTheBuiltInPresets) {
  for (const char* name : {"in/IMG_0001.JPG", "in/my holiday.txt"}) dir_.WriteFile(name, "x");
  const auto window = MakeWindow();
  Load(*window, dir_.Path() + QStringLiteral("in"));
  FileListModel* model = window->Files()->Model();
  ASSERT_EQ(model->rowCount(), 2);
  EXPECT_EQ(model->headerData(FileListModel::kNewNameColumn, Qt::Horizontal, Qt::DisplayRole),
            AdditionText(kAddNewNameColumn));
  const int first = Cell(*window, 0, FileListModel::kNameColumn) == "IMG_0001" ? 0 : 1;
  const int second = 1 - first;

  // The defaults copy into the desktop's output folder under the same name: the names are
  // dimmed, the new folder shows.
  EXPECT_EQ(Cell(*window, first, FileListModel::kNewNameColumn), "IMG_0001.JPG");
  EXPECT_TRUE(model
                  ->data(model->index(first, FileListModel::kNewNameColumn),
                         FileListModel::NameUnchangedRole)
                  .toBool());
  EXPECT_EQ(model->data(model->index(first, FileListModel::kNewNameColumn), Qt::ForegroundRole)
                .value<QBrush>(),
            QApplication::palette().brush(QPalette::PlaceholderText));
  EXPECT_EQ(Cell(*window, first, FileListModel::kNewFolderColumn), dir_.Path() + "output/");
  EXPECT_FALSE(window->Files()->View()->isColumnHidden(FileListModel::kNewFolderColumn));

  struct Row {
    int preset;
    QString first;
    QString second;
    bool folderShown;
  };
  const std::vector<Row> rows = {
      // Letter case of words, lower-case extensions, in place.
      {1, "Img_0001.jpg", "My Holiday.txt", false},
      // Name corrections (blanks and underscores become hyphens) in lower case, copied to the
      // desktop's output folder.
      {3, "img-0001.jpg", "my-holiday.txt", true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.preset);
    window->Presets()->ActivateAt(r.preset);
    WaitForPlan(*window);
    EXPECT_EQ(Cell(*window, first, FileListModel::kNewNameColumn), r.first);
    EXPECT_EQ(Cell(*window, second, FileListModel::kNewNameColumn), r.second);
    EXPECT_EQ(window->Files()->View()->isColumnHidden(FileListModel::kNewFolderColumn),
              !r.folderShown);
  }
  // Preset 2 names by the modification date into dated folders: as the engine builds them.
  window->Presets()->ActivateAt(2);
  WaitForPlan(*window);
  const QString name = Cell(*window, first, FileListModel::kNewNameColumn);
  EXPECT_TRUE(name.endsWith(" IMG_0001.JPG")) << name.toStdString();
  EXPECT_TRUE(Cell(*window, first, FileListModel::kNewFolderColumn)
                  .startsWith(dir_.Path() + "output/" + name.left(4) + "/"));
  EXPECT_TRUE(questions_.isEmpty());
}

// The column follows the pages: nothing is planned while the user is still typing, a plan
// starts once the edits have been quiet for a moment, and edits that keep coming are planned
// after the longest wait. The clock is the test's.
TEST_F(NewNameColumnTest, FollowsEditsOnceTheyAreQuiet) {
  for (const char* name : {"a.txt", "b.txt"}) dir_.WriteFile(name, "x");
  const auto window = MakeWindow();
  Load(*window, dir_.Path());
  qint64 now = 1000;
  NewNamePreview* names = window->Files()->NewNames();
  names->SetClock([&now] { return now; });
  int plans = 0;
  QObject::connect(names, &NewNamePreview::PlanChanged, [&] { ++plans; });

  window->ShowPage(kPageNewName);
  window->Pages()->Page(kPageNewName)->findChild<QCheckBox*>()->click();
  window->Field(FieldKind::NameTemplate)->setText(QStringLiteral("x %FN%"));
  now += NewNamePreview::kQuietDelay - 1;
  names->Poll();
  EXPECT_FALSE(names->Planning());
  EXPECT_FALSE(names->Idle());
  now += 1;
  names->Poll();
  ASSERT_TRUE(ProcessUntil([&] { return plans == 1; }));
  EXPECT_EQ(Cell(*window, RowOfName(*window, "a"), FileListModel::kNewNameColumn), "x a.txt");

  // Typing on: each key puts the plan off, but not beyond the longest wait.
  const qint64 typingStarts = now + 40;
  for (int i = 0; i < 30 && !names->Planning(); ++i) {
    now += 40;
    window->Field(FieldKind::NameTemplate)->setText(i % 2 ? "typing %FN%" : "typing  %FN%");
    names->Poll();
  }
  EXPECT_TRUE(names->Planning());
  EXPECT_EQ(now - typingStarts, NewNamePreview::kLongestWait) << "planned after the longest wait";
  // The last edit is planned too once it has been quiet.
  window->Field(FieldKind::NameTemplate)->setText("typed %FN%");
  now += NewNamePreview::kQuietDelay;
  names->Poll();
  ASSERT_TRUE(ProcessUntil([&] { return names->Idle(); }));
  EXPECT_EQ(Cell(*window, RowOfName(*window, "a"), FileListModel::kNewNameColumn), "typed a.txt");

  // A menu option counts as an edit too.
  const int before = plans;
  window->Menus()->Action(MenuCommand::PlaceholderDateCreated)->trigger();
  now += NewNamePreview::kQuietDelay;
  names->Poll();
  ProcessUntil([&] { return names->Idle(); });
  EXPECT_EQ(plans, before + 1);
  // An edit that changes no setting plans nothing again.
  window->Field(FieldKind::FilterText)->setText(QStringLiteral("*.tmp"));
  now += NewNamePreview::kQuietDelay;
  names->Poll();
  EXPECT_FALSE(names->Planning());
  ProcessEvents();
  EXPECT_EQ(plans, before + 1);
}

// The list stands beside the "New name" page: while the template is edited there, the column
// in sight shows each new name, with the changed part marked.
TEST_F(NewNameColumnTest, UpdatesBesideTheNewNamePageWhileTheTemplateIsEdited) {
  for (const char* name : {"a.txt", "b.txt"}) dir_.WriteFile(name, "x");
  const auto window = MakeWindow();
  window->show();
  Load(*window, dir_.Path());
  qint64 now = 1000;
  NewNamePreview* names = window->Files()->NewNames();
  names->SetClock([&now] { return now; });
  window->ShowPage(kPageNewName);
  window->Pages()->Page(kPageNewName)->findChild<QCheckBox*>()->click();
  ProcessEvents();
  ASSERT_TRUE(window->Pages()->Page(kPageNewName)->isVisible());
  ASSERT_TRUE(window->Files()->View()->isVisible()) << "the list is in sight beside the page";
  FileListModel* model = window->Files()->Model();
  // What is typed, and the part of b.txt's new name that differs from it: {start, length}.
  const std::vector<std::pair<const char*, QPoint>> edits = {
      {"1 %FN%", QPoint(0, 2)}, {"12 %FN%", QPoint(0, 3)}, {"12 %FN% end", QPoint(0, 8)}};
  for (const auto& [typed, part] : edits) {
    window->Field(FieldKind::NameTemplate)->setText(QString::fromUtf8(typed));
    now += NewNamePreview::kQuietDelay;
    names->Poll();
    ASSERT_TRUE(ProcessUntil([&] { return names->Idle(); })) << typed;
    const QString expected =
        QString::fromUtf8(typed).replace(QStringLiteral("%FN%"), "b") + QStringLiteral(".txt");
    const int row = RowOfName(*window, "b");
    EXPECT_EQ(Cell(*window, row, FileListModel::kNewNameColumn), expected);
    EXPECT_TRUE(window->Pages()->Page(kPageNewName)->isVisible()) << "the page stays shown";
    const QVariant changed = model->data(model->index(row, FileListModel::kNewNameColumn),
                                         FileListModel::ChangedPartRole);
    EXPECT_EQ(changed.toPoint(), part) << typed;
  }
}

// Counters: one for the whole run or one per target folder, passing over numbers that files on
// disk have taken; the tooltip says so.
TEST_F(NewNameColumnTest, CountersSkipTakenNumbersPerFolderOrNot) {
  for (const char* name : {"in/x/a.txt", "in/x/b.txt", "in/y/c.txt"}) dir_.WriteFile(name, "x");
  dir_.WriteFile("out/x/01.txt", "taken");
  const auto window = MakeWindow();
  Load(*window, dir_.Path() + QStringLiteral("in"));
  for (const bool perFolder : {false, true}) {
    SCOPED_TRACE(perFolder);
    Preset s = CopyInto(dir_.Path() + "out/");
    s.KeepSubfolders = 1;
    s.NameTemplateActive = 1;
    s.NameTemplate = QStringLiteral("%01%");
    s.CounterPerDirectory = perFolder ? 1 : 0;
    Apply(*window, s);
    // The list's order decides which file of x comes first: it gets 02, as 01 is taken.
    QStringList inX;
    QString inY;
    for (const auto& [source, target] : Targets(*window)) {
      if (source.startsWith("in/x/")) inX << target;
      if (source.startsWith("in/y/")) inY = target;
      if (target == "out/x/02.txt") {
        const int row = window->Files()->Model()->RowOf(
            app_->Files.FindById(app_->Files.IdOfPath(dir_.Path() + source)));
        EXPECT_TRUE(Cell(*window, row, FileListModel::kNewNameColumn, Qt::ToolTipRole)
                        .contains(AdditionText(kAddCounterPassedOver).arg("01")));
      }
    }
    EXPECT_EQ(inX, QStringList({"out/x/02.txt", "out/x/03.txt"}));
    EXPECT_EQ(inY, perFolder ? "out/y/01.txt" : "out/y/04.txt");
  }
  EXPECT_EQ(window->Files()->NewNames()->Plan()->Problems(), 0);
}

// Two files planned to one target: both are marked with an icon and a tooltip naming the other;
// the status line counts them; the toggle shows only them; the start question lists them.
TEST_F(NewNameColumnTest, ClashesAreMarkedCountedAndAskedAbout) {
  for (const char* name : {"in/p/a.txt", "in/q/a.txt", "in/b.txt"}) dir_.WriteFile(name, "x");
  const auto window = MakeWindow();
  Load(*window, dir_.Path() + QStringLiteral("in"));
  Apply(*window, CopyInto(dir_.Path() + "out/"));
  FileListModel* model = window->Files()->Model();
  ASSERT_EQ(model->rowCount(), 3);
  int marked = 0;
  for (int row = 0; row < 3; ++row) {
    const FileEntry* entry = model->EntryAt(row);
    const auto problem = static_cast<NameProblem>(
        model->data(model->index(row, FileListModel::kNewNameColumn), FileListModel::ProblemRole)
            .toInt());
    const QString tip = Cell(*window, row, FileListModel::kNewNameColumn, Qt::ToolTipRole);
    if (entry->Name() == "b") {
      EXPECT_EQ(problem, NameProblem::None);
      EXPECT_TRUE(model->data(model->index(row, FileListModel::kNewNameColumn), Qt::DecorationRole)
                      .isNull());
      continue;
    }
    ++marked;
    EXPECT_FALSE(
        model->data(model->index(row, FileListModel::kNewNameColumn), Qt::DecorationRole).isNull());
    const QString other =
        entry->Path().contains("/p/") ? dir_.Path() + "in/q/a.txt" : dir_.Path() + "in/p/a.txt";
    EXPECT_TRUE(tip.contains(other)) << tip.toStdString();
    if (problem == NameProblem::SameTargetEarlier)
      EXPECT_TRUE(tip.contains(AdditionText(kAddResolutionAsk))) << tip.toStdString();
    else
      EXPECT_EQ(problem, NameProblem::SameTargetLater);
  }
  EXPECT_EQ(marked, 2);
  EXPECT_TRUE(window->StatusText().endsWith(AdditionText(kAddProblems) + ": 2"))
      << window->StatusText().toStdString();

  window->Files()->OnlyProblemsButton()->click();
  EXPECT_EQ(model->rowCount(), 2);
  EXPECT_TRUE(window->StatusText().contains(LanguageText(69) + ": 3 ")) << "the list still has 3";
  window->Files()->OnlyProblemsButton()->click();
  EXPECT_EQ(model->rowCount(), 3);

  int started = 0;
  window->Runs()->AttachStarter([&] { ++started; });
  answer_ = false;
  window->Runs()->Start();
  EXPECT_EQ(started, 0);
  ASSERT_EQ(questions_.size(), 1);
  EXPECT_EQ(questions_[0], PlainCaption(349) + u'|' + StartQuestionText(*model->Plan()));
  EXPECT_TRUE(questions_[0].contains("1 \u00D7 " + AdditionText(kAddKindSameTarget)));
  answer_ = true;
  window->Runs()->Start();
  EXPECT_EQ(started, 1);

  // Without problems nothing is asked.
  Apply(*window, NamedInPlace("%FN% %1%"));
  questions_.clear();
  window->Runs()->Start();
  EXPECT_EQ(started, 2);
  EXPECT_TRUE(questions_.filter(AdditionText(kAddStartAnyway)).isEmpty());
}

// Other problems the column marks before the run: an existing target, an unusable name, a name
// too long, a target folder that cannot be made.
TEST_F(NewNameColumnTest, MarksWhatWouldFailWithItsReason) {
  for (const char* name : {"in/a.txt", "in/b.txt", "in/c.txt", "in/d.txt"})
    dir_.WriteFile(name, "x");
  const auto window = MakeWindow();
  Load(*window, dir_.Path() + QStringLiteral("in"));
  dir_.WriteFile("in/taken.txt", "not loaded");
  Preset s = NamedInPlace("%FN%");
  s.ReplaceActive = 1;
  s.TextReplacements = {{kItemChecked, "a", "taken"},
                        {kItemChecked, "b", QString()},
                        {kItemChecked, "c", QString(256, u'c')},
                        {kItemChecked, "d", "sub/d"}};
  Apply(*window, s);
  struct Expect {
    const char* name;
    NameProblem problem;
    QString tip;
  };
  const std::vector<Expect> expected = {
      {"a", NameProblem::TargetExists, AdditionText(kAddTargetExists)},
      {"b", NameProblem::InvalidName, AdditionText(kAddInvalidNewName)},
      {"c", NameProblem::NameTooLong, AdditionText(kAddNameTooLong).arg(260)},
      {"d", NameProblem::FolderNotCreatable,
       AdditionText(kAddNameFolderMissing).arg(dir_.Path() + "in/sub/")},
  };
  FileListModel* model = window->Files()->Model();
  ASSERT_EQ(model->rowCount(), 4);
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.name);
    int row = 0;
    while (row < 4 && model->EntryAt(row)->Name() != e.name) ++row;
    ASSERT_LT(row, 4);
    EXPECT_EQ(
        model->data(model->index(row, FileListModel::kNewNameColumn), FileListModel::ProblemRole)
            .toInt(),
        static_cast<int>(e.problem));
    EXPECT_TRUE(Cell(*window, row, FileListModel::kNewNameColumn, Qt::ToolTipRole).contains(e.tip))
        << Cell(*window, row, FileListModel::kNewNameColumn, Qt::ToolTipRole).toStdString();
  }
  EXPECT_TRUE(window->StatusText().endsWith(AdditionText(kAddProblems) + ": 4"));
}

// The filter's entries stay in the list, greyed, saying which condition takes them out.
TEST_F(NewNameColumnTest, FilteredRowsAreGreyedWithTheirReason) {
  for (const char* name : {"a.txt", "b.log"}) dir_.WriteFile(name, "x");
  const auto window = MakeWindow();
  Load(*window, dir_.Path());
  Preset s = NamedInPlace("new %FN%");
  s.FilterActive = 1;
  FilterCondition logs;
  logs.ItemState = kItemChecked;
  logs.Kind = kFilterExtension;
  logs.Operator = kOperatorEqual;
  logs.Values = "log";
  logs.Mode = kModeText;
  s.FilterConditions = {logs};
  Apply(*window, s);
  FileListModel* model = window->Files()->Model();
  const int log = model->EntryAt(0)->Name() == "b" ? 0 : 1;
  EXPECT_EQ(Cell(*window, 1 - log, FileListModel::kNewNameColumn), "new a.txt");
  EXPECT_EQ(Cell(*window, log, FileListModel::kNewNameColumn), AdditionText(kAddFilteredOut));
  EXPECT_TRUE(
      model->data(model->index(log, FileListModel::kNewNameColumn), FileListModel::FilteredOutRole)
          .toBool());
  const QBrush grey = QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
  for (const int column : {FileListModel::kNameColumn, FileListModel::kDirectoryColumn})
    EXPECT_EQ(model->data(model->index(log, column), Qt::ForegroundRole).value<QBrush>(), grey);
  EXPECT_EQ(
      Cell(*window, log, FileListModel::kNewNameColumn, Qt::ToolTipRole),
      AdditionText(kAddFilteredOutTip).arg(LanguageText(200) + " " + LanguageText(85) + " log"));
  EXPECT_EQ(window->Files()->NewNames()->Plan()->Problems(), 0) << "taken out is no problem";
}

// With a sort order, the rows follow the order the run takes the files in, so that the numbers
// count down the column; the selection stays with its files.
TEST_F(NewNameColumnTest, SortedTasksShowTheRunsOrder) {
  for (const char* name : {"b.txt", "c.txt", "a.txt"}) dir_.WriteFile(name, "x");
  const auto window = MakeWindow();
  Load(*window, dir_.Path());
  FileListModel* model = window->Files()->Model();
  const int rowOfC =
      model->RowOf(app_->Files.FindById(app_->Files.IdOfPath(dir_.Path() + "c.txt")));
  window->Files()->View()->selectRow(rowOfC);
  Preset s = NamedInPlace("%1% %FN%");
  s.SortActive = 1;
  s.SortKey = kSortName;
  s.SortDirection = 0;  // descending
  Apply(*window, s);
  ASSERT_EQ(model->rowCount(), 3);
  EXPECT_EQ(Cell(*window, 0, FileListModel::kNewNameColumn), "1 c.txt");
  EXPECT_EQ(Cell(*window, 1, FileListModel::kNewNameColumn), "2 b.txt");
  EXPECT_EQ(Cell(*window, 2, FileListModel::kNewNameColumn), "3 a.txt");
  const std::vector<int> selected = window->Files()->View()->SelectedRows();
  ASSERT_EQ(selected.size(), 1u);
  EXPECT_EQ(model->EntryAt(selected[0])->Name(), "c");
  // The list itself keeps its order; only the view follows the run.
  EXPECT_NE(app_->Files.At(0).Name(), "c");
}

// The names need a checksum: it is read for the rows on screen only, in the background; the
// rows further down show the placeholder until they are scrolled to.
TEST_F(NewNameColumnTest, ChecksumsAreReadForTheRowsOnScreen) {
  constexpr int kFiles = 400;
  for (int i = 0; i < kFiles; ++i)
    dir_.WriteFile(QStringLiteral("f%1.txt").arg(i, 3, 10, QLatin1Char('0')).toStdString(),
                   std::to_string(i));
  const auto window = MakeWindow();
  window->resize(640, 480);
  window->show();
  Load(*window, dir_.Path());
  Apply(*window, NamedInPlace("%FN% %CC%"));
  FileListModel* model = window->Files()->Model();
  const auto expected = [&](int row) {
    const FileEntry* entry = model->EntryAt(row);
    const QByteArray content = QByteArray::number(entry->Name().mid(1).toInt());
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(content.constData()), content.size());
    return entry->Name() + " " + QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0')).toUpper() +
           ".txt";
  };
  ASSERT_TRUE(
      ProcessUntil([&] { return Cell(*window, 0, FileListModel::kNewNameColumn) == expected(0); }));
  const auto [first, last] = window->Files()->View()->RowsOnScreen();
  ASSERT_LT(last, kFiles - 10);
  ASSERT_TRUE(ProcessUntil([&] {
    return window->Files()->NewNames()->Idle() &&
           Cell(*window, last, FileListModel::kNewNameColumn) == expected(last);
  }));
  const QString far = Cell(*window, kFiles - 1, FileListModel::kNewNameColumn);
  EXPECT_TRUE(far.endsWith(" %CC%.txt")) << far.toStdString();
  EXPECT_LE(window->Files()->NewNames()->Content()->Known().size(), last - first + 2);
  EXPECT_TRUE(window->StatusText().contains(AdditionText(kAddWaitingForChecksums)));

  window->Files()->View()->verticalScrollBar()->setValue(
      window->Files()->View()->verticalScrollBar()->maximum());
  ASSERT_TRUE(ProcessUntil([&] {
    return Cell(*window, kFiles - 1, FileListModel::kNewNameColumn) == expected(kFiles - 1);
  }));
}

// Sorted by the date taken, the order waits for every file's date: the dates are read for the
// whole list, the list is planned a few times while they come rather than once per batch, and the
// column ends with the names of a plan made from scratch with every date known. A photo without a
// date taken keeps its mark (it is sorted by its modification date).
TEST_F(NewNameColumnTest, SortedByTheDateTakenPlansAFewTimesAndEndsAsFromScratch) {
  const std::string model = dir_.WriteFile("model.jpg");
  {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::create(Exiv2::ImageType::jpeg, model);
#pragma GCC diagnostic pop
    image->exifData()["Exif.Photo.DateTimeOriginal"] = "2021:01:01 00:00:00";
    image->writeMetadata();
  }
  std::string bytes = ReadFileBytes(model);
  ::unlink(model.c_str());
  const size_t date = bytes.find("2021:01:01 00:00:00");
  ASSERT_NE(date, std::string::npos);
  // The later the name, the earlier the photo was taken.
  constexpr int kPhotos = 1500;
  for (int i = 0; i < kPhotos; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "in/IMG_%04d.jpg", i);
    const int minutes = kPhotos - i;
    char taken[32];
    std::snprintf(taken, sizeof taken, "2021:01:%02d %02d:%02d:00", 1 + minutes / 1440,
                  minutes / 60 % 24, minutes % 60);
    bytes.replace(date, 19, taken);
    dir_.WriteFile(name, bytes);
  }
  dir_.WriteFile("in/undated.jpg", "no EXIF here");
  const auto window = MakeWindow();
  window->resize(640, 480);
  window->show();
  Load(*window, dir_.Path() + "in");
  NewNamePreview* names = window->Files()->NewNames();
  const qsizetype plansBefore = names->PlansStarted();
  Preset s = NamedInPlace("%1% %FN%");
  s.SortActive = 1;
  s.SortKey = kSortDateTaken;
  s.SortDirection = 1;  // ascending
  app_->WorkingSettings = s;
  QElapsedTimer reading;
  reading.start();
  window->FillPages();
  ASSERT_TRUE(ProcessUntil(
      [&] {
        const std::shared_ptr<const NewNamePlan> plan = names->Plan();
        return plan && plan->NeedsEveryFile() && plan->Pending() == 0 && names->Idle();
      },
      60000));
  const qsizetype plans = names->PlansStarted() - plansBefore;

  // The first plan, one for the rows on screen, one after each pause, and the last one.
  EXPECT_LE(plans, 3 + reading.elapsed() / NewNamePreview::kValuesReplanPause) << plans;

  const std::shared_ptr<const NewNamePlan> plan = names->Plan();
  const RunValues values = PrepareRunValues(s, app_->Files.Count(), PathFolders{}, 0);
  NewNameInputs inputs;
  inputs.ReplaceMemory = kAnswerLeave;
  inputs.Content = &names->Content()->Known();
  const NewNamePlan scratch = PlanNewNames(app_->Files, s, values, inputs);
  ASSERT_EQ(scratch.Count(), plan->Count());
  EXPECT_EQ(scratch.Order(), plan->Order());
  for (qsizetype pos = 0; pos < plan->Count(); ++pos) {
    const FileEntry& entry = app_->Files.At(pos);
    ASSERT_EQ(plan->FileName(pos, entry), scratch.FileName(pos, entry)) << pos;
    EXPECT_EQ(plan->Row(pos).Flags, scratch.Row(pos).Flags) << pos;
  }
  // The rows follow the dates: the last name first, the photo without a date (modified now)
  // last, with its mark.
  FileListModel* list = window->Files()->Model();
  ASSERT_EQ(list->rowCount(), kPhotos + 1);
  for (int row = 0; row < kPhotos; ++row)
    ASSERT_EQ(list->EntryAt(row)->Name(),
              QStringLiteral("IMG_%1").arg(kPhotos - 1 - row, 4, 10, QLatin1Char('0')))
        << row;
  const FileEntry* undated = list->EntryAt(kPhotos);
  EXPECT_EQ(undated->Name(), "undated");
  EXPECT_TRUE(plan->Row(list->ListPosition(undated)).Has(NewNameRow::kNoDateTaken));
  EXPECT_FALSE(plan->Row(list->ListPosition(list->EntryAt(0))).Has(NewNameRow::kNoDateTaken));
}

// Checksums that arrive while the user scrolls update the plan the column shows, entry by entry,
// without planning the whole list again; what it shows is the plan made from scratch with the
// same values, clashes between files of equal content included.
TEST_F(NewNameColumnTest, ChecksumsUpdateThePlanTheyChange) {
  constexpr int kFiles = 300;
  for (int i = 0; i < kFiles; ++i)
    dir_.WriteFile(QStringLiteral("f%1.txt").arg(i, 3, 10, QLatin1Char('0')).toStdString(),
                   i % 3 == 0 ? std::string("same") : std::to_string(i));
  const auto window = MakeWindow();
  window->resize(640, 480);
  window->show();
  Load(*window, dir_.Path());
  Apply(*window, CopyInto(dir_.Path() + "out/"));
  app_->WorkingSettings.NameTemplateActive = 1;
  app_->WorkingSettings.NameTemplate = "%CC%";
  Apply(*window, app_->WorkingSettings);
  NewNamePreview* preview = window->Files()->NewNames();
  const auto sameAsFromScratch = [&] {
    const NewNamePlan& plan = *preview->Plan();
    const FileList& files = app_->Files;
    NewNameInputs inputs;
    inputs.ReplaceMemory = kAnswerLeave;
    inputs.Content = &preview->Content()->Known();
    const RunValues values = PrepareRunValues(plan.Settings(), files.Count(), PathFolders{}, 0);
    const NewNamePlan fresh = PlanNewNames(files, plan.Settings(), values, inputs);
    for (qsizetype pos = 0; pos < files.Count(); ++pos) {
      const FileEntry& entry = files.At(pos);
      EXPECT_EQ(plan.TargetPath(pos, entry), fresh.TargetPath(pos, entry));
      EXPECT_EQ(plan.Row(pos).Problem, fresh.Row(pos).Problem) << entry.Path().toStdString();
      EXPECT_EQ(plan.OtherEntry(pos), fresh.OtherEntry(pos));
    }
    EXPECT_EQ(plan.Problems(), fresh.Problems());
    EXPECT_EQ(plan.Pending(), fresh.Pending());
  };
  const auto settled = [&] {
    return preview->Idle() && preview->Plan() &&
           !Cell(*window, 0, FileListModel::kNewNameColumn).contains("%CC%");
  };
  ASSERT_TRUE(ProcessUntil(settled));
  EXPECT_GE(preview->UpdatesApplied(), 1) << "the values updated the plan";
  EXPECT_GT(preview->Plan()->ProblemCount(NameProblem::SameTargetEarlier), 0)
      << "files of equal content clash";
  sameAsFromScratch();

  window->Files()->View()->verticalScrollBar()->setValue(
      window->Files()->View()->verticalScrollBar()->maximum());
  ASSERT_TRUE(ProcessUntil([&] {
    return preview->Idle() &&
           !Cell(*window, kFiles - 1, FileListModel::kNewNameColumn).contains("%CC%");
  }));
  EXPECT_GE(preview->UpdatesApplied(), 2);
  sameAsFromScratch();
  EXPECT_TRUE(window->StatusText().contains(AdditionText(kAddProblems)));
}

// Values read while a plan holds a copy of the known ones wait and are lost neither way: they
// come in, with their ids, once the copy is gone.
TEST_F(NewNameColumnTest, ValuesReadWhileAPlanHoldsTheKnownOnesWaitForIt) {
  dir_.WriteFile("a.txt", "a");
  dir_.WriteFile("b.txt", "b");
  NewNameContent content;
  PlaceholderSet need;
  need.Add(PlaceholderId(u"%CC%"));
  content.Request({{1, dir_.Path() + "a.txt", {}}}, need);
  ASSERT_TRUE(ProcessUntil([&] { return content.Known().contains(1); }));
  EXPECT_EQ(content.TakeArrived(), std::vector<int32_t>{1});

  auto held = std::make_unique<QHash<int32_t, KnownContent>>(content.Known());
  content.Request({{2, dir_.Path() + "b.txt", {}}}, need);
  for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_FALSE(content.Known().contains(2)) << "the copy is not copied on this thread";
  held.reset();
  ASSERT_TRUE(ProcessUntil([&] { return content.Known().contains(2); }));
  EXPECT_EQ(content.TakeArrived(), std::vector<int32_t>{2});
  EXPECT_TRUE(content.Known().value(2).Ok);
}

// Lines of the console's "--dry-run": status, source, target.
struct DryLine {
  int status;
  std::string source;
  std::string target;
};

std::vector<DryLine> DryRunLines(const std::string& out) {
  std::vector<DryLine> lines;
  for (const std::string& line : SplitLines(out)) {
    const size_t first = line.find('\t');
    if (first == std::string::npos || first == 0) continue;
    const size_t second = line.find('\t', first + 1);
    if (second == std::string::npos) continue;
    lines.push_back({std::stoi(line.substr(0, first)), line.substr(first + 1, second - first - 1),
                     line.substr(second + 1)});
  }
  return lines;
}

// What the column shows is what the console's dry run prints and what the run does, on the same
// tree: counters per folder over taken numbers with a filter and a sort; and clashes inside the
// list and with a file that is there, which the run leaves after its question.
TEST_F(NewNameColumnTest, AgreesWithTheDryRunAndTheRun) {
  FilterCondition logs;
  logs.ItemState = kItemChecked;
  logs.Kind = kFilterExtension;
  logs.Operator = kOperatorEqual;
  logs.Values = "log";
  logs.Mode = kModeText;
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> sources;  // below tree/in/
    std::vector<std::string> existing;                         // below tree/
    std::function<void(Preset&)> configure;
    int done;
  };
  const std::vector<Case> cases = {
      {"numbered per folder, filtered and sorted",
       {{"x/b.txt", "xb"},
        {"x/a.txt", "xa"},
        {"y/a.txt", "ya"},
        {"y/c.txt", "yc"},
        {"skip.log", "log"},
        {"d.txt", "d"}},
       {"out/x/a 1.txt"},
       [&](Preset& s) {
         s.KeepSubfolders = 1;
         s.NameTemplateActive = 1;
         s.NameTemplate = QStringLiteral("%FN% %1%");
         s.CounterPerDirectory = 1;
         s.SortActive = 1;
         s.SortKey = kSortName;
         s.SortDirection = 1;
         s.FilterActive = 1;
         s.FilterConditions = {logs};
       },
       5},
      {"clashes inside the list and with a file that is there",
       {{"p/a.txt", "pa"}, {"q/a.txt", "qa"}, {"b.txt", "b"}, {"c.txt", "c"}},
       {"out/c.txt"},
       [](Preset& s) { s.TargetMove = 1; },
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(::system(("rm -rf '" + dir_.Bytes() + "tree'").c_str()), 0);
    for (const auto& [file, content] : c.sources) dir_.WriteFile("tree/in/" + file, content);
    for (const std::string& file : c.existing) dir_.WriteFile("tree/" + file, "there");
    Preset s = CopyInto(dir_.Path() + "tree/out/");
    s.PresetName = QStringLiteral("Agreement");
    c.configure(s);

    const auto window = MakeWindow();
    Load(*window, dir_.Path() + "tree/in");
    Apply(*window, s);
    FileListModel* model = window->Files()->Model();
    const NewNamePlan* plan = model->Plan();
    ASSERT_NE(plan, nullptr);
    std::vector<DryLine> column;
    std::vector<std::string> contents;
    for (int row = 0; row < model->rowCount(); ++row) {
      const FileEntry* entry = model->EntryAt(row);
      const qsizetype pos = model->ListPosition(entry);
      if (plan->Row(pos).Has(NewNameRow::kFilteredOut)) continue;
      column.push_back(
          {plan->Row(pos).Status, Utf8(entry->Path()), Utf8(plan->TargetPath(pos, *entry))});
      contents.push_back(ReadFileBytes(Utf8(entry->Path())));
    }

    // The console: the same preset from its presets file, a dry run of the same tree.
    const std::string config = dir_.MakeDir("config/" + Utf8(PlainTitle()));
    QList<Preset> presets = {WorkingPreset(), s};
    presets[1].PresetNumber = 1;
    ASSERT_TRUE(SavePresets(DecodeFileName(config + "Presets"), presets, 0));
    const ChildResult dry = RunChild(
        {MERVANE_BINARY, "-Console", "-Preset=1", "-IgnoreWarning", "--dry-run",
         dir_.Bytes() + "tree/in"},
        EnvironmentWith({"XDG_CONFIG_HOME=" + dir_.Bytes() + "config", "HOME=" + dir_.Bytes(),
                         "XDG_RUNTIME_DIR=" + dir_.MakeDir("runtime"), "LANG=C.UTF-8"},
                        {"QT_QPA_PLATFORM"}),
        dir_.Bytes());
    const std::vector<DryLine> printed = DryRunLines(dry.out);
    ASSERT_EQ(printed.size(), column.size()) << dry.out << dry.err;
    for (size_t i = 0; i < column.size(); ++i) {
      SCOPED_TRACE(column[i].source);
      EXPECT_EQ(printed[i].source, column[i].source);
      EXPECT_EQ(printed[i].target, column[i].target);
      EXPECT_EQ(printed[i].status, column[i].status);
    }

    // The run from the window (after its question when problems are planned): every file
    // where the column said; what was there stays.
    questions_.clear();
    const bool problems = plan->Failing() > 0;
    bool finished = false;
    QObject::connect(window->Runs(), &RunCommands::RunFinished, [&] { finished = true; });
    window->Runs()->Start();
    EXPECT_EQ(questions_.filter(AdditionText(kAddStartAnyway)).size(), problems ? 1 : 0);
    // The run asks about each file that is there; the answer keeps it, as the column said. The
    // result window then lists those files.
    ASSERT_TRUE(ProcessUntil([&] {
      if (ReplaceQuestion* question = window->Runs()->BatchRun()->Question())
        question->LeaveButton()->click();
      if (RunResultWindow* result = window->Runs()->BatchRun()->ResultWindow()) result->accept();
      return finished;
    }));
    int done = 0;
    for (size_t i = 0; i < column.size(); ++i) {
      SCOPED_TRACE(column[i].source);
      if (column[i].status == kStatusDone) {
        ++done;
        EXPECT_EQ(ReadFileBytes(column[i].target), contents[i]);
      } else {
        EXPECT_EQ(column[i].status, kStatusTargetExists);
      }
    }
    EXPECT_EQ(done, c.done);
    for (const std::string& file : c.existing)
      EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "tree/" + file), "there");
  }
}

// The list changes while a plan is under way: the worker lets go first, and the next plan is
// of the list as it is then.
TEST_F(NewNameColumnTest, RemovingFilesWhilePlanningPlansTheNewList) {
  for (int i = 0; i < 3000; ++i) {
    FileEntry entry;
    entry.Id = TakeNextEntryId();
    entry.SetDirectory(QStringLiteral("/nonexistent-mervane/%1/").arg(i / 100));
    entry.SetName(QStringLiteral("f%1").arg(i));
    entry.SetPath(entry.Directory() + entry.Name() + ".txt");
    app_->Files.Append(std::move(entry));
  }
  app_->WorkingSettings = NamedInPlace("n %FN%");
  const auto window = MakeWindow();
  ASSERT_TRUE(ProcessUntil([&] { return window->Files()->NewNames()->Planning(); }));
  window->Files()->View()->selectRow(0);
  window->Files()->RemoveSelected();
  EXPECT_FALSE(window->Files()->NewNames()->Planning()) << "the worker let go of the list";
  EXPECT_EQ(window->Files()->Model()->Plan(), nullptr);
  WaitForPlan(*window);
  EXPECT_EQ(window->Files()->Model()->Plan()->Count(), 2999);
  EXPECT_EQ(window->Files()->Model()->Plan()->ProblemCount(NameProblem::SourceMissing), 2999);
  window->Files()->Clear();
  EXPECT_EQ(window->Files()->Model()->rowCount(), 0);
}

// Start with a list too long to plan at once, before the column has a plan: the window waits
// for the plan (its progress in a window the user may cancel) and then asks; nothing starts
// unasked.
TEST_F(NewNameColumnTest, StartWaitsForThePlanOfALongListAndAsks) {
  const qsizetype count = NewNamePreview::kPlanAtOnce + 1;
  for (qsizetype i = 0; i < count; ++i) {
    FileEntry entry;
    entry.Id = TakeNextEntryId();
    entry.SetDirectory(QStringLiteral("/nonexistent-mervane/%1/").arg(i / 1000));
    entry.SetName(QStringLiteral("f%1").arg(i));
    entry.SetPath(entry.Directory() + entry.Name() + ".txt");
    app_->Files.Append(std::move(entry));
  }
  app_->WorkingSettings = NamedInPlace("n %FN%");
  const auto window = MakeWindow();
  // The settings' own question (files changed in place) is answered Yes; ours as the test says.
  bool startAnyway = false;
  WindowDialogs dialogs;
  dialogs.Ask = [&](const QString& title, const QString& text) {
    questions_ << title + u'|' + text;
    return text.contains(AdditionText(kAddStartAnyway)) ? startAnyway : true;
  };
  window->SetDialogs(dialogs);
  int started = 0;
  window->Runs()->AttachStarter([&] { ++started; });
  ASSERT_EQ(window->Files()->Model()->Plan(), nullptr);
  window->Runs()->Start();
  EXPECT_EQ(started, 0);
  ASSERT_FALSE(questions_.isEmpty());
  EXPECT_TRUE(questions_.last().contains(QStringLiteral("- %1 \u00D7 ").arg(count) +
                                         AdditionText(kAddKindSourceMissing)))
      << questions_.last().toStdString();
  ASSERT_NE(window->Files()->Model()->Plan(), nullptr) << "the column shows the plan asked about";
  EXPECT_EQ(window->Files()->Model()->Plan()->Count(), count);

  // Asked again with the plan in hand: no waiting, and Yes starts.
  startAnyway = true;
  questions_.clear();
  window->Runs()->Start();
  EXPECT_EQ(started, 1);
  EXPECT_EQ(questions_.filter(AdditionText(kAddStartAnyway)).size(), 1);
}

}  // namespace
