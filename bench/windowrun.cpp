// A batch run from the window against the console's run of the same task on the same tree.
//
// The task renames every file in place ("r" + its name). Each side gets a fresh tree of the
// same files, loaded before the clock starts:
// - console: the run procedure as the console mode drives it (its policy: nothing asked,
//   nothing kept), on a controller thread, the caller waiting for it;
// - window: the start command of the real main window (shown, offscreen) through the checks,
//   the window stepping aside, the progress window with its 100 ms updater, the run, and the
//   list given back with the window shown again, until RunFinished.
// The minimum phase waits and the finished display are 0 on both sides, the breath before the
// first file (75 ms) is the same, and both keep an undo journal of the run. Turns alternate,
// five rounds (the machine is shared: its noise reaches both sides alike). Printed: each round's
// pair, the best and median times of both, their ratios and the median of the rounds' ratios
// (target at most 1.1), and the longest gap between two ticks of a 10 ms timer of the GUI thread
// during the window runs (the progress window stays responsive; target well under 100 ms).
//
//   bench_windowrun [files [rounds]]   (or MERVANE_BENCH_FILES; default 100000 files in a
//                                       release build, 2000 in the test build; 5 rounds)

#include "app/AppState.h"
#include "app/ImageStore.h"
#include "filelist/Loader.h"
#include "platform/FileName.h"
#include "journal/RunJournal.h"
#include "settings/BuiltinPresets.h"
#include "texts/TextLoader.h"
#include "ui/list/FileListModel.h"
#include "ui/list/LoadedFiles.h"
#include "ui/run/RunCommands.h"
#include "ui/window/MainWindow.h"
#include "ui/list/NewNamePreview.h"
#include "ui/run/RunController.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using bench::Clock;
using bench::Seconds;

// Files whose names begin with "r", in every folder of the tree.
long CountRenamed(const std::string& root) {
  long renamed = 0;
  DIR* top = ::opendir(root.c_str());
  if (top == nullptr) return 0;
  while (const dirent* folder = ::readdir(top)) {
    if (folder->d_name[0] == '.') continue;
    DIR* inner = ::opendir((root + "/" + folder->d_name).c_str());
    if (inner == nullptr) continue;
    while (const dirent* file = ::readdir(inner)) renamed += file->d_name[0] == 'r';
    ::closedir(inner);
  }
  ::closedir(top);
  return renamed;
}

Preset Task() {
  Preset settings = WorkingPreset();
  settings.IncludeSubdirectories = 1;
  settings.TargetDirActive = 0;
  settings.NameTemplateActive = 1;
  settings.NameTemplate = QStringLiteral("r%FN%");
  return settings;
}

// Both sides keep an undo journal of their run, as the console and the window do.
QString JournalFolder(const std::string& base) {
  return DecodeFileName(base) + QStringLiteral("/journal/");
}

double ConsoleRun(const std::string& root, const std::string& base) {
  auto app = std::make_unique<AppState>();
  app->WorkingSettings = Task();
  LoadPaths(DecodeFileName(root), app->Files, app->WorkingSettings, app->Load);
  RunRequest request{app->Files, app->FollowUp, app->WorkingSettings, app->Run, app->Load};
  request.Policy.ReplaceMemory = kAnswerLeaveAll;
  request.Policy.KeepNothingForLater = true;
  const auto start = Clock::now();
  std::thread controller([&request, &app, &base] {
    RunJournalInfo info;
    info.ListCount = static_cast<uint32_t>(app->Files.Count());
    RunJournal journal(JournalFolder(base), info, &app->Run.RunCancelled);
    if (journal.Open() != 0) {
      std::fprintf(stderr, "the journal cannot be written\n");
      std::exit(1);
    }
    request.Events.Observer = &journal;
    RunProcedure(request);
    journal.Finish();
  });
  controller.join();
  return Seconds(start);
}

struct WindowResult {
  double Seconds = 0;
  double LongestGapMs = 0;
};

