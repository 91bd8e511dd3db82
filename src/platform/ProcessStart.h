#pragma once

#include <sys/types.h>

// Telling one process from another for good: a pid is reused, a pid and a start time are not.

// When the process `pid` started, in clock ticks after boot (field 22 of /proc/PID/stat); 0
// when it cannot be told, -1 when there is no such process.
long long ProcessStartTicks(pid_t pid);

// This process's pid and start time, read once (and again in the child of a fork).
void ReadOwnProcess(int& pid, long long& ticks);
