#include "fileops/ZoneMark.h"

#include "platform/FileName.h"
#include "platform/FileSystem.h"
#include "platform/Xattr.h"

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
  if (!IsRegularFile(path, true)) return -1;
  const QByteArray encoded = EncodeFileName(path);
  const int32_t mode = FileMode(path);
  constexpr int32_t kOwnerWrite = 0200;

  bool removed = false;
  // A read-only file's attributes cannot be removed by its owner: open it up for the change.
  const bool reopen = mode >= 0 && (mode & kOwnerWrite) == 0;
  bool opened = false;
  for (const char* name : kMarkAttributes) {
    int err = RemoveXattr(encoded.constData(), name);
    if ((err == EACCES || err == EPERM) && reopen && !opened) {
      opened = SetFileMode(path, mode | kOwnerWrite) == 0;
      if (opened) err = RemoveXattr(encoded.constData(), name);
    }
    if (err == 0) removed = true;
  }
  if (opened) SetFileMode(path, mode);

  const QString sibling = ZoneMarkSiblingPath(path);
  if (IsRegularFile(sibling, false) && DeleteFile(sibling) == 0) removed = true;
  return removed ? 1 : -1;
}

const std::vector<const char*>& ZoneMarkAttributeNames() {
  static const std::vector<const char*> names(std::begin(kMarkAttributes),
                                              std::end(kMarkAttributes));
  return names;
}

QString ZoneMarkSiblingPath(const QString& path) {
  return path + QStringLiteral(":Zone.Identifier");
}

bool HasZoneMark(const QString& path) {
  if (path.isEmpty() || !IsRegularFile(path, true)) return false;
  const QByteArray encoded = EncodeFileName(path);
  for (const char* name : kMarkAttributes) {
    // A size of 0 asks for the length alone: any answer but an error means the mark is there.
    if (GetXattrInto(encoded.constData(), name, nullptr, 0) >= 0) return true;
  }
  return IsRegularFile(path + QStringLiteral(":Zone.Identifier"), false);
}
