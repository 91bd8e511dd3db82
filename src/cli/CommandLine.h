#pragma once

#include "cli/StartupOptions.h"

#include <QString>
#include <QStringList>

// Turns the program's arguments (argv[1..], decoded losslessly) into StartupOptions. Anything
// not understood is ignored and listed (start-up says so; an option with a wrong value stops
// it). Options match whole arguments, ignoring case;
// later arguments override earlier ones. "-Help", "-?", "--help" and "-h" also switch portable
// mode on, so that printing the help never creates the per-user settings folder. Paths are
// appended to PendingPaths as they stand ("\" is an ordinary character of a file name), each
// followed by a line feed. After "--" every further non-empty argument is a path, so files whose
// names begin with "-" can be given too. A path holding a line break goes to RejectedPaths
// instead, and an argument that begins with "-" but is no option to UnknownOptions; "--undo="
// with anything but a run number (1 to 999999999) goes to InvalidOptions as well.
StartupOptions ParseCommandLine(const QStringList& args);

// argv[1..argc-1] through the lossless file-name decoding.
QStringList DecodeArguments(int argc, const char* const* argv);

// Makes every relative path of a PendingPaths text absolute against `baseFolder` (with a final
// "/"), keeping their order and line feeds. A shell expands "*.jpg" into names relative to the
// folder the program was started from, which is therefore the folder they belong to. Leading
// "./" parts are dropped; "." alone names the base folder itself.
QString MakePathsAbsolute(const QString& pendingPaths, const QString& baseFolder);

// Removes every relative path from a PendingPaths text, for when the folder they are relative to
// is unknown (it was removed while the shell stood in it); they are appended to `dropped`.
QString DropRelativePaths(const QString& pendingPaths, QStringList& dropped);
