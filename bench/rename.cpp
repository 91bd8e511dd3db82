// Renaming many empty files in one folder in place: the console program with the template
// "b%FN%" against perl's rename (File::Rename, names on standard input) doing the same renames,
// and against a plain C loop of renameat2(RENAME_NOREPLACE) calls over the folder. Each is timed
// on a fresh folder of the same files, taking turns, a few rounds; the fastest of each kind
// counts, so the ratios hold on a busy machine too.
// The program's standard output is a pipe, as in a script. A second program run numbers the
// files with a counter ("<name>-<counter>"), which costs a look-up per file. A third runs
// "b%FN%" without its undo journal (MERVANE_JOURNAL=off, read only by test and benchmark builds),
// so that the journal's share of the run shows beside the rest.
//
//   bench_rename [file count [rounds]]   (MERVANE_BENCH_FILES also sets the count; the default
//                                         is 100000 in an optimised build, 2000 in a debug
//                                         build, and 3 rounds)
//
// The program runs in a private world (HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR, TMPDIR in the
// benchmark's folder) with a presets file whose preset 1 renames every file to "b<name>" and
// preset 2 to "<name>-<counter>". Its time includes start-up, loading and the checks.

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

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string FileName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "f%07d.dat", i);
  return name;
}

void MakeFolderOfFiles(const std::string& folder, int count) {
  ::mkdir(folder.c_str(), 0755);
  for (int i = 0; i < count; ++i) {
    const int fd = ::open((folder + "/" + FileName(i)).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
      std::perror("creating the files");
      std::exit(1);
    }
    ::close(fd);
  }
}

// Files whose names were changed: they begin with "b" or carry a counter.
int CountRenamed(const std::string& folder) {
  int renamed = 0;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] == 'b' || std::strchr(e->d_name, '-') != nullptr) ++renamed;
    ::closedir(d);
  }
  return renamed;
}

// The plain loop: list the folder, then one renameat2 per file, prefixing "b".
double PlainLoop(const std::string& folder) {
  const auto start = Clock::now();
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  std::vector<std::string> names;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    ::closedir(d);
  }
  std::string to;
  for (const std::string& from : names) {
    to = "b" + from;
    if (::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE) != 0)
      std::perror("renameat2");
  }
  ::close(dir);
  return std::chrono::duration<double>(Clock::now() - start).count();
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

  // Preset 1 renames in place to "b<name>"; preset 2 to "<name>-<counter>", six digits wide.
  if (!LoadProductTexts() || !LoadLanguageTable(kLanguageEnglish)) return 1;
  Preset preset;
  preset.PresetNumber = 1;
  preset.PresetName = QStringLiteral("Bench");
  preset.TargetDirActive = 0;
  preset.NameTemplateActive = 1;
  preset.NameTemplate = QStringLiteral("b%FN%");
  Preset counted = preset;
  counted.PresetNumber = 2;
  counted.NameTemplate = QStringLiteral("%FN%-%000001%");
  const std::string settings = root + "/config/" + ProductTexts[0].toStdString();
  ::mkdir(settings.c_str(), 0755);
  if (!SavePresets(QString::fromStdString(settings + "/Presets"),
                   {WorkingPreset(), preset, counted}, 0))
    return 1;

  const std::vector<std::string> env = bench::WorldEnvironment(root);

  std::printf("%d files in one folder, %d rounds\n", count, rounds);

  // The program, without and with a counter.
  std::vector<std::string> withoutJournal = env;
  withoutJournal.push_back("MERVANE_JOURNAL=off");
  const auto runProgram = [&](const char* presetOption, double& seconds, bool journal = true) {
    const std::string folder = root + "/program";
    MakeFolderOfFiles(folder, count);
    int exitCode = 0;
    seconds = bench::TimedRun({MERVANE_BINARY, "-Console", presetOption, "-IgnoreWarning", folder},
                              journal ? env : withoutJournal, root, exitCode);
    const int renamed = CountRenamed(folder);
    bench::RemoveTree(folder);
    if (exitCode != 0 || renamed != count) {
      std::printf("program failed: exit code %d, %d of %d renamed\n", exitCode, renamed, count);
      return false;
    }
    return true;
  };
  // perl's rename, names on standard input.
  std::string names;
  for (int i = 0; i < count; ++i) names += FileName(i) + "\n";
  const char* perlRename =
      ::access("/usr/bin/file-rename", X_OK) == 0 ? "/usr/bin/file-rename" : "/usr/bin/rename";
  const auto runPerl = [&](double& seconds) {
    int exitCode = 0;
    const std::string folder = root + "/perl";
    MakeFolderOfFiles(folder, count);
    seconds = bench::TimedRun({perlRename, "s/^/b/"}, env, folder, exitCode, names);
    const int renamed = CountRenamed(folder);
    bench::RemoveTree(folder);
    if (exitCode != 0 || renamed != count) {
      std::printf("perl rename failed: exit code %d, %d of %d renamed\n", exitCode, renamed, count);
      return false;
    }
    return true;
  };

  // The plain loop.
  const auto runLoop = [&](double& seconds) {
    const std::string folder = root + "/loop";
    MakeFolderOfFiles(folder, count);
    seconds = PlainLoop(folder);
    const int renamed = CountRenamed(folder);
    bench::RemoveTree(folder);
    return renamed == count;
  };

  // Each kind takes its turn in every round; the fastest of each counts.
  double program = 1e9;
  double programCounter = 1e9;
  double programUnjournaled = 1e9;
  double perl = 1e9;
  double loop = 1e9;
  for (int round = 0; round < rounds; ++round) {
    double p = 0, c = 0, u = 0, r = 0, l = 0;
    if (!runProgram("-Preset=1", p) || !runProgram("-Preset=2", c) ||
        !runProgram("-Preset=1", u, false) || !runPerl(r) || !runLoop(l))
      return 1;
    std::printf(
        "round %d: b%%FN%% %.3f s, counter %.3f s, without journal %.3f s, perl %.3f s, "
        "loop %.3f s\n",
        round + 1, p, c, u, r, l);
    program = std::min(program, p);
    programCounter = std::min(programCounter, c);
    programUnjournaled = std::min(programUnjournaled, u);
    perl = std::min(perl, r);
    loop = std::min(loop, l);
  }
  // MERVANE_BENCH_KEEP keeps the private world (settings included) for profiling by hand.
  if (std::getenv("MERVANE_BENCH_KEEP"))
    std::printf("kept %s\n", root.c_str());
  else
    bench::RemoveTree(root);

  std::printf("program b%%FN%%      %8.3f s\n", program);
  std::printf("program counter    %8.3f s\n", programCounter);
  std::printf("without journal    %8.3f s\n", programUnjournaled);
  std::printf("perl rename        %8.3f s\n", perl);
  std::printf("renameat2 loop     %8.3f s\n", loop);
  std::printf("program / perl     %8.2f   (target <= 1.0)\n", program / perl);
  std::printf("program / loop     %8.2f   (target <= 1.5)\n", program / loop);
  std::printf("journal / without  %8.2f   (target <= 1.1)\n", program / programUnjournaled);
  std::printf("counter / b%%FN%%    %8.2f\n", programCounter / program);
  return 0;
}
