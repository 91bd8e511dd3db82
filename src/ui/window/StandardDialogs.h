#pragma once

#include "ui/widgets/WindowDialogs.h"

#include <QStringList>

class QWidget;

// The program's own way of asking and telling: message boxes, the desktop's file dialogs and
// file manager, and the end of the program through its shut-down.
WindowDialogs StandardDialogs(QWidget* owner);

// The open-file dialog's nine patterns in Qt's filter form: the caption with its short list as
// the language table gives it, then the full wildcard list in parentheses.
QStringList OpenFileFilters();
