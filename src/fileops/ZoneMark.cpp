#include "fileops/ZoneMark.h"

#include "platform/FileName.h"
#include "platform/Xattr.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Where downloads keep their origin: browsers, wget and curl write the xdg attributes; Samba
// stores Windows' Zone.Identifier stream as an attribute; a copy made by Windows onto a
// file system without streams leaves it as a sibling file.
constexpr const char* kMarkAttributes[] = {
    "user.xdg.origin.url",
    "user.xdg.referrer.url",
    "user.DosStream.Zone.Identifier:$DATA",
};

}  // namespace

int ClearZoneMark(const QString& path) {
  if (path.isEmpty()) return -1;
  const QByteArray encoded = EncodeFileName(path);
  struct stat st {};
  if (::stat(encoded.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;

  bool removed = false;
  // A read-only file's attributes cannot be removed by its owner: open it up for the change.
  const bool reopen = (st.st_mode & S_IWUSR) == 0;
  bool opened = false;
  for (const char* name : kMarkAttributes) {
    int err = RemoveXattr(encoded.constData(), name);
    if ((err == EACCES || err == EPERM) && reopen && !opened) {
      opened = ::chmod(encoded.constData(), (st.st_mode & 07777) | S_IWUSR) == 0;
      if (opened) err = RemoveXattr(encoded.constData(), name);
    }
    if (err == 0) removed = true;
  }
  if (opened) ::chmod(encoded.constData(), st.st_mode & 07777);

  const QByteArray sibling = encoded + ":Zone.Identifier";
  struct stat sst {};
  if (::lstat(sibling.constData(), &sst) == 0 && S_ISREG(sst.st_mode) &&
      ::unlink(sibling.constData()) == 0) {
    removed = true;
  }
  return removed ? 1 : -1;
}
