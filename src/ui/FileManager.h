#pragma once

#include <QString>

// Shows a file in the desktop's file manager, selected: through the file manager's D-Bus
// interface (org.freedesktop.FileManager1.ShowItems), or, where no file manager offers it, by
// opening the folder the file lies in. False when neither worked.
bool ShowInFileManager(const QString& path);

// Shows the properties of a file (the copy a test run made): through the file manager's D-Bus
// interface (ShowItemProperties), or, where none offers it, the file selected in its folder.
bool ShowFileProperties(const QString& path);
