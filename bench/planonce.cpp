// One side of the new-name column's benchmark, run once, for a profiler: the engine's bare name
// building of the entries, or the plan the column keeps (PlanNewNames with its disk look-ups).
// Instruction counts of the two, taken in one run, compare without the noise of the machine:
//
//   valgrind --tool=callgrind --toggle-collect='*PlanOnce*' --toggle-collect='*BuildOnce*'
//            bench_planonce 100000
//   callgrind_annotate --inclusive=yes callgrind.out.<pid> | grep Once
//
//   bench_planonce [entries] [bare|plan|both] [rounds]   (defaults 100000, both, 1)
//
// The tree of empty files is made under /dev/shm (or the temporary folder) once per size and
// kept for the next run, so that a profile sees the planning alone; it is named on exit.

#include "fileops/NewNamePlan.h"
#include "fileops/RunValues.h"
#include "fileops/TargetBuilder.h"

#include "NewNamesTask.h"

#include <QCoreApplication>
#include <QDir>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

using namespace newnames;

double ThreadSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

__attribute__((noinline)) qsizetype BuildOnce(const FileList& list, const Preset& settings,
                                              const TargetPlan& targets) {
  CounterMap counters(targets.CounterStart, targets.CounterWidth, false);
  const PathTaken nothingTaken = [](const QString&) { return false; };
  qsizetype chars = 0;
  for (const FileEntry& entry : list)
    chars += BuildTarget(entry, settings, targets, counters, nothingTaken).Path.size();
  return chars;
}

__attribute__((noinline)) qsizetype PlanOnce(const FileList& list, const Preset& settings,
                                             const RunValues& values) {
  const NewNamePlan plan = PlanNewNames(list, settings, values, NewNameInputs{});
  return plan.Count() - plan.Problems();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const long count = argc > 1 ? std::max(1L, std::atol(argv[1])) : 100000;
  const char* const side = argc > 2 ? argv[2] : "both";
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;
  const bool bare = std::strcmp(side, "plan") != 0;
  const bool plan = std::strcmp(side, "bare") != 0;

  const QString base =
      ::access("/dev/shm", W_OK) == 0 ? QStringLiteral("/dev/shm") : QDir::tempPath();
  const QString root = base + QStringLiteral("/mervane-planonce-%1").arg(count);
  if (!QDir(root).exists()) {
    if (!QDir().mkpath(root) || !MakeTree(root, count)) {
      std::perror("creating the tree");
      return 1;
    }
  }
  const Preset settings = Task();
  FileList list;
  Load(list, root, count);
  const RunValues values = PrepareRunValues(settings, list.Count(), PathFolders{}, 0);
  const TargetPlan targets = PlanTargets(settings, values.PreparedNameTemplate,
                                         values.PreparedTargetDir, false, QString());
  double bareTime = 1e9;
  double planTime = 1e9;
  for (int round = 0; round < rounds; ++round) {
    if (bare) {
      const double start = ThreadSeconds();
      if (BuildOnce(list, settings, targets) == 0) std::printf("nothing built\n");
      bareTime = std::min(bareTime, ThreadSeconds() - start);
    }
    if (plan) {
      // As in the benchmark: the plan finds no pages the process kept from before.
      ::malloc_trim(0);
      const double start = ThreadSeconds();
      if (PlanOnce(list, settings, values) == 0) std::printf("nothing planned\n");
      planTime = std::min(planTime, ThreadSeconds() - start);
    }
  }
  if (bare) std::printf("bare name building   %8.3f s\n", bareTime);
  if (plan) std::printf("plan for the column  %8.3f s\n", planTime);
  if (bare && plan) std::printf("plan / bare          %8.2f\n", planTime / bareTime);
  std::printf("tree kept: %s\n", qPrintable(root));
  return 0;
}
