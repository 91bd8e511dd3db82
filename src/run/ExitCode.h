#pragma once

// The process exit codes, so that scripts can tell failure from success. The window always
// ends with kExitOk.
enum ExitCode : int {
  kExitOk = 0,               // done, help or version printed, settings removed
  kExitFailed = 1,           // files failed, or the program could not start (fatal error)
  kExitChecksStopped = 2,    // console mode: an error or an unignored warning stopped the run
  kExitAnotherInstance = 3,  // another copy is running (nothing is printed)
};
