// Renaming many empty files in one folder in place: the console program with the template
// "b%FN%" against perl's rename (File::Rename, names on standard input) doing the same renames,
// and against a plain C loop of renameat2(RENAME_NOREPLACE) calls over the folder. Each is timed
// on a fresh folder of the same files in the same run, so the ratios hold on a busy machine too.
// The program's standard output is a pipe, as in a script. A second program run numbers the
// files with a counter ("<name>-<counter>"), which costs a look-up per file.
//
//   bench_rename [file count]     (MERVANE_BENCH_FILES also sets it; the default is 100000 in
//                                  an optimised build, 2000 in a debug build)
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

  std::printf("%d files in one folder\n", count);

  // The program, without and with a counter.
  const auto runProgram = [&](const char* presetOption, double& seconds) {
    const std::string folder = root + "/program";
    MakeFolderOfFiles(folder, count);
    int exitCode = 0;
    seconds = bench::TimedRun({MERVANE_BINARY, "-Console", presetOption, "-IgnoreWarning", folder},
                              env, root, exitCode);
    const int renamed = CountRenamed(folder);
    bench::RemoveTree(folder);
    if (exitCode != 0 || renamed != count) {
      std::printf("program failed: exit code %d, %d of %d renamed\n", exitCode, renamed, count);
      return false;
    }
    return true;
  };
  double program = 0;
  double programCounter = 0;
  if (!runProgram("-Preset=1", program) || !runProgram("-Preset=2", programCounter)) return 1;

  // perl's rename, names on standard input.
  int exitCode = 0;
  const std::string perlFolder = root + "/perl";
  MakeFolderOfFiles(perlFolder, count);
  std::string names;
  for (int i = 0; i < count; ++i) names += FileName(i) + "\n";
  const char* perlRename =
      ::access("/usr/bin/file-rename", X_OK) == 0 ? "/usr/bin/file-rename" : "/usr/bin/rename";
  const double perl = bench::TimedRun({perlRename, "s/^/b/"}, env, perlFolder, exitCode, names);
  const int perlRenamed = CountRenamed(perlFolder);
  bench::RemoveTree(perlFolder);
  if (exitCode != 0 || perlRenamed != count) {
    std::printf("perl rename failed: exit code %d, %d of %d renamed\n", exitCode, perlRenamed,
                count);
    return 1;
  }

  // The plain loop.
  const std::string loopFolder = root + "/loop";
  MakeFolderOfFiles(loopFolder, count);
  const double loop = PlainLoop(loopFolder);
  const int loopRenamed = CountRenamed(loopFolder);
  bench::RemoveTree(loopFolder);
  if (loopRenamed != count) return 1;
  // MERVANE_BENCH_KEEP keeps the private world (settings included) for profiling by hand.
  if (std::getenv("MERVANE_BENCH_KEEP"))
    std::printf("kept %s\n", root.c_str());
  else
    bench::RemoveTree(root);

  std::printf("program b%%FN%%      %8.3f s\n", program);
  std::printf("program counter    %8.3f s\n", programCounter);
  std::printf("perl rename        %8.3f s\n", perl);
  std::printf("renameat2 loop     %8.3f s\n", loop);
  std::printf("program / perl     %8.2f   (target <= 1.0)\n", program / perl);
  std::printf("program / loop     %8.2f   (target <= 1.5)\n", program / loop);
  std::printf("counter / b%%FN%%    %8.2f\n", programCounter / program);
  return 0;
}
