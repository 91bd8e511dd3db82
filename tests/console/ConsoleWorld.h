#pragma once

// The real program in console mode in a private world (its own hard link, HOME, XDG_CONFIG_HOME,
// XDG_STATE_HOME, XDG_RUNTIME_DIR and TMPDIR in a temporary folder), run to its end or started
// and left running, so that two real processes can meet; and what a tree holds, to compare.

#include "platform/FileName.h"
#include "records/Preset.h"
#include "settings/BuiltinPresets.h"
#include "settings/PresetsFile.h"
#include "support/ChildProcess.h"
#include "support/Lines.h"
#include "support/TempDir.h"
#include "texts/ProductTitle.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

inline std::string Utf8(const QString& text) {
  return text.toUtf8().toStdString();
}

// Every file below a folder: relative path -> content, mode and modification time; and how many
// of Mervane's own hidden files (temporaries, files set aside) are there.
inline void WalkTree(const std::string& root, const std::string& relative,
                     std::map<std::string, std::string>& files, int& own) {
  DIR* dir = ::opendir((root + relative).c_str());
  if (dir == nullptr) return;
  while (dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = relative + name;
    struct stat st {};
    ::lstat((root + path).c_str(), &st);
    if (S_ISDIR(st.st_mode)) {
      WalkTree(root, path + "/", files, own);
      continue;
    }
    if (name.rfind(".mervane-", 0) == 0) ++own;
    char facts[96];
    std::snprintf(facts, sizeof facts, " mode %o mtime %lld.%09ld", st.st_mode & 07777,
                  static_cast<long long>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec);
    files[path] = ReadFileBytes(root + path) + facts;
  }
  ::closedir(dir);
}

inline std::map<std::string, std::string> Tree(const std::string& root, int* own = nullptr) {
  std::map<std::string, std::string> files;
  int found = 0;
  WalkTree(root, {}, files, found);
  if (own != nullptr) *own = found;
  return files;
}

// A program started and not waited for.
struct Started {
  pid_t pid = -1;
  FILE* out = nullptr;
  FILE* err = nullptr;
};

inline struct stat StatOf(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st;
}

// One private world: a test may make several, one per row of a table.
class World {
 public:
  World() {
    program_ = dir_.MakeDir("program") + "mervane";
    if (::link(MERVANE_BINARY, program_.c_str()) != 0) {
      dir_.WriteFile("program/mervane", ReadFileBytes(MERVANE_BINARY));
      ::chmod(program_.c_str(), 0755);
    }
    for (const char* folder :
         {"home/Desktop", "config", "state", "runtime", "runtime2", "tmp", "work"})
      dir_.MakeDir(folder);
  }

