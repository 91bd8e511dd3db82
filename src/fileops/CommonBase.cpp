#include "fileops/CommonBase.h"

#include "filelist/FileList.h"

#include <QStringView>

#include <algorithm>

namespace {

// The directory part of a path, up to and including its last "/". A "\" is an ordinary
// character of a Linux file name: "/d/x\\y.txt" lies in "/d/", not in "/d/x".
QStringView DirectoryOf(const QString& path) {
  return QStringView(path).left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

}  // namespace

QString CommonBaseDirectory(const FileList& list) {
  return CommonBaseDirectory(list, {});
}

QString CommonBaseDirectory(const FileList& list, const std::vector<uint8_t>& leftOut) {
  // The longest common prefix of all directories, then cut back to a whole component, gives
  // the same answer as growing the candidate component by component from the shallowest.
  bool any = false;
  QStringView common;
  const qsizetype count = list.Count();
  for (qsizetype pos = 0; pos < count; ++pos) {
    if (static_cast<size_t>(pos) < leftOut.size() && leftOut[static_cast<size_t>(pos)] != 0)
      continue;
    const QStringView dir = DirectoryOf(list.At(pos).PathFolder());
    if (!any) {
      common = dir;
      any = true;
      continue;
    }
    qsizetype n = 0;
    const qsizetype limit = std::min(common.size(), dir.size());
    while (n < limit && common[n] == dir[n]) ++n;
    common = common.left(n);
    if (common.isEmpty()) return {};
  }
  if (!any) return {};
  qsizetype end = common.size();
  while (end > 0 && common[end - 1] != QLatin1Char('/')) --end;
  return common.left(end).toString();
}
