#pragma once

#include "console/Console.h"

// "--list-runs": one line per run kept in the undo journal, tab-separated: number, time, preset,
// files, state. Exit code 0.
ConsoleResult RunConsoleListRuns(ConsoleContext& context);

// "--undo" / "--undo=N", with "--dry-run" only printing what it would do (one line per entry:
// what it would do, where the file is, where it goes, tab-separated). Exit codes: 0 all taken
// back, 1 some entries could not be (or the undo was stopped), 2 nothing to undo.
ConsoleResult RunConsoleUndo(ConsoleContext& context);
