#include "platform/Signals.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The handlers change the whole process: each case runs in a child of its own.
template <typename Body>
int InChild(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

TEST(StopSignals, FirstSignalRaisesTheFlagsSecondEndsTheProcess) {
  for (const int signal : {SIGINT, SIGTERM}) {
    const int status = InChild([signal] {
      static std::atomic<int32_t> cancel{0};
      static std::atomic<int32_t> late{0};
      InstallStopSignalHandlers();
      WatchStopSignal(cancel);
      ::raise(signal);
      if (cancel.load() != 1 || StopSignalReceived() != signal) return 2;
      // A flag reset for a new phase learns of the earlier signal when it is watched again.
      cancel.store(0);
      WatchStopSignal(cancel);
      WatchStopSignal(late);
      if (cancel.load() != 1 || late.load() != 1) return 3;
      ::raise(signal);  // the user insists
      return 4;
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal)
        << signal << " status " << status;
  }
}

TEST(StopSignals, WithoutHandlersTheSignalEndsTheProcess) {
  const int status = InChild([] {
    ::raise(SIGTERM);
    return 0;
  });
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
}

}  // namespace
