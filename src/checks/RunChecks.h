#pragma once

#include "checks/Validation.h"
#include "filelist/FileList.h"
#include "platform/Messages.h"
#include "records/Preset.h"

#include <QList>
#include <QString>

// The checks that decide whether a run may start, as data: the console prints them, the window
// shows them as message boxes and questions.

// One problem found by the console checks.
struct CheckProblem {
  bool IsError = true;   // an error always stops the run; a warning only without IgnoreWarnings
  QString Message;       // e.g. "No files", "Replacing is disabled"
  bool Ignored = false;  // a warning that IgnoreWarnings let pass
};

struct ConsoleCheckResult {
  bool RunStarts = false;
  QList<CheckProblem> Problems;  // in the order found; the checks stop at the first that stops
};

// The checks of a console run, in order: no files, the settings (with the full validation),
// then the warnings for changing files in place and for moving them away. `runValues` must come
// from PrepareRunValues for these settings and files.
ConsoleCheckResult CheckBeforeConsoleRun(const FileList& files, const Preset& settings,
                                         const RunValues& runValues, bool ignoreWarnings);

// How the console prints one problem: "Error: No files" or "Warning: ... - Ignored", a problem
// that stops the run preceded by an empty line, each followed by two line ends.
QString ConsoleProblemText(const CheckProblem& problem);

// The message text of a ValidateSettings result in console mode; empty for 1.
QString ConsoleValidationMessage(int code);

// A message box or question of the window, by language-table entries and composed text.
struct CheckMessage {
  int TitleEntry = 0;
  QString Text;
  MessageIcon Icon = MessageIcon::kInformation;
};

// What the window's start command must do after the checks.
struct WindowCheckResult {
  enum Outcome {
    RefusedSilently,  // something is busy: do nothing
    Refused,          // show Message; the run does not start
    Ask,              // ask Message as a Yes/No question; only Yes starts the run
    Start,            // start the run
  };
  Outcome Result = RefusedSilently;
  CheckMessage Message;
};

// The window's checks before a run or a test run. `busy`: a run, a test run or a loader is
// active. `runValues` must come from PrepareRunValues for these settings and files.
WindowCheckResult CheckBeforeWindowRun(bool busy, const FileList& files, const Preset& settings,
                                       const RunValues& runValues, bool ignoreWarnings);
