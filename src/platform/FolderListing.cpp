#include "platform/FolderListing.h"

#include "platform/FileName.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

constexpr long kBufferSize = 64 * 1024;

ListedKind KindOfMode(mode_t mode) {
  if (S_ISREG(mode)) return ListedKind::Regular;
  if (S_ISDIR(mode)) return ListedKind::Directory;
  if (S_ISLNK(mode)) return ListedKind::Link;
  return ListedKind::Other;
}

}  // namespace

int ListFolder(const QString& folder,
               const std::function<void(std::string_view name, ListedKind kind)>& visit) {
  const int fd = ::open(EncodeFileName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const auto buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
  int error = 0;
  for (;;) {
    // getdents64 hands over many entries per call.
    const long got = ::syscall(SYS_getdents64, fd, buffer.get(), kBufferSize);
    if (got == 0) break;
    if (got < 0) {
      error = errno;
      break;
    }
    for (long offset = 0; offset < got;) {
      // The kernel's linux_dirent64: ino (8), off (8), reclen (2), type (1), name.
      const char* record = buffer.get() + offset;
      unsigned short length = 0;
      std::memcpy(&length, record + 16, sizeof length);
      offset += length;
      const char* name = record + 19;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      ListedKind kind = ListedKind::Other;
      switch (static_cast<unsigned char>(record[18])) {
        case DT_REG:
          kind = ListedKind::Regular;
          break;
        case DT_DIR:
          kind = ListedKind::Directory;
          break;
        case DT_LNK:
          kind = ListedKind::Link;
          break;
        case DT_UNKNOWN: {
          struct stat st {};
          // Gone since the listing: not there.
          if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
          kind = KindOfMode(st.st_mode);
          break;
        }
        default:
          break;
      }
      visit(std::string_view(name), kind);
    }
  }
  ::close(fd);
  return error;
}
