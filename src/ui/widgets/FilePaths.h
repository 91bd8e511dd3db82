#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

class QMimeData;

// File URLs as desktops hand them over (drag and drop, file dialogs, the file manager), turned
// into paths without losing a byte: a Linux file name need not be UTF-8, so the URL's percent
// escapes are decoded to bytes and those bytes to a path like every other path.

// The local path of a "file:" URL (no host, or "localhost"); empty for anything else.
QString LocalPathFromUrl(const QUrl& url);
// The local paths of a text/uri-list (comment lines and other schemes are skipped).
QStringList LocalPathsFromUriList(const QByteArray& uriList);
// The local paths a drag carries, in their order.
QStringList LocalPathsFromMime(const QMimeData* mime);
// The "file:" URL of a local path, every byte of its name kept.
QString FileUrlOfPath(const QString& path);

// The text the target field takes for a dropped path: a directory with a final "/", or the
// directory a file lies in.
QString TargetFolderForDrop(const QString& path);
