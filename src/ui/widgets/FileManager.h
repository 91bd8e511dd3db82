#pragma once

#include <QString>

// Shows a file in the desktop's file manager, selected: through the file manager's D-Bus
// interface (org.freedesktop.FileManager1.ShowItems), or, where no file manager offers it, by
// opening the folder the file lies in. False when neither worked.
bool ShowInFileManager(const QString& path);

// Asks the desktop's file manager to show the properties of a file (D-Bus ShowItemProperties).
// False when none answered; PropertiesWindow.h has the window for that case.
bool ShowPropertiesInFileManager(const QString& path);
