#pragma once

struct AppState;

// The window build's part of start-up. Console mode never reaches any of this, so it never
// makes a QApplication and runs without a display.

// Start-up messages (fatal errors, the uninstall notice) become message boxes whenever the
// window would be shown and a display is there.
void InstallWindowMessageBoxes();

// Step 15 of start-up: builds and shows the main window, hands the command line's paths to the
// loader and runs the event loop until the window is closed. The window ends with exit code 0.
int RunMainWindow(AppState& app);
