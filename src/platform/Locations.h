#pragma once

#include <QString>
#include <QStringList>

// The folders the desktop standards name, each with a final "/", or empty when unknown.

QString TempFolder();       // $TMPDIR, else /tmp
QString DesktopFolder();    // the XDG desktop folder
QString DocumentsFolder();  // the XDG documents folder, with a final "/"; empty when unknown
// $XDG_CONFIG_HOME when it is an absolute path, else the home folder + ".config/".
QString ConfigHomeFolder();
// $XDG_RUNTIME_DIR when it is an absolute path, else empty.
QString RuntimeFolder();
// $XDG_STATE_HOME when it is an absolute path, else the home folder + ".local/state/"; empty
// when there is no home folder either.
QString StateHomeFolder();

// Deletes every entry directly inside `folder` that is not a directory (links are removed, not
// followed; subfolders are not entered), then removes the folder, which works only when it is
// empty then. Returns 0 when the folder is gone (or never existed), else the errno value.
int RemoveFolderWithFiles(const QString& folder);

// Removes the files `names` directly inside `folder` (a link of that name is removed as a link),
// then Mervane's own leftover temporaries there, then the folder itself when nothing else is
// left in it; a folder still holding other files stays, with them. A link in place of the
// folder is never followed: nothing is removed and the result is ELOOP. Returns 0 when every
// named file is gone (or never existed), else the errno value of the first that stays.
int RemoveNamedFilesAndEmptyFolder(const QString& folder, const QStringList& names);

// Creates every missing folder of an absolute path, for the owner alone (the desktop standards
// ask that of the configuration folder). True when the path is a directory afterwards.
bool MakePrivateFolderPath(const QString& folder);

// A real directory (not a link to one) that belongs to the user running the program. Folders
// with well-known names in a shared temporary folder must pass this before anything in them is
// deleted: another user could have put a link there.
bool IsOwnFolder(const QString& folder);
