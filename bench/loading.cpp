// Loading a large tree: our loader against `find` printing size and time of every file on the
// same tree, both with a warm cache, taking turns five times; the median of each side counts.
// Prints both times, their ratio, the memory the loaded list holds per entry and the peak
// resident size of the whole process (the console's load is this same AddPaths call).
//
//   bench_loading [files] [folders] [rounds]
//                                (or MERVANE_BENCH_FILES=files; default 200000 in a release
//                                build, 2000 in the test build; in 200 folders unless given;
//                                five rounds, one from two million files on)
//   MERVANE_BENCH_TREE=folder    load that tree instead (made there once and kept, for
//                                profiling or for a tree too large to make on each run)
//
// Ten million files in ten thousand folders, on the disk (tmpfs has too few inodes):
//   MERVANE_BENCH_TREE=/work/tree10m bench_loading 10000000 10000

#include "filelist/Loader.h"
#include "platform/FileName.h"

#include "BenchSupport.h"

#include <QDir>

#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ftw.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using bench::Clock;
using bench::Seconds;

double CpuSeconds(int who) {
  struct rusage usage {};
  ::getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall-clock and processor time of one `find` over the tree; wall time < 0 when it failed.
double RunFind(const std::string& root, double& cpu) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::string rootArg = root;
  char find[] = "find";
  char type[] = "-type";
  char f[] = "f";
  char printf[] = "-printf";
  char format[] = "%s %T@\\n";
  char* argv[] = {find, rootArg.data(), type, f, printf, format, nullptr};
  const double cpuBefore = CpuSeconds(RUSAGE_CHILDREN);
  const auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, "find", &actions, nullptr, argv, environ) != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double elapsed = Seconds(start);
  cpu = CpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
  posix_spawn_file_actions_destroy(&actions);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Bytes handed out by malloc, those in blocks of their own (mapped, like large arrays) included.
size_t HeapBytes() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

void ResetPeakRss() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

}  // namespace

int main(int argc, char** argv) {
#ifdef NDEBUG
  long files = 200000;
#else
  long files = 2000;  // the test build (sanitizers, no optimisation): a quick run only
#endif
  if (const char* env = std::getenv("MERVANE_BENCH_FILES")) files = std::atol(env);
  if (argc > 1) files = std::atol(argv[1]);
  if (files < 1) files = 1;
  long folders = argc > 2 ? std::atol(argv[2]) : 200;
  folders = std::clamp<long>(folders, 1, files);
  int rounds = files >= 2000000 ? 1 : 5;
  if (argc > 3) rounds = std::max(1, std::atoi(argv[3]));

  std::string root;
  const char* kept = std::getenv("MERVANE_BENCH_TREE");
  if (kept != nullptr && *kept != '\0' && ::access(kept, F_OK) == 0) {
    root = kept;
    std::printf("tree: kept under %s\n", root.c_str());
  } else {
    root = kept != nullptr && *kept != '\0'
               ? std::string(kept)
               : QDir::tempPath().toStdString() + "/mervane-bench-XXXXXX";
    if (kept != nullptr && *kept != '\0' ? ::mkdir(root.c_str(), 0755) != 0
                                         : ::mkdtemp(root.data()) == nullptr) {
      std::perror(root.c_str());
      return 1;
    }
    std::printf("tree: %ld files in %ld folders under %s\n", files, folders, root.c_str());
    const auto made = Clock::now();
    if (!bench::MakePhotoTree(root, files, folders)) {
      std::perror("creating the tree");
      bench::RemoveTree(root);
      return 1;
    }
    std::printf("created in %.2f s\n", Seconds(made));
  }

  Preset settings;
  settings.IncludeSubdirectories = 1;
  const QString paths = DecodeFileName(root);

  // Warm the cache for both sides before anything is timed.
  double cpu = 0;
  RunFind(root, cpu);
  {
    FileList warm;
    LoadFlags flags;
    AddPaths(paths, warm, settings, flags);
  }

  const int kRounds = rounds;
  std::vector<double> findTimes, loadTimes, findCpus, loadCpus;
  qsizetype loaded = 0;
  size_t retainedBytes = 0;
  long peakKiB = 0;
  long processPeakKiB = 0;
  for (int round = 0; round < kRounds; ++round) {
    const double findTime = RunFind(root, cpu);
    if (findTime < 0) {
      std::fprintf(stderr, "find failed\n");
      return 1;
    }
    findTimes.push_back(findTime);
    findCpus.push_back(cpu);

    ::malloc_trim(0);
    const size_t heapBefore = HeapBytes();
    const long rssBefore = bench::StatusKiB("VmRSS:");
    ResetPeakRss();
    FileList list;
    LoadFlags flags;
    const double cpuBefore = CpuSeconds(RUSAGE_SELF);
    const auto start = Clock::now();
    loaded = AddPaths(paths, list, settings, flags);
    loadTimes.push_back(Seconds(start));
    loadCpus.push_back(CpuSeconds(RUSAGE_SELF) - cpuBefore);
    retainedBytes = HeapBytes() - heapBefore;
    processPeakKiB = std::max(processPeakKiB, bench::StatusKiB("VmHWM:"));
    peakKiB = bench::StatusKiB("VmHWM:") - rssBefore;
  }
  const double findMedian = Median(findTimes);
  const double loadMedian = Median(loadTimes);

  std::printf("entries loaded:  %lld\n", static_cast<long long>(loaded));
  std::printf("find:            %.3f s (median of %d)\n", findMedian, kRounds);
  std::printf("AddPaths:        %.3f s (median of %d)\n", loadMedian, kRounds);
  // The targets: 1.25 for the usual tree, 1.3 for ten million files.
  std::printf("ratio:           %.2f (target at most %.2f)\n", loadMedian / findMedian,
              files >= 2000000 ? 1.3 : 1.25);
  // Processor time is steadier than wall time on a machine that others share.
  std::printf("processor time:  find %.3f s, AddPaths %.3f s, ratio %.2f\n", Median(findCpus),
              Median(loadCpus), Median(loadCpus) / Median(findCpus));
#ifdef __SANITIZE_ADDRESS__
  std::printf("memory figures:  not measured under AddressSanitizer (use a release build)\n");
  const bool measureMemory = false;
#else
  const bool measureMemory = true;
#endif
  if (measureMemory && loaded > 0) {
    std::printf(
        "heap per entry:  %.0f bytes (held by the loaded list and its indexes; "
        "target at most 250)\n",
        static_cast<double>(retainedBytes) / static_cast<double>(loaded));
    std::printf("peak RSS growth: %.0f bytes per entry while loading\n",
                static_cast<double>(peakKiB) * 1024.0 / static_cast<double>(loaded));
    // The target is for ten million files: under 3 GB for the whole process.
    std::printf(
        "peak RSS:        %.2f GB of the whole process (VmHWM; target under 3 GB at "
        "ten million files)\n",
        static_cast<double>(processPeakKiB) * 1024.0 / 1e9);
  }
  if (kept == nullptr || *kept == '\0') {
    bench::RemoveTree(root);
    return loaded == files ? 0 : 1;
  }
  return loaded > 0 ? 0 : 1;
}
