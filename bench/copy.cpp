// Copying files with the console program (built-in preset 0: the files copied unchanged into
// "output" on the desktop, standard output a pipe) against `cp -r` of the same folder, warm
// cache, in the same run: 1,000 files of 1 MiB, one file of 1 GiB, 100,000 empty files. The two
// take turns, three turns each (the copies removed and the disk synced between, untimed); the
// median of each side counts. Prints both times, their ratio (ours / cp) and the target.
//
//   bench_copy [many|large|empty ...]   (all three without an argument; MERVANE_BENCH_SCALE=N
//                                        divides every count and size by N, 10 in a debug build)
//
// The program runs in a private world (HOME, XDG_CONFIG_HOME, XDG_STATE_HOME, XDG_RUNTIME_DIR,
// TMPDIR in the benchmark's folder, below $TMPDIR), so that its journal is written on the same
// disk as the copies. Its time includes start-up, loading, the checks and the journal.

#include "BenchSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Case {
  const char* Name;
  long Files;
  long long Bytes;  // of each file
  double Target;    // ours / cp at most
};

long CountFiles(const std::string& folder) {
  long count = 0;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') ++count;
    ::closedir(d);
  }
  return count;
}

bool MakeFiles(const std::string& folder, const Case& c) {
  if (::mkdir(folder.c_str(), 0755) != 0) return false;
  std::vector<char> block(static_cast<size_t>(std::min<long long>(c.Bytes, 1 << 20)));
  uint32_t x = 2463534242u;
  for (char& ch : block) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    ch = static_cast<char>(x);
  }
  for (long i = 0; i < c.Files; ++i) {
    char name[48];
    std::snprintf(name, sizeof name, "/file_%07ld.%s", i, c.Bytes == 0 ? "txt" : "bin");
    const int fd = ::open((folder + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return false;
    for (long long done = 0; done < c.Bytes;) {
      const auto n = static_cast<size_t>(
          std::min<long long>(c.Bytes - done, static_cast<long long>(block.size())));
      block[0] = static_cast<char>(i + (done >> 20));  // no two blocks alike
      if (::write(fd, block.data(), n) != static_cast<ssize_t>(n)) {
        ::close(fd);
        return false;
      }
      done += static_cast<long long>(n);
    }
    ::close(fd);
  }
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
#ifdef NDEBUG
  long scale = 1;
#else
  long scale = 10;
#endif
  if (const char* env = std::getenv("MERVANE_BENCH_SCALE")) scale = std::max(1L, std::atol(env));
  const Case cases[] = {
      {"many", 1000 / scale, (1LL << 20) / scale, 1.3},
      {"large", 1, (1LL << 30) / scale, 1.1},
      {"empty", 100000 / scale, 0, 1.5},
  };

  const std::string root = bench::MakeWorld("mervane-bench-copy");
  if (root.empty()) return 1;
  const std::vector<std::string> env = bench::WorldEnvironment(root);
  const std::string output = root + "/home/Desktop/output";
  const std::string cpTarget = root + "/cp";

  int failures = 0;
  std::printf("%-6s %8s %11s %9s %9s %7s %7s\n", "case", "files", "bytes each", "ours s", "cp s",
              "ratio", "target");
  for (const Case& c : cases) {
    bool wanted = argc <= 1;
    for (int i = 1; i < argc; ++i) wanted = wanted || std::strcmp(argv[i], c.Name) == 0;
    if (!wanted) continue;
    const std::string source = root + "/source";
    if (!MakeFiles(source, c)) {
      std::printf("%-6s cannot make the files\n", c.Name);
      return 1;
    }
    std::vector<double> ours;
    std::vector<double> cp;
    bool ok = true;
    for (int turn = 0; turn < 3 && ok; ++turn) {
      bench::RemoveTree(root + "/home/Desktop");
      bench::RemoveTree(root + "/state/Mervane");
      ::sync();
      int exitCode = 0;
      ours.push_back(
          bench::TimedRun({MERVANE_BINARY, "-Console", "-Preset=0", source}, env, root, exitCode));
      const long made = CountFiles(output);
      if (exitCode != 0 || made != c.Files) {
        std::printf("%-6s program failed: exit code %d, %ld of %ld copied\n", c.Name, exitCode,
                    made, c.Files);
        ok = false;
        break;
      }
      bench::RemoveTree(cpTarget);
      ::sync();
      cp.push_back(bench::TimedRun({"/usr/bin/cp", "-r", source, cpTarget}, env, root, exitCode));
      if (exitCode != 0 || CountFiles(cpTarget) != c.Files) {
        std::printf("%-6s cp failed: exit code %d\n", c.Name, exitCode);
        ok = false;
      }
    }
    bench::RemoveTree(source);
    bench::RemoveTree(cpTarget);
    bench::RemoveTree(root + "/home/Desktop");
    if (!ok) {
      ++failures;
      continue;
    }
    const double o = Median(ours);
    const double r = Median(cp);
    std::printf("%-6s %8ld %11lld %9.3f %9.3f %7.2f %7.2f%s\n", c.Name, c.Files, c.Bytes, o, r,
                o / r, c.Target, o / r <= c.Target ? "" : "  (above target)");
    std::fflush(stdout);
  }
  bench::RemoveTree(root);
  std::printf("median of 3 turns each, taking turns, warm cache\n");
  return failures == 0 ? 0 : 1;
}
