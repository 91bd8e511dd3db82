#pragma once

#include <QString>

#include <sys/types.h>

#include <cstdint>

// The process itself: its own file, its working directory and its environment. Folders are
// returned with a final "/", or empty when they are unknown.

QString ProgramFolderPath();  // folder of /proc/self/exe
QString CurrentFolder();      // the working directory
bool SetCurrentFolder(const QString& folder);

// An environment variable as a file path (lossless decoding); empty when unset.
QString EnvironmentPath(const char* name);

// A folder path with a final "/" (an empty text stays empty).
QString WithFinalSlash(QString folder);

// Lowers the calling thread to below-normal priority, so that the machine stays responsive
// while a worker runs.
void LowerThreadPriority();

// Standard output is a terminal (a person is reading), not a pipe or a file.
// The process's umask, read from /proc rather than by setting it (which would race with the
// files other threads create meanwhile); all bits (07777) when it cannot be told.
mode_t ProcessUmask();
bool StandardOutputIsTerminal();

// The system's description of an errno value ("No space left on device").
QString SystemErrorText(int error);

// This process's id.
uint32_t ProcessId();

// Ends the process at once with SIGKILL, as a crash or a kill from outside would: nothing is
// flushed, no handler runs. Only for tests that must leave a run cut off midway.
[[noreturn]] void KillThisProcess();
// Stops the process (SIGSTOP) until something continues it, holding what it holds. Only for tests
// that must meet a run or an undo in the middle.
void StopThisProcess();

// "nobody, uid 65534": the account of a user id, or only the number where it has no name.
QString AccountName(uint32_t uid);
