#include "fileops/CommonBase.h"

#include "filelist/FileList.h"

#include <QStringView>

#include <algorithm>

namespace {

// The directory part of a path, up to and including its last "/" (or "\", which a path handed
// in from elsewhere may use).
QStringView DirectoryOf(const QString& path) {
  const qsizetype cut =
      std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
  return QStringView(path).left(cut + 1);
}

bool IsSeparator(QChar c) {
  return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

}  // namespace

QString CommonBaseDirectory(const FileList& list) {
  if (list.IsEmpty()) return {};
  // The longest common prefix of all directories, then cut back to a whole component, gives
  // the same answer as growing the candidate component by component from the shallowest.
  QStringView common = DirectoryOf(list.At(0).Path);
  for (const FileEntry& entry : list) {
    const QStringView dir = DirectoryOf(entry.Path);
    qsizetype n = 0;
    const qsizetype limit = std::min(common.size(), dir.size());
    while (n < limit && (common[n] == dir[n] || (IsSeparator(common[n]) && IsSeparator(dir[n]))))
      ++n;
    common = common.left(n);
    if (common.isEmpty()) return {};
  }
  qsizetype end = common.size();
  while (end > 0 && !IsSeparator(common[end - 1])) --end;
  QString result = common.left(end).toString();
  result.replace(QLatin1Char('\\'), QLatin1Char('/'));
  return result;
}
