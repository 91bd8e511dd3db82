// What the undo journal costs, and what undo costs: the console program renaming many empty
// files in one folder in place ("b<name>") with its journal, against the same run without one
// (MERVANE_JOURNAL=off, a switch only benchmarks and tests use), and "--undo" of the journaled
// run against the run itself. Each run works on a fresh folder of the same files, in the same
// benchmark run, alternating, a few rounds; the fastest of each kind counts, so that the ratios
// hold on a busy machine too. The program's standard output is a pipe, as in a script.
//
//   bench_undo [file count [rounds]]   (MERVANE_BENCH_FILES also sets the count; the default is
//                                       100000 files in an optimised build, 2000 in a debug
//                                       build, and 3 rounds)
//
// The program runs in a private world (HOME, XDG_CONFIG_HOME, XDG_STATE_HOME, XDG_RUNTIME_DIR,
// TMPDIR in the benchmark's folder, below $TMPDIR): the journal is written where the files are,
// on the same disk, as for a user whose files live in the home folder. Its time includes
// start-up, loading and the checks.

#include "settings/BuiltinPresets.h"
#include "settings/PresetsFile.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

#include "BenchSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ftw.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void MakeFolderOfFiles(const std::string& folder, int count) {
  ::mkdir(folder.c_str(), 0755);
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/f%07d.dat", i);
    const int fd = ::open((folder + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
      std::perror("creating the files");
      std::exit(1);
    }
    ::close(fd);
  }
}

// Files whose names begin with `prefix`.
int CountNamed(const std::string& folder, char prefix) {
  int named = 0;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] == prefix) ++named;
    ::closedir(d);
  }
  return named;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef NDEBUG
  int count = 100000;
#else
  int count = 2000;
#endif
  if (const char* env = std::getenv("MERVANE_BENCH_FILES")) count = std::atoi(env);
  if (argc > 1) count = std::atoi(argv[1]);
  if (count <= 0) count = 1000;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

  const std::string root = bench::MakeWorld();
  if (root.empty()) return 1;

  // Preset 1 renames in place to "b<name>".
  if (!LoadProductTexts() || !LoadLanguageTable(kLanguageEnglish)) return 1;
  Preset preset;
  preset.PresetNumber = 1;
  preset.PresetName = QStringLiteral("Bench");
  preset.TargetDirActive = 0;
  preset.NameTemplateActive = 1;
  preset.NameTemplate = QStringLiteral("b%FN%");
  const std::string settings = root + "/config/" + ProductTexts[0].toStdString();
  ::mkdir(settings.c_str(), 0755);
  if (!SavePresets(QString::fromStdString(settings + "/Presets"), {WorkingPreset(), preset}, 0))
    return 1;

  const std::vector<std::string> env = bench::WorldEnvironment(root);
  std::vector<std::string> withoutJournal = env;
  withoutJournal.push_back("MERVANE_JOURNAL=off");

  std::printf("%d files in one folder, %d rounds\n", count, rounds);
  const std::string folder = root + "/files";
  double bestWithout = 1e9;
  double bestWith = 1e9;
  double bestUndo = 1e9;
  for (int round = 0; round < rounds; ++round) {
    int exitCode = 0;
    MakeFolderOfFiles(folder, count);
    const double without =
        bench::TimedRun({MERVANE_BINARY, "-Console", "-Preset=1", "-IgnoreWarning", folder},
                        withoutJournal, root, exitCode);
    if (exitCode != 0 || CountNamed(folder, 'b') != count) {
      std::printf("the run without journal failed: exit code %d\n", exitCode);
      return 1;
    }
    bench::RemoveTree(folder);

    MakeFolderOfFiles(folder, count);
    const double with = bench::TimedRun(
        {MERVANE_BINARY, "-Console", "-Preset=1", "-IgnoreWarning", folder}, env, root, exitCode);
    if (exitCode != 0 || CountNamed(folder, 'b') != count) {
      std::printf("the run with journal failed: exit code %d\n", exitCode);
      return 1;
    }
    const double undo =
        bench::TimedRun({MERVANE_BINARY, "-Console", "--undo"}, env, root, exitCode);
    if (exitCode != 0 || CountNamed(folder, 'f') != count) {
      std::printf("undo failed: exit code %d, %d of %d back\n", exitCode, CountNamed(folder, 'f'),
                  count);
      return 1;
    }
    bench::RemoveTree(folder);
    std::printf("round %d: without journal %.3f s, with journal %.3f s, undo %.3f s\n", round + 1,
                without, with, undo);
    bestWithout = std::min(bestWithout, without);
    bestWith = std::min(bestWith, with);
    bestUndo = std::min(bestUndo, undo);
  }
  // MERVANE_BENCH_KEEP keeps the private world (journals included) for a look by hand.
  if (std::getenv("MERVANE_BENCH_KEEP"))
    std::printf("kept %s\n", root.c_str());
  else
    bench::RemoveTree(root);

  std::printf("run without journal  %8.3f s\n", bestWithout);
  std::printf("run with journal     %8.3f s\n", bestWith);
  std::printf("undo of that run     %8.3f s\n", bestUndo);
  std::printf("journal / without    %8.2f   (target <= 1.15)\n", bestWith / bestWithout);
  std::printf("undo / run           %8.2f   (target <= 1.5)\n", bestUndo / bestWith);
  return 0;
}
