#pragma once

#include <QString>

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
  QString PendingPaths;      // each path followed by a line feed
};
