#pragma once

#include <QString>

// Messages that start-up shows before any window exists: fatal errors and the uninstall
// notice. The engine has no widgets; a window build installs a handler that shows a message
// box. Without a handler, without a display or in console mode the text goes to standard error.

enum class MessageIcon { kError, kInformation, kWarning, kQuestion };

// Returns false when it could not show the box (the text is then written to a stream).
using MessageBoxHandler = bool (*)(const QString& caption, const QString& text, MessageIcon icon);
void SetMessageBoxHandler(MessageBoxHandler handler);

void ShowStartupMessage(const QString& caption, const QString& text, MessageIcon icon,
                        bool consoleMode);

// An X11 or Wayland display is named in the environment.
bool DisplayAvailable();

// Writes the text and a line end to standard error or output, with "\r\n" turned into "\n";
// file names keep their bytes.
void WriteStandardError(const QString& text);
void WriteStandardOutput(const QString& text);
