#include "platform/FileTimes.h"

#include "platform/FileName.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>

#include <cerrno>
#include <ctime>

namespace {

constexpr long kNtfs3Magic = 0x7366746e;
constexpr long kFuseMagic = 0x65735546;
constexpr long kCifsMagic = 0xFF534D42;
constexpr long kSmb2Magic = 0xFE534D42;

// Windows file time: 100-nanosecond steps since 1601-01-01 UTC, little-endian.
QByteArray NtTimeBytes(const FileTime& time) {
  constexpr int64_t kEpochDifference = 11644473600;
  const auto ticks =
      static_cast<uint64_t>((time.Seconds + kEpochDifference) * 10000000 + time.Nanoseconds / 100);
  QByteArray bytes(8, '\0');
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>((ticks >> (8 * i)) & 0xFF);
  return bytes;
}

timespec ToTimespec(const FileTime* time) {
  timespec ts{};
  if (time == nullptr) {
    ts.tv_nsec = UTIME_OMIT;
    return ts;
  }
  ts.tv_sec = static_cast<time_t>(time->Seconds);
  ts.tv_nsec = static_cast<long>(time->Nanoseconds);
  return ts;
}

}  // namespace

bool ReadCreationTime(const QString& path, FileTime& time) {
  struct statx sx {};
  if (::statx(AT_FDCWD, EncodeFileName(path).constData(), 0, STATX_BTIME | STATX_MTIME, &sx) != 0) {
    return false;
  }
  const struct statx_timestamp& t = (sx.stx_mask & STATX_BTIME) != 0 ? sx.stx_btime : sx.stx_mtime;
  time = {t.tv_sec, t.tv_nsec};
  return true;
}

namespace {

// The kind of file system of the folder last written into, while a batch keeps it.
struct KnownKind {
  bool Keeping = false;
  QByteArray Folder;
  long Type = 0;
};

thread_local KnownKind tKind;

// The kind of file system `encoded` lies on; false when it cannot be told.
bool FileSystemKind(const QByteArray& encoded, long& type) {
  const qsizetype slash = encoded.lastIndexOf('/');
  const QByteArrayView folder =
      slash > 0 ? QByteArrayView(encoded).first(slash) : QByteArrayView();
  if (tKind.Keeping && !folder.isEmpty() && tKind.Folder == folder) {
    type = tKind.Type;
    return true;
  }
  struct statfs sfs {};
  if (::statfs(encoded.constData(), &sfs) != 0) return false;
  type = static_cast<long>(sfs.f_type);
  if (tKind.Keeping && !folder.isEmpty()) {
    tKind.Folder = folder.toByteArray();
    tKind.Type = type;
  }
  return true;
}

}  // namespace

void KeepFileSystemKinds(bool keep) {
  tKind.Keeping = keep;
  tKind.Folder.clear();
}

void WriteCreationTime(const QString& path, const FileTime& time) {
  const QByteArray encoded = EncodeFileName(path);
  long type = 0;
  if (!FileSystemKind(encoded, type)) return;
  const char* name = nullptr;
  if (type == kNtfs3Magic || type == kFuseMagic) {
    name = "system.ntfs_crtime";
  } else if (type == kCifsMagic || type == kSmb2Magic) {
    name = "user.cifs.creationtime";
  }
  if (name == nullptr) return;
  const QByteArray value = NtTimeBytes(time);
  ::setxattr(encoded.constData(), name, value.constData(), static_cast<size_t>(value.size()), 0);
}

int WriteAccessAndModificationTimes(const QString& path, const FileTime* access,
                                    const FileTime* modification) {
  if (access == nullptr && modification == nullptr) return 0;
  const timespec times[2] = {ToTimespec(access), ToTimespec(modification)};
  return ::utimensat(AT_FDCWD, EncodeFileName(path).constData(), times, 0) == 0 ? 0 : errno;
}

int64_t CurrentUnixTime() {
  return static_cast<int64_t>(::time(nullptr));
}

FileTime CurrentFileTime() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return {static_cast<int64_t>(now.tv_sec), static_cast<int64_t>(now.tv_nsec)};
}
