// Renders Mervane's main window, every page, with some files loaded, and the windows of a run
// (progress, replace question, result, the test run's properties) into PNG files: the pictures
// tools/screenshots.sh takes under Xvfb in both languages and at two scales.
//
//   mervane_screenshots OUTPUT_FOLDER LANGUAGE(0 German, 1 English) SUFFIX

#include "app/AppState.h"
#include "app/ImageStore.h"
#include "filelist/Prepare.h"
#include "run/RunProcedure.h"
#include "settings/BuiltinPresets.h"
#include "settings/PresetsFile.h"
#include "texts/TextLoader.h"
#include "ui/list/FileListModel.h"
#include "ui/list/LoadedFiles.h"
#include "ui/list/NewNamePreview.h"
#include "ui/pages/OptionPages.h"
#include "ui/run/ProgressWindow.h"
#include "ui/run/PropertiesWindow.h"
#include "ui/run/ReplaceQuestion.h"
#include "ui/run/RunResultWindow.h"
#include "ui/window/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QToolButton>

#include <cstdio>
#include <functional>

namespace {

void Settle(int milliseconds = 150) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Lets the new-name column show the plan of the settings on the pages.
void SettleNames(MainWindow& window) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 5000 &&
         (!window.Files()->NewNames()->Idle() || window.Files()->Model()->Plan() == nullptr))
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  Settle();
}

// The windows of a run, on their own: the progress window in each phase and paused, the
// replace question counting down, and the result window with its explanation.
void RunWindows(const std::function<void(const QString&, const QPixmap&)>& save,
                const QString& testedCopy) {
  const QString folder = QStringLiteral("/home/anna/Pictures/Holiday photos/2011/Beach/");
  RunFlags flags;
  ProgressWindow progress(flags, {}, {100000, -1});
  progress.show();
  const auto shot = [&](const QString& name, int32_t phase, int32_t count) {
    flags.RunPhase.store(phase);
    flags.ProgressCount.store(count);
    progress.Update();
    Settle();
    save(name, progress.grab());
  };
  progress.SetPhaseEntries(kPhasePreparing, 412);
  shot(QStringLiteral("progress-preparing"), kPhasePreparing, 0);
  progress.SetPhaseEntries(kPhaseProcessing, 398);
  flags.SetProgressEntry(17, QStringLiteral("Beach & sunset at the old lighthouse, panorama"),
                         folder);
  shot(QStringLiteral("progress-processing"), kPhaseProcessing, 517);
  progress.PauseButton()->click();
  shot(QStringLiteral("progress-paused"), kPhaseProcessing, 519);
  progress.PauseButton()->click();
  progress.SetPhaseEntries(kPhaseFinished, 398);
  shot(QStringLiteral("progress-finished"), kPhaseFinished, 3 * 398);
  progress.Dismiss();

  ReplaceQuestion question(folder + QStringLiteral("IMG_0087 & friends.jpg"), 0);
  question.show();
  for (int tick = 0; tick < 14; ++tick) question.Tick();
  Settle();
  save(QStringLiteral("replace-question"), question.grab());
  question.LeaveButton()->click();

  const std::vector<RunResultRow> rows = {
      {kStatusTargetExists, false, folder + QStringLiteral("IMG_0087.jpg"),
       QStringLiteral("/home/anna/Pictures/sorted/IMG_0087.jpg")},
      {kStatusCopyMoveFailed, false, folder + QStringLiteral("Beach & sunset.png"),
       QStringLiteral("/media/usb/sorted/Beach & sunset.png")},
      {kStatusSourceMissing, false, folder + QStringLiteral("notes.txt"), QString()},
      {kStatusNotProcessed, true, folder + QStringLiteral("song.mp3"), QString()},
  };
  RunResultWindow result(rows, {});
  result.show();
  Settle();
  save(QStringLiteral("result"), result.grab());
  result.ShowExplanation();
  Settle();
  if (result.Explanation() != nullptr) {
    save(QStringLiteral("result-explanation"), result.Explanation()->grab());
    result.Explanation()->accept();
  }
  result.accept();

  // The test run's copy, as the window shows it where no file manager offers its properties.
  PropertiesWindow properties(testedCopy);
  properties.show();
  Settle();
  save(QStringLiteral("properties"), properties.grab());
  properties.accept();
}

