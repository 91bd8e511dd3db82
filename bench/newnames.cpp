// The new-name column: what planning every loaded entry costs, measured against references in
// the same run.
//
// 1. A million entries: the plan the column keeps (PlanNewNames, with the disk look-ups the
//    window makes) against the engine's bare name building of the same entries (BuildTarget,
//    nothing taken, nothing kept): the ratio of the times (target at most 1.5) and the heap the
//    plan keeps per entry (target at most 150 bytes). Also without disk look-ups, and sorted.
// 2. The window with a million entries offscreen: the longest gap between two ticks of a 10 ms
//    timer while the column is planned in the background (target under 100 ms), and the time
//    until the names show.
// 3. The window with 10,000 entries: from an edit of the name template until the column shows
//    the new names (target 300 ms, the quiet time after the edit included).
//
// The entries are real (empty) files in a temporary tree (in /dev/shm where there is one), made
// first and removed at the end, so that every disk look-up meets what it would meet in use.
//
//   bench_newnames [entries] [window entries]   (defaults 1000000 and 1000000; 20000 and
//                                                 20000 in a debug build)

#include "app/AppState.h"
#include "app/ImageStore.h"
#include "filelist/Loader.h"
#include "fileops/NewNamePlan.h"
#include "fileops/RunValues.h"
#include "fileops/TargetBuilder.h"
#include "naming/Transform.h"
#include "platform/FileName.h"
#include "settings/BuiltinPresets.h"
#include "texts/TextLoader.h"
#include "ui/list/FileListModel.h"
#include "ui/list/LoadedFiles.h"
#include "ui/list/NewNamePreview.h"
#include "ui/window/MainWindow.h"

#include "BenchSupport.h"
#include "NewNamesTask.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <fcntl.h>
#include <ftw.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace {

using namespace newnames;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

// The processor time of the calling thread: other programs on the machine hardly change it.
double ThreadSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

size_t HeapInUse() {
  ::malloc_trim(0);
  const struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
}

void EnginePlan(const QString& root, long count) {
  std::printf("== %ld entries on disk, the engine\n", count);
  const Preset settings = Task();
  FileList list;
  Load(list, root, count);
  const RunValues values = PrepareRunValues(settings, list.Count(), PathFolders{}, 0);

  const TargetPlan targets = PlanTargets(settings, values.PreparedNameTemplate,
                                         values.PreparedTargetDir, false, QString());
  // Best of three for each side, turns alternating, in processor time of this thread.
  double bare = 1e9;
  double planned = 1e9;
  double kept = 0;
  double heap = 0;
  for (int round = 0; round < 3; ++round) {
    CounterMap counters(targets.CounterStart, targets.CounterWidth, false);
    const PathTaken nothingTaken = [](const QString&) { return false; };
    qsizetype chars = 0;
    double start = ThreadSeconds();
    for (const FileEntry& entry : list)
      chars += BuildTarget(entry, settings, targets, counters, nothingTaken).Path.size();
    bare = std::min(bare, ThreadSeconds() - start);
    if (chars == 0) std::printf("nothing built\n");

    const size_t before = HeapInUse();
    start = ThreadSeconds();
    const NewNamePlan plan = PlanNewNames(list, settings, values, NewNameInputs{});
    planned = std::min(planned, ThreadSeconds() - start);
    heap = static_cast<double>(HeapInUse() - before) / static_cast<double>(count);
    kept = static_cast<double>(plan.KeptBytes()) / static_cast<double>(count);
    if (round == 0)
      std::printf("sample: %s\n", qPrintable(plan.FileName(count - 1, list.At(count - 1))));
  }
  std::printf("bare name building        %8.3f s   (processor time, best of 3)\n", bare);
  std::printf("plan for the column       %8.3f s   (with the window's disk look-ups)\n", planned);
  std::printf("plan / bare               %8.2f     (target <= 1.5)\n", planned / bare);
  std::printf("heap kept per entry       %8.0f B   (target <= 150; the plan counts %.0f B)\n", heap,
              kept);

  NewNameInputs noDisk;
  noDisk.DiskLookups = false;
  double start = ThreadSeconds();
  PlanNewNames(list, settings, values, noDisk);
  const double withoutDisk = ThreadSeconds() - start;
  std::printf("without disk look-ups     %8.3f s   (%.2fx)\n", withoutDisk, withoutDisk / bare);
  Preset sorted = settings;
  sorted.SortActive = 1;
  sorted.SortKey = 3;  // size
  const RunValues sortedValues = PrepareRunValues(sorted, list.Count(), PathFolders{}, 0);
  const size_t before = HeapInUse();
  start = ThreadSeconds();
  const NewNamePlan plan = PlanNewNames(list, sorted, sortedValues, NewNameInputs{});
  const double sortedTime = ThreadSeconds() - start;
  std::printf("sorted by size            %8.3f s   (%.2fx), heap kept per entry %.0f B\n",
              sortedTime, sortedTime / bare,
              static_cast<double>(HeapInUse() - before) / static_cast<double>(count));
}

