#pragma once

#include "cli/StartupOptions.h"
#include "filelist/FileList.h"
#include "records/RunFlags.h"
#include "run/RunProcedure.h"
#include "records/Preset.h"

#include <QString>

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

// What the console run works on: the program's state, handed in by start-up, which has made
// every path of the command line absolute already.
struct ConsoleContext {
  const StartupOptions& Options;
  const Preset& ActivePreset;  // for the preset line
  Preset& Settings;            // the working settings the run uses
  FileList& Files;
  FileList& FollowUp;
  RunFlags& Run;
  LoadFlags& Load;
  QString ProgramFolder;  // where the error log of a portable copy goes first
  QString DesktopFolder;
  QString ErrorLogFolder;  // where the error log goes otherwise (the state folder)
  QString JournalFolder;   // where the undo journals of runs are kept; empty: none is written
  // Why the batch run must not start with these presets (said as an error, exit code 2);
  // empty when it may.
  QString PresetRefusal;
};

struct ConsoleResult {
  int ExitCode = 0;
  // A worker thread could not be started: the program must end with the fatal message.
  RunFailure Failure = RunFailure::None;
};

// The console run: attaches to the console (two empty lines), prints the banner, then either
// the help text, the list of runs, an undo or the batch run, and the closing lines.
ConsoleResult RunConsole(ConsoleContext& context);