void WriteFile(const QString& path) {
  QDir().mkpath(path.left(path.lastIndexOf(u'/')));
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write("sample");
}

// The main flow, for the README and the software centres: a folder of photos loaded, a
// template typed on "New name", the new names beside the old ones, and the two photos the copy
// into one folder would give the same name marked as a problem.
void MainFlow(AppState& app, const QString& out, const QString& suffix) {
  QTemporaryDir scratch;
  const QString photos = scratch.path() + QStringLiteral("/Pictures/Lisbon 2011/");
  for (const char* name : {"IMG_0087.jpg", "IMG_0088.jpg", "IMG_0091.jpg", "IMG_0094.jpg",
                           "IMG_0102.jpg", "IMG_0103.jpg", "DSC_1204.JPG", "DSC_1207.JPG",
                           "PXL_20110714_101500.jpg", "Tram 28 at night.jpg", "Alfama/IMG_0087.jpg",
                           "Alfama/IMG_0111.jpg", "Alfama/IMG_0112.jpg"})
    WriteFile(photos + QString::fromUtf8(name));
  const Preset before = app.WorkingSettings;
  const QString desktopBefore = app.DesktopFolder;
  app.DesktopFolder = scratch.path() + QStringLiteral("/Desktop/");
  // A plain start: the working settings copy into a folder on the desktop, nothing else.
  app.WorkingSettings = WorkingPreset();
  app.WorkingSettings.NameTemplateActive = 1;
  app.WorkingSettings.NameTemplate.clear();
  app.WorkingSettings.SelectedPage = kPageNewName;
  {
    MainWindow window(app);
    window.resize(1280, 720);
    window.show();
    window.LoadPaths(photos);
    window.Files()->WaitForLoad();
    Settle(300);
    QLineEdit* field = window.Field(FieldKind::NameTemplate);
    field->setFocus();
    field->setText(QStringLiteral("Lisbon %FN%"));
    field->end(false);
    SettleNames(window);
    window.grab().save(out + QStringLiteral("/flow-newname-") + suffix + QStringLiteral(".png"),
                       "PNG", 0);
    window.Files()->OnlyProblemsButton()->click();
    Settle();
    window.grab().save(out + QStringLiteral("/flow-problems-") + suffix + QStringLiteral(".png"),
                       "PNG", 0);
  }
  app.WorkingSettings = before;
  app.DesktopFolder = desktopBefore;
  app.Files.Clear();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: mervane_screenshots OUTPUT_FOLDER LANGUAGE SUFFIX\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const int language = QString::fromLocal8Bit(argv[2]).toInt();
  const QString suffix = QString::fromLocal8Bit(argv[3]);
  QDir().mkpath(out);
  if (!LoadProductTexts() || !LoadLanguageTable(language) || !DecodeEmbeddedImages()) return 1;

  QTemporaryDir files;
  const QString root = files.path() + QStringLiteral("/Holiday photos/");
  for (const char* name : {"IMG_0087.jpg", "IMG_0088.jpg", "IMG_0091.JPG", "Beach & sunset.png",
                           "notes.txt", "2011/Trip report.pdf", "2011/Budget.ods",
                           "2011/video/clip_01.mp4", "2011/video/clip_02.mkv", "2011/IMG_0087.jpg",
                           "Crème Brûlée_final!.TXT", "archive.tar.gz", "song.mp3"})
    WriteFile(root + QString::fromUtf8(name));

  AppState& app = App();
  app.LanguageIndex = language;
  // The built-in presets copy into an output folder on the desktop.
  app.DesktopFolder = files.path() + QStringLiteral("/Desktop/");
  app.PresetList = {WorkingPreset()};
  app.PresetList += BuiltinPresets();
  app.DefaultPresetIndex = 0;
  // Preset 3 switches several pages on, so that the page list shows its marks.
  ActivatePreset(3, app.PresetList, app.WorkingSettings);
  app.WorkingSettings.SelectedPage = 0;

  // The main flow first, while the list is empty; it leaves the settings as they were.
  MainFlow(app, out, suffix);
  MainWindow window(app);
  window.resize(1200, 720);
  window.show();
  window.LoadPaths(root);
  window.Files()->WaitForLoad();
  Settle(300);

  const auto save = [&](const QString& name, const QPixmap& pixmap) {
    pixmap.save(out + u'/' + name + u'-' + suffix + QStringLiteral(".png"));
  };
  RunWindows(save, root + QStringLiteral("IMG_0087.jpg"));
  for (int page = 0; page < kPageCount; ++page) {
    window.ShowPage(page);
    Settle();
    save(QStringLiteral("page%1").arg(page, 2, 10, QLatin1Char('0')), window.grab());
  }
  // The new-name column with problems: the task copies everything into one folder, where two
  // files meet under one name and one name is taken already; the filter leaves out the music.
  const auto newNames = [&](const QString& prefix) {
    const Preset before = app.WorkingSettings;
    Preset task = before;
    task.TargetDirActive = 1;
    task.TargetMove = 0;
    task.KeepSubfolders = 0;
    task.TargetDirTemplate = files.path() + QStringLiteral("/Sorted/");
    WriteFile(task.TargetDirTemplate + QStringLiteral("notes.txt"));
    FilterCondition music;
    music.ItemState = kItemChecked;
    music.Kind = kFilterExtension;
    music.Operator = kOperatorEqual;
    music.Values = QStringLiteral("mp3");
    music.Mode = kModeText;
    task.FilterActive = 1;
    task.FilterConditions = {music};
    app.WorkingSettings = task;
    window.resize(1200, 720);
    window.FillPages();
    window.ShowPage(kPageFiles);
    SettleNames(window);
    save(prefix + QStringLiteral("newnames"), window.grab());
    window.Files()->OnlyProblemsButton()->click();
    Settle();
    save(prefix + QStringLiteral("newnames-problems"), window.grab());
    window.Files()->OnlyProblemsButton()->click();
    app.WorkingSettings = before;
    window.FillPages();
    window.resize(1200, 720);
    SettleNames(window);
  };
  newNames(QString());
  // The smallest window the user can make.
  window.resize(window.minimumSize());
  for (const int page : {0, 1, 2, 4, 5, 6, 11}) {
    window.ShowPage(page);
    Settle();
    save(QStringLiteral("minimum-page%1").arg(page, 2, 10, QLatin1Char('0')), window.grab());
  }
  // A dark desktop.
  window.resize(1200, 720);
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(45, 45, 48));
  dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
  dark.setColor(QPalette::Base, QColor(30, 30, 30));
  dark.setColor(QPalette::AlternateBase, QColor(40, 40, 42));
  dark.setColor(QPalette::Text, QColor(230, 230, 230));
  dark.setColor(QPalette::Button, QColor(55, 55, 58));
  dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
  dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
  dark.setColor(QPalette::HighlightedText, Qt::white);
  dark.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
  dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
  dark.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 120));
  dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 120, 120));
  QApplication::setPalette(dark);
  window.Rebuild();
  Settle(300);
  for (const int page : {0, 6, 8}) {
    window.ShowPage(page);
    Settle();
    save(QStringLiteral("dark-page%1").arg(page, 2, 10, QLatin1Char('0')), window.grab());
  }
  newNames(QStringLiteral("dark-"));
  // The menus, opened one by one.
  QApplication::setPalette(QApplication::style()->standardPalette());
  window.Rebuild();
  Settle(300);
  const QList<QAction*> menus = window.menuBar()->actions();
  for (int i = 0; i < menus.size(); ++i) {
    QMenu* menu = menus[i]->menu();
    if (menu == nullptr) continue;
    menu->popup(window.mapToGlobal(window.menuBar()->actionGeometry(menus[i]).bottomLeft()));
    Settle();
    save(QStringLiteral("menu%1").arg(i + 1), menu->grab());
    menu->hide();
  }
  return 0;
}
