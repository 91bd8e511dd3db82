// Checksums of one large file with a warm cache, against the coreutils tools on the same
// file, best of three each. Prints both times and their ratio (ours / tool):
//   CRC-32 alone vs `cksum`, SHA-1 alone vs `sha1sum`, MD5 alone vs `md5sum`, and all three
//   together vs `sha1sum` alone.
//
//   bench_checksums [bytes]     (or MERVANE_BENCH_BYTES=bytes; default 1 GiB, 64 MiB in a
//                                debug build)

#include "fileops/Checksums.h"
#include "platform/FileName.h"

#include <QDir>

#include <fcntl.h>
#include <spawn.h>
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

double BestOfThree(const std::function<bool()>& run) {
  double best = 1e30;
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    if (!run()) return -1;
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

bool RunTool(const char* tool, const std::string& path) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv = {const_cast<char*>(tool), const_cast<char*>(path.c_str()), nullptr};
  pid_t pid = 0;
  const int err = ::posix_spawnp(&pid, tool, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (err != 0) return false;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

long long SizeFromArgs(int argc, char** argv) {
  const char* text = argc > 1 ? argv[1] : std::getenv("MERVANE_BENCH_BYTES");
  if (text != nullptr) return std::atoll(text);
#ifdef NDEBUG
  return 1LL << 30;
#else
  return 64LL << 20;
#endif
}

bool WriteFile(const std::string& path, long long size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  std::vector<char> block(1 << 20);
  uint32_t x = 2463534242u;
  for (char& c : block) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  for (long long done = 0; done < size;) {
    const auto n =
        static_cast<size_t>(std::min<long long>(size - done, static_cast<long long>(block.size())));
    block[0] = static_cast<char>(done >> 20);  // no two blocks alike
    if (::write(fd, block.data(), n) != static_cast<ssize_t>(n)) {
      ::close(fd);
      return false;
    }
    done += static_cast<long long>(n);
  }
  return ::close(fd) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const long long size = SizeFromArgs(argc, argv);
  const std::string path = QDir::tempPath().toStdString() + "/mervane-bench-checksums.bin";
  if (!WriteFile(path, size)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  const QString qpath = DecodeFileName(path);
  // Warm the cache: every contender reads from memory.
  ComputeChecksums(qpath, true, false, false);

  struct Row {
    const char* Name;
    bool Crc, Md5, Sha1;
    const char* Tool;
    double Target;
  };
  const Row rows[] = {
      {"CRC-32", true, false, false, "cksum", 1.0},
      {"SHA-1", false, false, true, "sha1sum", 0.8},
      {"MD5", false, true, false, "md5sum", 1.0},
      {"CRC-32+MD5+SHA-1", true, true, true, "sha1sum", 1.4},
  };
  std::printf("file: %s, %.1f MiB, warm cache, best of 3\n", path.c_str(),
              static_cast<double>(size) / (1 << 20));
  std::printf("%-18s %10s %10s %-8s %7s %7s\n", "ours", "seconds", "tool s", "tool", "ratio",
              "target");
  int failures = 0;
  for (const Row& row : rows) {
    bool ok = true;
    const double ours = BestOfThree([&] {
      ok = ok && ComputeChecksums(qpath, row.Crc, row.Md5, row.Sha1).Ok;
      return ok;
    });
    const double tool = BestOfThree([&] { return RunTool(row.Tool, path); });
    if (ours < 0 || tool < 0) {
      std::printf("%-18s failed (ours %s, %s %s)\n", row.Name, ours < 0 ? "failed" : "ok", row.Tool,
                  tool < 0 ? "failed" : "ok");
      ++failures;
      continue;
    }
    const double ratio = ours / tool;
    std::printf("%-18s %10.3f %10.3f %-8s %7.2f %7.2f%s\n", row.Name, ours, tool, row.Tool, ratio,
                row.Target, ratio <= row.Target ? "" : "  (above target)");
  }
  ::unlink(path.c_str());
  return failures == 0 ? 0 : 1;
}
