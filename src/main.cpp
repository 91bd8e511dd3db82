#include "app/Startup.h"

#ifdef MERVANE_HAVE_UI
#include "ui/window/WindowHandOver.h"
#include "ui/window/WindowProgram.h"
#endif

int main(int argc, char** argv) {
#ifdef MERVANE_HAVE_UI
  InstallWindowMessageBoxes();
  RunProgram(argc, argv, &RunMainWindow, &HandPathsToRunningWindow);
#else
  RunProgram(argc, argv, nullptr);
#endif
}