  // The environment of a run; a variable given again in `extra` replaces the one here.
  std::vector<std::string> Environment(const std::vector<std::string>& extra) const {
    std::vector<std::string> env = {
        "HOME=" + dir_.Bytes() + "home",
        "XDG_CONFIG_HOME=" + dir_.Bytes() + "config",
        "XDG_STATE_HOME=" + dir_.Bytes() + "state",
        "XDG_RUNTIME_DIR=" + dir_.Bytes() + "runtime",
        "TMPDIR=" + dir_.Bytes() + "tmp",
        "LANG=C.UTF-8",
        "TZ=UTC0",
    };
    for (const char* keep : {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS"})
      if (const char* value = std::getenv(keep)) env.push_back(std::string(keep) + "=" + value);
    for (const std::string& variable : extra) {
      const std::string name = variable.substr(0, variable.find('=') + 1);
      std::erase_if(env, [&](const std::string& entry) { return entry.rfind(name, 0) == 0; });
      env.push_back(variable);
    }
    return env;
  }

  ChildResult Run(std::vector<std::string> args, const std::vector<std::string>& extra = {},
                  int timeoutSeconds = 120) const {
    args.insert(args.begin(), program_);
    return RunChild(args, Environment(extra), dir_.Bytes() + "work", timeoutSeconds);
  }

  // Another session: its own runtime folder, so that the one-copy lock does not meet this one.
  std::string OtherSession() const { return "XDG_RUNTIME_DIR=" + dir_.Bytes() + "runtime2"; }

  // Starts the program without waiting; a run given MERVANE_TEST_STOP_AT stops itself there.
  Started Start(std::vector<std::string> args, const std::vector<std::string>& extra) const {
    args.insert(args.begin(), program_);
    Started child;
    child.out = std::tmpfile();
    child.err = std::tmpfile();
    std::vector<std::string> env = Environment(extra);
    std::vector<char*> argp;
    for (std::string& arg : args) argp.push_back(arg.data());
    argp.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const std::string work = dir_.Bytes() + "work";
    child.pid = ::fork();
    if (child.pid == 0) {
      const int in = ::open("/dev/null", O_RDONLY);
      if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(::fileno(child.out), 1) < 0 ||
          ::dup2(::fileno(child.err), 2) < 0 || ::chdir(work.c_str()) != 0)
        ::_exit(127);
      ::execve(argp[0], argp.data(), envp.data());
      ::_exit(127);
    }
    return child;
  }

  // Waits until the started program has stopped itself (true) or ended (false).
  static bool WaitStopped(const Started& child) {
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline) {
      const pid_t done = ::waitpid(child.pid, &status, WNOHANG | WUNTRACED);
      if (done == child.pid) return WIFSTOPPED(status);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  // Lets it go on and waits for its end: its exit code, -1 for anything else.
  static int Finish(Started& child) {
    ::kill(child.pid, SIGCONT);
    int status = 0;
    ::waitpid(child.pid, &status, 0);
    std::fclose(child.out);
    std::fclose(child.err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // What the run printed between the banner and the closing lines.
  static std::vector<std::string> Body(const ChildResult& result) {
    std::vector<std::string> lines = SplitLines(result.out);
    constexpr size_t kBanner = 11;
    if (lines.size() < kBanner + 3) {
      ADD_FAILURE() << "unexpected output:\n" << result.out << result.err;
      return {};
    }
    return {lines.begin() + kBanner, lines.end() - 3};
  }
  static bool Says(const ChildResult& result, const std::string& text) {
    return result.out.find(text) != std::string::npos;
  }

  void SavePresetList(const std::vector<Preset>& presets) const {
    QList<Preset> list = {WorkingPreset()};
    int8_t number = 1;
    for (Preset preset : presets) {
      preset.PresetNumber = number++;
      list.append(preset);
    }
    dir_.MakeDir("config/" + Utf8(PlainTitle()));
    const QString path = DecodeFileName(dir_.Bytes() + "config/" + Utf8(PlainTitle()) + "/Presets");
    ASSERT_TRUE(SavePresets(path, list, 0));
  }

  std::string JournalFolder() const {
    return dir_.Bytes() + "state/" + Utf8(PlainTitle()) + "/journal/";
  }
  std::string Journal(int number) const {
    char name[32];
    std::snprintf(name, sizeof name, "%08d.journal", number);
    return JournalFolder() + name;
  }
  std::string Work() const { return dir_.Bytes() + "work/"; }
  std::string Read(const std::string& relative) const {
    return ReadFileBytes(dir_.Bytes() + relative);
  }
  bool Exists(const std::string& relative) const { return PathExists(dir_.Bytes() + relative); }
  const TempDir& Dir() const { return dir_; }
  std::string Base() const { return dir_.Bytes(); }
  const std::string& Program() const { return program_; }

 private:
  TempDir dir_;
  std::string program_;
};

// Tests of the real program read the texts it prints from the same tables.
class ConsoleWorldTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(LoadProductTexts());
    ASSERT_TRUE(LoadLanguageTable(kLanguageEnglish));
  }
};

inline Preset RenamePreset(const char* nameTemplate = "%FN%-new") {
  Preset preset;
  preset.PresetName = QStringLiteral("Rename");
  preset.TargetDirActive = 0;
  preset.NameTemplateActive = 1;
  preset.NameTemplate = QString::fromUtf8(nameTemplate);
  return preset;
}

inline Preset IntoFolder(const std::string& target, bool move) {
  Preset preset;
  preset.PresetName = move ? QStringLiteral("Move away") : QStringLiteral("Copy away");
  preset.TargetDirActive = 1;
  preset.TargetMove = move ? 1 : 0;
  preset.TargetDirTemplate = DecodeFileName(target);
  return preset;
}

// A folder on another file system than the temporary folder (/dev/shm), removed afterwards;
// empty when there is none.
struct OtherFileSystemFolder {
  explicit OtherFileSystemFolder(const std::string& than) {
    struct stat here {
    }, shm{};
    if (::stat(than.c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 ||
        here.st_dev == shm.st_dev || ::access("/dev/shm", W_OK) != 0)
      return;
    std::string pattern = "/dev/shm/mervane-console-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path = pattern + "/";
  }
  ~OtherFileSystemFolder() {
    if (!path.empty()) std::system(("rm -rf '" + path + "'").c_str());
  }
  std::string path;
};
