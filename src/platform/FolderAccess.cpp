#include "platform/FolderAccess.h"

#include "platform/FileName.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace {

constexpr qsizetype kMaxNameBytes = NAME_MAX;

FolderAccessResult Refused(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return {FolderAccess::NoPermission, error};
    case EROFS:
      return {FolderAccess::ReadOnly, error};
    case ENOTDIR:
      return {FolderAccess::NotAFolder, error};
    case ENAMETOOLONG:
      return {FolderAccess::NameTooLong, error};
    default:
      return {FolderAccess::Unusable, error};
  }
}

// Whether new entries can be made in the existing folder `encoded`.
FolderAccessResult Writable(const QByteArray& encoded, FolderAccess ok) {
  // The effective ids decide, as they do for the copy or move itself.
  if (::faccessat(AT_FDCWD, encoded.constData(), W_OK | X_OK, AT_EACCESS) != 0)
    return Refused(errno);
  return {ok, 0};
}

}  // namespace

FolderAccessResult CheckFolderAccess(const QString& folder) {
  if (!folder.startsWith(QLatin1Char('/'))) return {FolderAccess::Unusable, EINVAL};
  QString path = folder;
  while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);

  // Walk up to the nearest part of the path that is there; every missing folder on the way
  // must be a name the file system takes.
  bool missing = false;
  for (;;) {
    const QByteArray encoded = EncodeFileName(path);
    struct stat st {};
    if (::stat(encoded.constData(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) return {FolderAccess::NotAFolder, ENOTDIR};
      return Writable(encoded, missing ? FolderAccess::Creatable : FolderAccess::Writable);
    }
    const int error = errno;
    if (error != ENOENT) return Refused(error);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (EncodeFileName(path.mid(slash + 1)).size() > kMaxNameBytes)
      return {FolderAccess::NameTooLong, ENAMETOOLONG};
    missing = true;
    if (slash <= 0) {
      path = QStringLiteral("/");
    } else {
      path.truncate(slash);
    }
  }
}
