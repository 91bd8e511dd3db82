#include "platform/ProcessStart.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// When the process `pid` started, in clock ticks after boot (field 22 of /proc/PID/stat); 0
// when it cannot be told, -1 when there is no such process. Together with the pid it names
// one process for good: a pid is reused, a pid and a start time are not.
long long ProcessStartTicks(pid_t pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? -1 : 0;
  char buffer[1024];
  const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
  ::close(fd);
  if (n <= 0) return 0;
  buffer[n] = '\0';
  // The command name (field 2) may hold blanks and parentheses: count from the last ")".
  const char* p = std::strrchr(buffer, ')');
  if (p == nullptr) return 0;
  for (int field = 2; field < 22 && p != nullptr; ++field) p = std::strchr(p + 1, ' ');
  return p == nullptr ? 0 : std::atoll(p + 1);
}

namespace {

// This process's pid and start time, read once (and again in the child of a fork, which is
// another process): every temporary name carries them.
struct OwnProcess {
  std::atomic<int> Pid{0};
  std::atomic<long long> StartTicks{0};

  OwnProcess() { ::pthread_atfork(nullptr, nullptr, [] { Get().Pid.store(0); }); }
  static OwnProcess& Get() {
    static OwnProcess own;
    return own;
  }
  static void Read(int& pid, long long& ticks) {
    OwnProcess& own = Get();
    pid = own.Pid.load(std::memory_order_acquire);
    if (pid == 0) {
      pid = static_cast<int>(::getpid());
      own.StartTicks.store(std::max(0LL, ProcessStartTicks(pid)), std::memory_order_relaxed);
      own.Pid.store(pid, std::memory_order_release);
    }
    ticks = own.StartTicks.load(std::memory_order_relaxed);
  }
};

}  // namespace

void ReadOwnProcess(int& pid, long long& ticks) {
  OwnProcess::Read(pid, ticks);
}
