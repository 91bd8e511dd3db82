#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

void LowerCurrentThreadPriority() {
  // On Linux a nice value set for a thread id applies to that thread alone.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 5);
}
