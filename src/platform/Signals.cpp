#include "platform/Signals.h"

#include <signal.h>

#include <array>

namespace {

std::atomic<int> gSignal{0};
std::array<std::atomic<std::atomic<int32_t>*>, 8> gFlags{};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<int32_t>::is_always_lock_free,
              "the signal handler may only touch lock-free atomics");

void OnStopSignal(int signal) {
  int expected = 0;
  gSignal.compare_exchange_strong(expected, signal);
  for (auto& slot : gFlags) {
    if (std::atomic<int32_t>* flag = slot.load()) flag->store(1, std::memory_order_relaxed);
  }
}

}  // namespace

void InstallStopSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // SA_RESTART: a slow call in progress goes on rather than failing with EINTR. SA_RESETHAND:
  // the next signal takes the default action and ends the process.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int StopSignalReceived() {
  return gSignal.load();
}

void WatchStopSignal(std::atomic<int32_t>& flag) {
  for (auto& slot : gFlags) {
    std::atomic<int32_t>* current = slot.load();
    if (current == &flag) break;
    if (current == nullptr && slot.compare_exchange_strong(current, &flag)) break;
  }
  // Checked after the flag is in place, so that a signal arriving meanwhile is never missed.
  if (gSignal.load() != 0) flag.store(1, std::memory_order_relaxed);
}
