#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace {

std::string ReadAll(int fd) {
  std::string text;
  ::lseek(fd, 0, SEEK_SET);
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  return text;
}

std::string NameOf(const std::string& entry) {
  return entry.substr(0, entry.find('='));
}

}  // namespace

ChildResult RunChild(const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment, const std::string& workFolder,
                     int timeoutSeconds) {
  ChildResult result;
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (std::string& arg : args) argp.push_back(arg.data());
  argp.push_back(nullptr);
  std::vector<std::string> env = environment;
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);

  // Anonymous files take the output: nothing to drain while the child runs.
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  if (out == nullptr || err == nullptr) {
    ADD_FAILURE() << "no temporary files for the output";
    return result;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(::fileno(out), 1) < 0 ||
        ::dup2(::fileno(err), 2) < 0 || ::chdir(workFolder.c_str()) != 0)
      ::_exit(127);
    ::execve(argp[0], argp.data(), envp.data());
    ::_exit(127);
  }
  int status = 0;
  bool ended = false;
  if (pid > 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    for (;;) {
      const pid_t done = ::waitpid(pid, &status, WNOHANG);
      if (done == pid) {
        ended = true;
        break;
      }
      if (done < 0 || std::chrono::steady_clock::now() > deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!ended) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      ADD_FAILURE() << "the program did not end: " << argv[0];
    }
  } else {
    ADD_FAILURE() << "could not run the program";
  }
  if (ended) result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadAll(::fileno(out));
  result.err = ReadAll(::fileno(err));
  std::fclose(out);
  std::fclose(err);
  return result;
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides,
                                         const std::vector<std::string>& without) {
  std::vector<std::string> names = without;
  for (const std::string& entry : overrides) names.push_back(NameOf(entry));
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    bool dropped = false;
    for (const std::string& name : names) dropped = dropped || NameOf(text) == name;
    if (!dropped) env.push_back(text);
  }
  env.insert(env.end(), overrides.begin(), overrides.end());
  return env;
}

bool RunDebianTool(const std::vector<std::string>& argv, const std::string& package,
                   const std::string& workFolder) {
  std::string program;
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  for (size_t at = 0; program.empty() && at <= folders.size();) {
    const size_t end = std::min(folders.find(':', at), folders.size());
    const std::string candidate = folders.substr(at, end - at) + "/" + argv[0];
    if (end > at && ::access(candidate.c_str(), X_OK) == 0) program = candidate;
    at = end + 1;
  }
  if (program.empty()) {
    ADD_FAILURE() << argv[0] << " is missing: install the Debian package " << package
                  << " (tools/install-deps.sh does)";
    return false;
  }
  std::vector<std::string> args = argv;
  args[0] = program;
  const ChildResult run = RunChild(args, EnvironmentWith({}), workFolder);
  if (run.exitCode != 0) {
    ADD_FAILURE() << argv[0] << " failed (" << run.exitCode << "): " << run.err;
    return false;
  }
  return true;
}
