// Renaming many files in one folder by a name template with a counter: the console program
// against perl's rename (File::Rename) doing the same renames, and against a plain loop of
// renameat2 calls. Each is timed on a fresh folder of the same files in the same run, so the
// ratios hold on a busy machine too.
//
//   bench_rename [file count]     (MERVANE_BENCH_FILES also sets it; the default is 100000 in
//                                  an optimised build, 2000 in a debug build)
//
// The program runs in a private world (HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR, TMPDIR in the
// benchmark's folder) with a presets file whose preset 1 renames every file to
// "<name>-<counter>.dat". Its time includes start-up, loading, the checks and the fixed 1.5 s
// pause after a successful run; the figure without that pause is printed as well.

#include "settings/BuiltinPresets.h"
#include "settings/PresetsFile.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

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

constexpr double kProgramPauseSeconds = 1.5;

std::string FileName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "f%07d.dat", i);
  return name;
}

void MakeFolderOfFiles(const std::string& folder, int count) {
  ::mkdir(folder.c_str(), 0755);
  for (int i = 0; i < count; ++i) {
    const int fd = ::open((folder + "/" + FileName(i)).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0 || ::write(fd, "x", 1) != 1) {
      std::perror("creating the files");
      std::exit(1);
    }
    ::close(fd);
  }
}

// Files whose names carry a counter ("-" before the extension).
int CountRenamed(const std::string& folder) {
  int renamed = 0;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d))
      if (std::strchr(e->d_name, '-') != nullptr) ++renamed;
    ::closedir(d);
  }
  return renamed;
}

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
  return ::remove(path);
}
void RemoveTree(const std::string& folder) {
  ::nftw(folder.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

// Runs a program and waits; `input` (when not empty) is fed to its standard input.
double TimedRun(std::vector<std::string> args, const std::vector<std::string>& env,
                const std::string& workFolder, const std::string& input, int& exitCode) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> envCopy = env;
  std::vector<char*> envp;
  for (std::string& entry : envCopy) envp.push_back(entry.data());
  envp.push_back(nullptr);

  const std::string inputFile = workFolder + "/.input";
  {
    const int fd = ::open(inputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, input.data(), input.size()) != static_cast<ssize_t>(input.size()))
      std::exit(1);
    ::close(fd);
  }
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open(inputFile.c_str(), O_RDONLY);
    const int out = ::open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
        ::chdir(workFolder.c_str()) != 0)
      ::_exit(127);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ::unlink(inputFile.c_str());
  return seconds;
}

double PlainLoop(const std::string& folder, int count) {
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  const auto start = Clock::now();
  char from[32];
  char to[48];
  for (int i = 0; i < count; ++i) {
    std::snprintf(from, sizeof from, "f%07d.dat", i);
    std::snprintf(to, sizeof to, "f%07d-%06d.dat", i, i + 1);
    if (::renameat2(dir, from, dir, to, RENAME_NOREPLACE) != 0) std::perror("renameat2");
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(dir);
  return seconds;
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

  const char* tmp = std::getenv("TMPDIR");
  std::string root = std::string(tmp && *tmp ? tmp : "/tmp") + "/mervane-bench-XXXXXX";
  if (::mkdtemp(root.data()) == nullptr) return 1;
  for (const char* folder : {"/home", "/config", "/runtime", "/tmp"})
    ::mkdir((root + folder).c_str(), 0755);

  // Preset 1 renames in place: "<name>-<counter>.dat", the counter six digits wide.
  if (!LoadProductTexts() || !LoadLanguageTable(kLanguageEnglish)) return 1;
  Preset preset;
  preset.PresetNumber = 1;
  preset.PresetName = QStringLiteral("Bench");
  preset.TargetDirActive = 0;
  preset.NameTemplateActive = 1;
  preset.NameTemplate = QStringLiteral("%FN%-%000001%");
  const std::string settings = root + "/config/" + ProductTexts[0].toStdString();
  ::mkdir(settings.c_str(), 0755);
  if (!SavePresets(QString::fromStdString(settings + "/Presets"), {WorkingPreset(), preset}, 0))
    return 1;

  std::vector<std::string> env = {"HOME=" + root + "/home", "XDG_CONFIG_HOME=" + root + "/config",
                                  "XDG_RUNTIME_DIR=" + root + "/runtime", "TMPDIR=" + root + "/tmp",
                                  "LANG=C.UTF-8"};
  if (const char* path = std::getenv("PATH")) env.push_back(std::string("PATH=") + path);

  std::printf("%d files in one folder\n", count);

  // The program.
  const std::string programFolder = root + "/program";
  MakeFolderOfFiles(programFolder, count);
  int exitCode = 0;
  const double program =
      TimedRun({MERVANE_BINARY, "-Console", "-Preset=1", "-IgnoreWarning", programFolder}, env,
               root, {}, exitCode);
  const int programRenamed = CountRenamed(programFolder);
  RemoveTree(programFolder);
  if (exitCode != 0 || programRenamed != count) {
    std::printf("program failed: exit code %d, %d of %d renamed\n", exitCode, programRenamed,
                count);
    return 1;
  }

  // perl's rename, names on standard input, the same counter.
  const std::string perlFolder = root + "/perl";
  MakeFolderOfFiles(perlFolder, count);
  std::string names;
  for (int i = 0; i < count; ++i) names += FileName(i) + "\n";
  const char* perlRename =
      ::access("/usr/bin/file-rename", X_OK) == 0 ? "/usr/bin/file-rename" : "/usr/bin/rename";
  const double perl = TimedRun({perlRename, R"(s/\.dat$/sprintf("-%06d.dat", ++$::n)/e)"}, env,
                               perlFolder, names, exitCode);
  const int perlRenamed = CountRenamed(perlFolder);
  RemoveTree(perlFolder);
  if (exitCode != 0 || perlRenamed != count) {
    std::printf("perl rename failed: exit code %d, %d of %d renamed\n", exitCode, perlRenamed,
                count);
    return 1;
  }

  // The plain loop.
  const std::string loopFolder = root + "/loop";
  MakeFolderOfFiles(loopFolder, count);
  const double loop = PlainLoop(loopFolder, count);
  RemoveTree(loopFolder);
  // MERVANE_BENCH_KEEP keeps the private world (settings included) for profiling by hand.
  if (std::getenv("MERVANE_BENCH_KEEP"))
    std::printf("kept %s\n", root.c_str());
  else
    RemoveTree(root);

  const double programWork = program - kProgramPauseSeconds;
  std::printf("program          %8.3f s  (%.3f s without the 1.5 s result pause)\n", program,
              programWork);
  std::printf("perl rename      %8.3f s\n", perl);
  std::printf("renameat2 loop   %8.3f s\n", loop);
  std::printf("program / perl   %8.2f   (%.2f without the pause; target <= 1.2)\n", program / perl,
              programWork / perl);
  std::printf("program / loop   %8.2f   (%.2f without the pause; target <= 2)\n", program / loop,
              programWork / loop);
  return 0;
}