WindowResult RunFromWindow(const std::string& root, const std::string& base) {
  WindowResult result;
  auto app = std::make_unique<AppState>();
  app->JournalFolder = JournalFolder(base);
  app->PresetList = {WorkingPreset()};
  app->WorkingSettings = Task();
  auto window = std::make_unique<MainWindow>(*app);
  WindowDialogs dialogs;
  dialogs.Ask = [](const QString&, const QString&) { return true; };  // "in place?" Yes
  dialogs.Tell = [](MessageIcon, const QString& title, const QString& text) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
  };
  window->SetDialogs(dialogs);
  RunTimings timings;
  timings.MinPreparation = timings.MinProcessing = timings.FinishedDisplay =
      std::chrono::milliseconds(0);
  window->Runs()->SetTimings(timings);
  window->resize(640, 480);
  window->show();
  QEventLoop loop;
  QObject::connect(window.get(), &MainWindow::LoadFinished, &loop, &QEventLoop::quit);
  window->LoadPaths(DecodeFileName(root));
  loop.exec();
  // The user presses Start once the list shows the new names: their plan is not part of the
  // run (a longer list would make Start wait for it).
  QElapsedTimer planning;
  planning.start();
  while (planning.elapsed() < 120000 &&
         (!window->Files()->NewNames()->Idle() || window->Files()->Model()->Plan() == nullptr))
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  QApplication::processEvents();

  QElapsedTimer sinceTick;
  QTimer ticker;
  ticker.setInterval(10);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    result.LongestGapMs = std::max(result.LongestGapMs, sinceTick.nsecsElapsed() / 1e6);
    sinceTick.restart();
  });
  QObject::connect(window->Runs(), &RunCommands::RunFinished, &loop, &QEventLoop::quit);
  const auto start = Clock::now();
  sinceTick.start();
  ticker.start();
  window->Runs()->Start();
  loop.exec();
  result.Seconds = Seconds(start);
  // A little longer, so that a stall of the GUI thread as the window comes back is seen too.
  QTimer::singleShot(50, &loop, &QEventLoop::quit);
  loop.exec();
  ticker.stop();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
#ifdef NDEBUG
  long files = 100000;
#else
  long files = 2000;  // the test build (sanitizers, no optimisation): a quick run only
#endif
  if (const char* env = std::getenv("MERVANE_BENCH_FILES")) files = std::atol(env);
  int rounds = 5;
  if (argc > 1) files = std::atol(argv[1]);
  if (argc > 2) rounds = std::max(1, std::atoi(argv[2]));
  files = std::max(1L, files);
  if (!LoadProductTexts() || !LoadLanguageTable(1) || !DecodeEmbeddedImages()) return 1;

  std::string base = QDir::tempPath().toStdString() + "/mervane-bench-XXXXXX";
  if (::mkdtemp(base.data()) == nullptr) return 1;
  const long folders = std::min<long>(100, files);
  std::printf("task: rename %ld files in %ld folders in place (\"r%%FN%%\"), under %s\n", files,
              folders, base.c_str());

  std::vector<double> consoleTimes;
  std::vector<double> windowTimes;
  std::vector<double> ratios;  // of each round's pair, run back to back
  double worstGap = 0;
  bool allRenamed = true;
  int tree = 0;
  const auto freshTree = [&] {
    const std::string root = base + "/tree" + std::to_string(tree++);
    if (::mkdir(root.c_str(), 0755) != 0 || !bench::MakePhotoTree(root, files, folders)) {
      std::perror("creating the tree");
      std::exit(1);
    }
    ::sync();
    return root;
  };
  for (int round = 0; round < rounds; ++round) {
    // Turns alternate, so that a noisy neighbour hurts both sides alike.
    for (int side = 0; side < 2; ++side) {
      const bool console = (side == 0) == (round % 2 == 0);
      const std::string root = freshTree();
      if (console) {
        consoleTimes.push_back(ConsoleRun(root, base));
      } else {
        const WindowResult window = RunFromWindow(root, base);
        windowTimes.push_back(window.Seconds);
        worstGap = std::max(worstGap, window.LongestGapMs);
      }
      allRenamed = allRenamed && CountRenamed(root) == files;
      bench::RemoveTree(root);
    }
    ratios.push_back(windowTimes.back() / consoleTimes.back());
    std::printf("round %d: console %.3f s, window %.3f s, ratio %.3f\n", round + 1,
                consoleTimes.back(), windowTimes.back(), ratios.back());
    std::fflush(stdout);
  }
  bench::RemoveTree(base);
  std::sort(ratios.begin(), ratios.end());
  std::sort(consoleTimes.begin(), consoleTimes.end());
  std::sort(windowTimes.begin(), windowTimes.end());
  const auto median = [](const std::vector<double>& t) { return t[t.size() / 2]; };
  std::printf("console run:     best %.3f s, median %.3f s\n", consoleTimes.front(),
              median(consoleTimes));
  std::printf("window run:      best %.3f s, median %.3f s\n", windowTimes.front(),
              median(windowTimes));
  std::printf("ratio:           best %.3f, median %.3f (window / console; target at most 1.1)\n",
              windowTimes.front() / consoleTimes.front(),
              median(windowTimes) / median(consoleTimes));
  std::printf("ratio per round: median %.3f (each round's pair ran back to back)\n",
              median(ratios));
  std::printf("longest GUI gap: %.1f ms (a 10 ms timer during the window runs)\n", worstGap);
  std::printf("every file renamed: %s\n", allRenamed ? "yes" : "NO");
  return allRenamed ? 0 : 1;
}
