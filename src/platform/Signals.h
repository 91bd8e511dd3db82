#pragma once

#include <atomic>
#include <cstdint>

// SIGINT (Ctrl-C) and SIGTERM during a run: instead of ending the process in the middle of a
// copy or move, the signal only raises the watched flags (the loader's stop request and the
// run's cancel flag), so that the entry in hand finishes or rolls back, its temporary file is
// placed or removed, and the program ends through its one shut-down path. A second signal of
// either kind ends the process at once, as usual, for a user who will not wait.

// Installs the handlers. Until then the signals end the process as usual.
void InstallStopSignalHandlers();

// The first stop signal received (SIGINT or SIGTERM), or 0.
int StopSignalReceived();

// Raises `flag` to 1 when a stop signal arrives, and at once when one has arrived already (a
// flag that was just reset for a new phase learns of an earlier signal). The flag must live
// until the process ends. At most a handful of flags can be watched.
void WatchStopSignal(std::atomic<int32_t>& flag);
