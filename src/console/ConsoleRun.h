#pragma once

struct AppState;

// The console run after the banner: preset line, loading, checks, the batch, the result lines
// and the error log. Returns the process exit code (0 success, 1 files failed, 2 the checks
// stopped the run). The caller prints the closing lines and shuts down.
int RunConsoleBatchMode(AppState& app);
