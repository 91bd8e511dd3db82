// The new-name column under checksums: what a screenful of newly read checksums costs the
// background, measured against planning the whole list again (what each screenful cost before
// the plan could be updated) in the same run.
//
// A million entries, real (empty) files in a temporary tree (in /dev/shm where there is one),
// named "%CC%" in place. The checksums arrive 40 rows at a time as while scrolling: down from the
// top, up from the end, and jumps anywhere; every third file shares its checksum with another
// one, so clashes come and go. Each batch is an update of the plan (PlanNewNameUpdate, the
// worker's part, and ApplyNewNameUpdate, the GUI thread's part), timed in processor time of
// this thread. Target: under 50 ms of background work per screenful.
//
// Then the window with the same list, scrolled 30 pages: each page's checksums are read and the
// column's plan updated; the time until a page shows its names, the updates made, and the
// longest gap between two ticks of a 10 ms timer (the GUI thread's longest wait).
//
//   bench_replan [entries] [batches]   (defaults 1000000 and 300; 20000 and 100 in a debug build)

#include "app/AppState.h"
#include "app/ImageStore.h"
#include "filelist/FileList.h"
#include "fileops/NewNameIndex.h"
#include "fileops/NewNamePlan.h"
#include "fileops/RunValues.h"
#include "naming/PlaceholderTable.h"
#include "platform/FileName.h"
#include "settings/BuiltinPresets.h"
#include "texts/TextLoader.h"
#include "ui/list/FileListModel.h"
#include "ui/list/FileListView.h"
#include "ui/list/LoadedFiles.h"
#include "ui/list/NewNameContent.h"
#include "ui/list/NewNamePreview.h"
#include "ui/window/MainWindow.h"

#include "BenchSupport.h"
#include "NewNamesTask.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <vector>

namespace {

using namespace newnames;

double ThreadSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// The checksum the file at `pos` is given: every third one shares it with its neighbour.
QString ChecksumOf(long pos) {
  const long key = pos % 3 == 0 ? pos + 1 : pos;
  const auto value = static_cast<uint32_t>(static_cast<uint64_t>(key) * 2654435761u);
  return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

// The window with the same list, scrolled a page at a time: the checksums of the rows on screen
// are read (the files are empty: every one has the same, so the rows of a folder all clash) and
// the column's plan is updated. The longest gap between two ticks of a 10 ms timer shows what
// the GUI thread waited for.
void Window(const QString& tree, long entries, int pages) {
  std::printf("\n== the window, %ld entries, scrolled %d pages\n", entries, pages);
  auto app = std::make_unique<AppState>();
  app->PresetList = {WorkingPreset()};
  Preset settings = Task();
  settings.NameTemplate = QStringLiteral("%CC%");
  settings.CaseActive = 0;
  settings.ReplaceActive = 0;
  app->WorkingSettings = settings;
  Load(app->Files, tree, entries);
  auto window = std::make_unique<MainWindow>(*app);
  window->resize(800, 600);
  window->show();
  NewNamePreview* preview = window->Files()->NewNames();
  FileListModel* model = window->Files()->Model();
  const auto shows = [&](int row) {
    const QString name =
        model->data(model->index(row, FileListModel::kNewNameColumn), Qt::DisplayRole).toString();
    return !name.isEmpty() && !name.contains(QStringLiteral("%CC%"));
  };
  QElapsedTimer clock;
  clock.start();
  while (!preview->Idle() || preview->Plan() == nullptr || !shows(0))
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  std::printf("first names shown after     %8.3f s\n", clock.nsecsElapsed() / 1e9);
  double longestGap = 0;
  QElapsedTimer sinceTick;
  QTimer ticker;
  ticker.setInterval(10);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    longestGap = std::max(longestGap, sinceTick.nsecsElapsed() / 1e6);
    sinceTick.restart();
  });
  const qsizetype updatesBefore = preview->UpdatesApplied();
  sinceTick.start();
  ticker.start();
  QScrollBar* bar = window->Files()->View()->verticalScrollBar();
  std::vector<double> perPage;
  for (int page = 0; page < pages; ++page) {
    clock.restart();
    bar->setValue(bar->value() + bar->pageStep());
    const int last = window->Files()->View()->RowsOnScreen().second;
    while (!preview->Idle() || !shows(last))
      QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    perPage.push_back(clock.nsecsElapsed() / 1e6);
  }
  ticker.stop();
  std::printf("page to its names shown     %8.1f ms  median, %.1f ms worst (reading included)\n",
              Median(perPage), *std::max_element(perPage.begin(), perPage.end()));
  std::printf("updates of the plan         %8lld for %d pages\n",
              static_cast<long long>(preview->UpdatesApplied() - updatesBefore), pages);
  std::printf("longest gap between ticks   %8.1f ms  (target < 100)\n", longestGap);
  std::printf("status line: %s\n", qPrintable(window->StatusText()));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  if (!LoadProductTexts() || !LoadLanguageTable(1) || !DecodeEmbeddedImages()) return 1;
#ifdef NDEBUG
  long entries = 1000000;
  int batches = 300;
#else
  long entries = 20000;
  int batches = 100;
#endif
  if (argc > 1) entries = std::max(1000L, std::atol(argv[1]));
  if (argc > 2) batches = std::max(3, std::atoi(argv[2]));
  constexpr long kScreen = 40;

