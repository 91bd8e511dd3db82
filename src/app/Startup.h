#pragma once

#include <QString>
#include <QStringList>

struct AppState;

// Builds the main window and runs its event loop until the window is closed; returns the exit
// code. Supplied by the window build; without one only the console mode exists.
using WindowRunner = int (*)(AppState& app);

// How a start in window mode fared when it found another copy running and offered it its paths.
enum class HandOverResult {
  kHandedOver,        // the running window took the paths (maybe none) and came to the front
  kNoSessionBus,      // there is no session bus to reach it by
  kNoWindowAnswered,  // a bus, but no window of ours answered on it (a console run, say)
};

// Hands absolute paths to the window of another copy of the program. Supplied by the window
// build, which alone talks to the session bus.
using PathHandOver = HandOverResult (*)(const QStringList& paths);

// The whole program: start-up in its fixed order, then the console run or the window, then
// Shutdown. `args` are argv[0..argc-1] as the process received them. Without `handOver` a
// second start in window mode ends at once and silently.
[[noreturn]] void RunProgram(int argc, const char* const* argv, WindowRunner runWindow,
                             PathHandOver handOver = nullptr);

// The one way out of the program: removes the preview folder when this run created it and
// ends the process with `exitCode` (see ExitCode.h). Nothing is saved here.
[[noreturn]] void Shutdown(int exitCode);

// "Fatal error!", an empty line and the reason, with the error title as caption; a message box
// in window mode with a display, standard error otherwise. Then Shutdown with kExitFailed.
[[noreturn]] void FatalExit(const QString& reason);

// The text of a fatal message for `reason`, e.g. "Couldn't initialize program.".
QString FatalMessageText(const QString& reason);

// "Couldn't initialize program.": the reason when a table or a preset the program needs cannot
// be set up, at start-up or later in the window.
QString InitializeFailureReason();
