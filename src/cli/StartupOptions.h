#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// What the command line asked for. Reset to these defaults before parsing.
struct StartupOptions {
  bool ConsoleMode = false;
  bool ShowHelp = false;
  int32_t PresetIndex = -1;  // -1: none named
  bool IgnoreWarnings = false;
  bool Portable = false;
  bool Uninstall = false;
  bool ShowVersion = false;  // "--version"
  bool DryRun = false;       // "--dry-run": the console run plans and changes nothing
  bool Undo = false;         // "--undo" or "--undo=N": the console takes a run back
  int64_t UndoRun = 0;       // "--undo=N": that run's number; 0: the newest not undone
  bool ListRuns = false;     // "--list-runs": the console lists the runs in the undo journal
  QString PendingPaths;      // each path followed by a line feed
  // Paths that cannot travel in PendingPaths because they hold a line break (the loader would
  // split them into other names); start-up reports them.
  QStringList RejectedPaths;
  // Arguments that begin with "-" but are no option; they are ignored, and start-up says so.
  QStringList UnknownOptions;
  // Of those, options with a value they cannot take ("--undo=abc", "--undo=0", "--undo="):
  // start-up refuses to start, as doing anything else would not be what was asked.
  QStringList InvalidOptions;
};
