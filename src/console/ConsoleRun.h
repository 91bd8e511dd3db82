#pragma once

#include "console/Console.h"

// The console run after the banner: preset line, loading, checks, the batch (or with
// "--dry-run" its plan, one line per entry), the result lines and the error log. The caller
// prints the closing lines. Exit codes: 0 success, 1 files failed (or would fail), 2 the checks
// stopped the run.
ConsoleResult RunConsoleBatchMode(ConsoleContext& context);

// A path written on one line without loss: UTF-8 as it is, a backslash as "\\", tab, line
// feed and carriage return as "\t", "\n", "\r", and every other control character (C0, DEL,
// C1, the Unicode line and paragraph separators) and every byte that is not UTF-8 as "\xHH",
// one escape per byte. Reading the escapes back gives the file name's bytes.
QString EscapedForLine(const QString& path);
