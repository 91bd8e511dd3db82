#pragma once

#include "console/Console.h"

// The console run after the banner: preset line, loading, checks, the batch (or with
// "--dry-run" its plan, one line per entry), the result lines and the error log. The caller
// prints the closing lines. Exit codes: 0 success, 1 files failed (or would fail), 2 the checks
// stopped the run.
ConsoleResult RunConsoleBatchMode(ConsoleContext& context);

