#pragma once

#include <QString>

struct AppState;

// Console output. Standard output is the console the program was started from: it always
// counts as attached, text goes out as UTF-8 with "\n" line ends (file names keep their
// bytes), and nobody has to press Enter before a window vanishes. Safe to call from any
// thread; each call reaches the stream whole.
void ConsoleWrite(const QString& text, bool lineEnd);
inline void ConsoleWriteLine(const QString& text = QString()) {
  ConsoleWrite(text, true);
}

// Waits for Enter when the program owns its console window. Standard output is never such a
// window here, so this returns at once; it marks the places where a report must stay readable.
void WaitIfOwnConsole();

// The console run: attaches to the console (two empty lines), prints the banner, then either
// the help text or the batch run, and the closing lines. Returns the exit code.
int RunConsole(AppState& app);
