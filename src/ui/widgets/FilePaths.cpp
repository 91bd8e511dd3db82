#include "ui/widgets/FilePaths.h"

#include "platform/FileName.h"
#include "platform/FileSystem.h"

#include <QMimeData>

namespace {

QString PathFromFileUri(QByteArray uri) {
  // file:///path, file://localhost/path or file:/path; the path stays percent-encoded here.
  if (!uri.startsWith("file:")) return QString();
  uri.remove(0, 5);
  if (uri.startsWith("//")) {
    const qsizetype slash = uri.indexOf('/', 2);
    if (slash < 0) return QString();
    const QByteArray host = uri.mid(2, slash - 2);
    if (!host.isEmpty() && host != "localhost") return QString();
    uri.remove(0, slash);
  }
  if (!uri.startsWith('/')) return QString();
  const qsizetype end = uri.indexOf('#');  // a fragment is no part of a file name
  if (end >= 0) uri.truncate(end);
  const qsizetype query = uri.indexOf('?');
  if (query >= 0) uri.truncate(query);
  return DecodeFileName(QByteArray::fromPercentEncoding(uri));
}

}  // namespace

QString LocalPathFromUrl(const QUrl& url) {
  // The fully encoded form keeps escapes of bytes that are not UTF-8 as they came.
  return PathFromFileUri(url.toEncoded(QUrl::FullyEncoded));
}

QStringList LocalPathsFromUriList(const QByteArray& uriList) {
  QStringList paths;
  for (QByteArray line : uriList.split('\n')) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    const QString path = PathFromFileUri(line);
    if (!path.isEmpty()) paths.append(path);
  }
  return paths;
}

QStringList LocalPathsFromMime(const QMimeData* mime) {
  if (mime == nullptr) return {};
  const QString uriListType = QStringLiteral("text/uri-list");
  if (mime->hasFormat(uriListType)) return LocalPathsFromUriList(mime->data(uriListType));
  QStringList paths;
  for (const QUrl& url : mime->urls()) {
    const QString path = LocalPathFromUrl(url);
    if (!path.isEmpty()) paths.append(path);
  }
  return paths;
}

QString FileUrlOfPath(const QString& path) {
  return QStringLiteral("file://") +
         QString::fromLatin1(EncodeFileName(path).toPercentEncoding("/"));
}

QString TargetFolderForDrop(const QString& path) {
  if (IsDirectory(path)) return path.endsWith(u'/') ? path : path + u'/';
  const qsizetype slash = path.lastIndexOf(u'/');
  return slash < 0 ? QString() : path.left(slash + 1);
}