  std::string base = QDir::tempPath().toStdString();
  if (const char* env = std::getenv("MERVANE_BENCH_TREE"))
    base = env;
  else if (::access("/dev/shm", W_OK) == 0)
    base = "/dev/shm";
  std::string root = base + "/mervane-replan-XXXXXX";
  if (::mkdtemp(root.data()) == nullptr) return 1;
  const QString tree = DecodeFileName(root);
  if (!MakeTree(tree, entries)) {
    std::perror("creating the tree");
    bench::RemoveTree(root);
    return 1;
  }
  FileList list;
  Load(list, tree, entries);
  Preset settings = Task();
  settings.NameTemplate = QStringLiteral("%CC%");
  settings.CaseActive = 0;
  settings.ReplaceActive = 0;
  const RunValues values = PrepareRunValues(settings, list.Count(), PathFolders{}, 0);
  const int checksum = PlaceholderId(u"%CC%");
  QHash<int32_t, KnownContent> known;
  NewNameInputs inputs;
  inputs.ReplaceMemory = kAnswerLeave;
  inputs.Content = &known;

  std::printf("== %ld entries on disk named %%CC%%, checksums %ld rows at a time\n", entries,
              kScreen);
  NewNameIndex index;
  NewNameInputs keeping = inputs;
  keeping.Keep = &index;
  double start = ThreadSeconds();
  NewNamePlan plan = PlanNewNames(list, settings, values, keeping);
  const double first = ThreadSeconds() - start;
  if (!index.Usable()) {
    std::printf("the index is not usable\n");
    bench::RemoveTree(root);
    return 1;
  }
  std::printf("first plan, index kept      %8.3f s\n", first);
  std::printf("plan kept per entry         %8.1f B, index %.1f B\n",
              static_cast<double>(plan.KeptBytes()) / static_cast<double>(entries),
              static_cast<double>(index.KeptBytes()) / static_cast<double>(entries));

  // The screenfuls: a third scrolling down from the top, a third up from the end, a third
  // jumps.
  std::mt19937 random(24);
  std::vector<long> firsts;
  for (int b = 0; b < batches; ++b) {
    if (b < batches / 3)
      firsts.push_back(b * kScreen);
    else if (b < 2 * batches / 3)
      firsts.push_back(entries - (b - batches / 3 + 1) * kScreen);
    else
      firsts.push_back(static_cast<long>(random() % static_cast<unsigned>(entries - kScreen)));
  }
  std::vector<double> work;
  std::vector<double> gui;
  qsizetype replanned = 0;
  for (const long from : firsts) {
    std::vector<int32_t> ids;
    for (long pos = from; pos < from + kScreen; ++pos) {
      const int32_t id = list.At(pos).Id;
      known.insert(id, {true, {{checksum, ChecksumOf(pos)}}});
      ids.push_back(id);
    }
    NewNameUpdate update;
    start = ThreadSeconds();
    const UpdateOutcome outcome = PlanNewNameUpdate(plan, index, list, inputs, ids, update);
    const double worker = ThreadSeconds() - start;
    if (outcome != UpdateOutcome::Updated) {
      std::printf("the update fell back to a whole plan\n");
      bench::RemoveTree(root);
      return 1;
    }
    replanned += update.Replanned;
    start = ThreadSeconds();
    ApplyNewNameUpdate(plan, std::move(update));
    gui.push_back(ThreadSeconds() - start);
    work.push_back(worker + gui.back());
  }

  // The reference: the whole list planned again with the same values, as every screenful did.
  std::vector<double> whole;
  NewNamePlan fresh;
  for (int round = 0; round < 3; ++round) {
    start = ThreadSeconds();
    fresh = PlanNewNames(list, settings, values, inputs);
    whole.push_back(ThreadSeconds() - start);
  }
  // The updated plan is the plan from scratch.
  qsizetype differ = 0;
  for (qsizetype pos = 0; pos < list.Count(); ++pos) {
    const FileEntry& entry = list.At(pos);
    if (plan.TargetPath(pos, entry) != fresh.TargetPath(pos, entry) ||
        plan.Row(pos).Problem != fresh.Row(pos).Problem ||
        plan.OtherEntry(pos) != fresh.OtherEntry(pos))
      ++differ;
  }
  const double perBatch = Median(work);
  const double worst = *std::max_element(work.begin(), work.end());
  const double reference = Median(whole);
  std::printf("whole plan per screenful    %8.3f s   (median of 3, the reference)\n", reference);
  std::printf(
      "update per screenful        %8.3f ms  median, %.3f ms worst of %d (target < 50 ms)\n",
      perBatch * 1000, worst * 1000, batches);
  std::printf("  of it the GUI thread's    %8.3f ms  median\n", Median(gui) * 1000);
  std::printf("  entries planned again     %8.1f per screenful\n",
              static_cast<double>(replanned) / batches);
  std::printf("whole / update              %8.0fx\n", reference / perBatch);
  std::printf("problems %lld, pending %lld; rows unlike the plan from scratch: %lld\n",
              static_cast<long long>(plan.Problems()), static_cast<long long>(plan.Pending()),
              static_cast<long long>(differ));
  // The index is largest when every name is known and every target differs.
  for (long pos = 0; pos < entries; ++pos)
    known.insert(list.At(pos).Id, {true, {{checksum, ChecksumOf(pos)}}});
  NewNameIndex full;
  keeping.Keep = &full;
  const NewNamePlan allKnown = PlanNewNames(list, settings, values, keeping);
  std::printf("index, every name known     %8.1f B per entry (plan %.1f B)\n",
              static_cast<double>(full.KeptBytes()) / static_cast<double>(entries),
              static_cast<double>(allKnown.KeptBytes()) / static_cast<double>(entries));
  Window(tree, entries, 30);
  bench::RemoveTree(root);
  return differ == 0 ? 0 : 1;
}
