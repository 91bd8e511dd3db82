#pragma once

// Helpers the benchmarks share: making and removing a tree of files, a private world for the
// console program, and timing what they run.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ftw.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

// A figure of /proc/self/status in KiB ("VmRSS:", "VmHWM:"); -1 when it is not there.
inline long StatusKiB(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t keyLength = std::strlen(key);
  while (std::getline(status, line))
    if (line.compare(0, keyLength, key) == 0) return std::atol(line.c_str() + keyLength + 1);
  return -1;
}

// A new folder under TMPDIR (or /tmp) holding the console program's own home, settings, state,
// runtime and temporary folders, so that a benchmark never reads or writes the user's; empty
// when it cannot be made.
inline std::string MakeWorld(const char* name = "mervane-bench") {
  const char* tmp = std::getenv("TMPDIR");
  std::string root = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + "-XXXXXX";
  if (::mkdtemp(root.data()) == nullptr) return std::string();
  for (const char* folder : {"/home", "/config", "/state", "/runtime", "/tmp"})
    ::mkdir((root + folder).c_str(), 0755);
  return root;
}

// The environment of a program run in the world at `root`: its folders, a plain UTF-8 language,
// and the caller's PATH.
inline std::vector<std::string> WorldEnvironment(const std::string& root) {
  std::vector<std::string> env = {"HOME=" + root + "/home",
                                  "XDG_CONFIG_HOME=" + root + "/config",
                                  "XDG_STATE_HOME=" + root + "/state",
                                  "XDG_RUNTIME_DIR=" + root + "/runtime",
                                  "TMPDIR=" + root + "/tmp",
                                  "LANG=C.UTF-8"};
  if (const char* path = std::getenv("PATH")) env.push_back(std::string("PATH=") + path);
  return env;
}

inline double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Fills the existing folder `root` with `files` empty files "photo_NNNNNNN.jpg" spread evenly
// over `folders` folders "dirNNN"; false when a folder or file cannot be made.
inline bool MakePhotoTree(const std::string& root, long files, long folders) {
  for (long d = 0; d < folders; ++d) {
    char folder[64];
    std::snprintf(folder, sizeof folder, "/dir%03ld", d);
    const std::string dir = root + folder;
    if (::mkdir(dir.c_str(), 0755) != 0) return false;
    for (long f = files * d / folders; f < files * (d + 1) / folders; ++f) {
      char name[64];
      std::snprintf(name, sizeof name, "/photo_%07ld.jpg", f);
      const int fd = ::open((dir + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
      if (fd < 0) return false;
      ::close(fd);
    }
  }
  return true;
}

inline int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
  return ::remove(path);
}

// Removes a folder and everything in it, never following a link.
inline void RemoveTree(const std::string& folder) {
  ::nftw(folder.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

// Runs a program in `workFolder` with the environment `env` and waits; its time in seconds.
// Standard output is a pipe that this process drains, as a script reading it would; `input`
// (when not empty) is fed to its standard input from a file.
inline double TimedRun(std::vector<std::string> args, const std::vector<std::string>& env,
                       const std::string& workFolder, int& exitCode,
                       const std::string& input = std::string()) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> envCopy = env;
  std::vector<char*> envp;
  for (std::string& entry : envCopy) envp.push_back(entry.data());
  envp.push_back(nullptr);

  const std::string inputFile = input.empty() ? std::string() : workFolder + "/.input";
  if (!inputFile.empty()) {
    const int fd = ::open(inputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, input.data(), input.size()) != static_cast<ssize_t>(input.size()))
      std::exit(1);
    ::close(fd);
  }
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) std::exit(1);
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!inputFile.empty()) {
      const int in = ::open(inputFile.c_str(), O_RDONLY);
      if (in < 0 || ::dup2(in, 0) < 0) ::_exit(127);
    }
    if (::dup2(pipeFds[1], 1) < 0 || ::chdir(workFolder.c_str()) != 0) ::_exit(127);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  char drain[4096];
  while (::read(pipeFds[0], drain, sizeof drain) > 0) {
  }
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (!inputFile.empty()) ::unlink(inputFile.c_str());
  return seconds;
}

}  // namespace bench
