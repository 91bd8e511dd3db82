// Copying many files into a target folder: CopyFile against `cp` of the same files into
// another folder, warm cache, taking turns, best of five each (target folders emptied and the
// disk synced between runs, untimed). Prints both times and their ratio (ours / cp).
//
//   bench_copy [files [bytes]]   (or MERVANE_BENCH_FILES, MERVANE_BENCH_FILE_BYTES;
//                                 default 1000 files of 1 MiB, 100 in a debug build)

#include "platform/FileName.h"
#include "platform/FileOps.h"

#include <QDir>

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 5;

void Empty(const std::string& dir) {
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") ::unlink((dir + "/" + name).c_str());
    }
    ::closedir(d);
  }
}

// One timed run into an emptied target folder, after the disk has caught up with the last one.
double TimedRun(const std::function<bool()>& run, const std::string& target) {
  Empty(target);
  ::sync();
  const auto start = Clock::now();
  if (!run()) return -1;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

long long Setting(int argc, char** argv, int index, const char* env, long long fallback) {
  const char* text = argc > index ? argv[index] : std::getenv(env);
  return text != nullptr ? std::atoll(text) : fallback;
}

bool RunCp(const std::vector<std::string>& files, const std::string& target) {
  std::vector<char*> argv = {const_cast<char*>("cp"), const_cast<char*>("-t"),
                             const_cast<char*>(target.c_str())};
  for (const std::string& f : files) argv.push_back(const_cast<char*>(f.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawnp(&pid, "cp", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef NDEBUG
  const long long defaultFiles = 1000;
#else
  const long long defaultFiles = 100;
#endif
  const long long files = Setting(argc, argv, 1, "MERVANE_BENCH_FILES", defaultFiles);
  const long long bytes = Setting(argc, argv, 2, "MERVANE_BENCH_FILE_BYTES", 1 << 20);

  std::string root = QDir::tempPath().toStdString() + "/mervane-bench-copy-XXXXXX";
  if (::mkdtemp(root.data()) == nullptr) return 1;
  const std::string source = root + "/source";
  const std::string oursDir = root + "/ours";
  const std::string cpDir = root + "/cp";
  ::mkdir(source.c_str(), 0755);
  ::mkdir(oursDir.c_str(), 0755);
  ::mkdir(cpDir.c_str(), 0755);

  std::vector<std::string> paths;
  std::vector<char> content(static_cast<size_t>(bytes));
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 31 + 7);
  for (long long i = 0; i < files; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/file_%05lld.bin", i);
    paths.push_back(source + name);
    const int fd = ::open(paths.back().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return 1;
    if (!content.empty()) content[0] = static_cast<char>(i);
    const bool ok =
        ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    ::close(fd);
    if (!ok) return 1;
  }

  const auto oursRun = [&] {
    for (const std::string& p : paths) {
      const std::string name = p.substr(p.rfind('/'));
      if (!CopyFile(DecodeFileName(p), DecodeFileName(oursDir + name)).Ok()) return false;
    }
    return true;
  };
  const auto cpRun = [&] { return RunCp(paths, cpDir); };
  // Taking turns keeps a slow phase of a busy machine from falling on one side only.
  double ours = 1e30;
  double cp = 1e30;
  for (int round = 0; round < kRounds && ours >= 0 && cp >= 0; ++round) {
    const double o = TimedRun(oursRun, oursDir);
    const double c = TimedRun(cpRun, cpDir);
    ours = o < 0 ? -1 : std::min(ours, o);
    cp = c < 0 ? -1 : std::min(cp, c);
  }

  std::printf("%lld files of %lld bytes, best of %d turns each\n", files, bytes, kRounds);
  if (ours < 0 || cp < 0) {
    std::printf("failed (ours %s, cp %s)\n", ours < 0 ? "failed" : "ok", cp < 0 ? "failed" : "ok");
  } else {
    std::printf("CopyFile %.3f s, cp %.3f s, ratio %.2f (target 1.30)%s\n", ours, cp, ours / cp,
                ours / cp <= 1.3 ? "" : "  (above target)");
  }
  Empty(source);
  Empty(oursDir);
  Empty(cpDir);
  ::rmdir(source.c_str());
  ::rmdir(oursDir.c_str());
  ::rmdir(cpDir.c_str());
  ::rmdir(root.c_str());
  return ours < 0 || cp < 0 ? 1 : 0;
}
