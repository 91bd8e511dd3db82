#pragma once

#include "console/Console.h"

// "--list-runs": one line per run kept in the undo journal, tab-separated: number, time, preset,
// files, state. Exit code 0; 1 when the journal folder cannot be read.
ConsoleResult RunConsoleListRuns(ConsoleContext& context);

// "--undo" / "--undo=N", with "--dry-run" only printing what it would do (one line per entry:
// what it would do, where the file is, where it goes, tab-separated). Exit codes: 0 all taken
// back, 1 some entries could not be (or the undo was stopped, or the journal is damaged, cannot
// be read or is refused as not the user's own), 2 nothing to undo, 3 the journal is in use by a
// run or an undo that has not ended (another copy of the program, perhaps in another session).
ConsoleResult RunConsoleUndo(ConsoleContext& context);