// The window with `count` entries: the ticks of a 10 ms timer while the column is planned.
void WindowPlan(const QString& root, long count) {
  std::printf("\n== %ld entries, the window\n", count);
  auto app = std::make_unique<AppState>();
  app->PresetList = {WorkingPreset()};
  app->WorkingSettings = Task();
  Load(app->Files, root, count);
  double longestGap = 0;
  QElapsedTimer sinceTick;
  QTimer ticker;
  ticker.setInterval(10);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    longestGap = std::max(longestGap, sinceTick.nsecsElapsed() / 1e6);
    sinceTick.restart();
  });
  const Clock::time_point start = Clock::now();
  auto window = std::make_unique<MainWindow>(*app);
  window->resize(800, 600);
  window->show();
  const double built = Seconds(start);
  sinceTick.start();
  ticker.start();
  bool planned = false;
  QObject::connect(window->Files()->NewNames(), &NewNamePreview::PlanChanged,
                   [&] { planned = window->Files()->NewNames()->Plan() != nullptr; });
  int progressShown = 0;
  QObject::connect(window->Files()->NewNames(), &NewNamePreview::ProgressChanged, [&] {
    if (window->Files()->NewNames()->Progress() >= 0) ++progressShown;
  });
  while (!planned) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const double shown = Seconds(start);
  ticker.stop();
  std::printf("window built              %8.3f s\n", built);
  std::printf("names shown after         %8.3f s   (progress shown %d times)\n", shown,
              progressShown);
  std::printf("longest gap between ticks %8.1f ms  (target < 100)\n", longestGap);
  std::printf("status line: %s\n", qPrintable(window->StatusText()));
}

// From an edit to the names on screen, for a list of 10,000.
void EditLatency(const QString& root) {
  constexpr long kCount = 10000;
  std::printf("\n== %ld entries, an edit\n", kCount);
  auto app = std::make_unique<AppState>();
  app->PresetList = {WorkingPreset()};
  app->WorkingSettings = Task();
  Load(app->Files, root, kCount);
  auto window = std::make_unique<MainWindow>(*app);
  window->show();
  while (!window->Files()->NewNames()->Idle() || window->Files()->Model()->Plan() == nullptr)
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  double worst = 0;
  double total = 0;
  constexpr int kEdits = 5;
  for (int i = 0; i < kEdits; ++i) {
    bool shown = false;
    const auto connection = QObject::connect(window->Files()->NewNames(),
                                             &NewNamePreview::PlanChanged, [&] { shown = true; });
    const QString text = QStringLiteral("edit %1 %FN% %001%").arg(i);
    const Clock::time_point start = Clock::now();
    window->Field(FieldKind::NameTemplate)->setText(text);
    while (!shown) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double elapsed = Seconds(start) * 1000;
    QObject::disconnect(connection);
    worst = std::max(worst, elapsed);
    total += elapsed;
  }
  std::printf(
      "edit to names shown       %8.1f ms average, %.1f ms worst (target 300; %lld ms of "
      "it is the quiet time)\n",
      total / kEdits, worst, static_cast<long long>(NewNamePreview::kQuietDelay));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
#ifdef NDEBUG
  long entries = 1000000;
  long windowEntries = 1000000;
#else
  long entries = 20000;
  long windowEntries = 20000;
#endif
  if (argc > 1) entries = std::max(1L, std::atol(argv[1]));
  if (argc > 2) windowEntries = std::max(1L, std::atol(argv[2]));
  if (!LoadProductTexts() || !LoadLanguageTable(1) || !DecodeEmbeddedImages()) return 1;

  // A memory file system makes a million files in seconds where a disk takes minutes; the look-ups
  // of a warm cache cost the same on both. MERVANE_BENCH_TREE names another place.
  std::string base = QDir::tempPath().toStdString();
  if (const char* env = std::getenv("MERVANE_BENCH_TREE"))
    base = env;
  else if (::access("/dev/shm", W_OK) == 0)
    base = "/dev/shm";
  std::string root = base + "/mervane-bench-XXXXXX";
  if (::mkdtemp(root.data()) == nullptr) return 1;
  const QString tree = DecodeFileName(root);
  const long files = std::max(entries, windowEntries);
  const Clock::time_point made = Clock::now();
  if (!MakeTree(tree, files)) {
    std::perror("creating the tree");
    bench::RemoveTree(root);
    return 1;
  }
  std::printf("tree: %ld files in folders of %ld under %s (%.1f s)\n", files, kPerFolder,
              root.c_str(), Seconds(made));
  EnginePlan(tree, entries);
  WindowPlan(tree, windowEntries);
  EditLatency(tree);
  bench::RemoveTree(root);
  return 0;
}
