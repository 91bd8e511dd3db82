#include "console/ConsoleRun.h"

#include "app/AppState.h"

int RunConsoleBatchMode(AppState& app) {
  (void)app;
  return 2;
}
