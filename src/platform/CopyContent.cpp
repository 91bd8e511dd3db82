#include "platform/CopyContent.h"

#include "platform/FileOps.h"
#include "platform/Xattr.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <vector>

namespace {

std::atomic<int> gFailAtWrite{0};
std::atomic<int> gFailErrno{0};
std::atomic<int> gWriteCount{0};

constexpr size_t kCopyBuffer = 1 << 20;
constexpr size_t kRangeChunk = size_t{1} << 30;

using file_content::CopyTarget;
using file_content::WriteAll;

// What the copies of this thread found a pair of devices unable to do. Only refusals that hold
// for every file of the pair are kept (no such operation, not across these file systems); an
// error of one file is asked again for the next.
struct Refusals {
  CopyTarget Devices;
  bool NoClone = false;
  bool NoRange = false;
  bool NoSourceXattrs = false;  // the source's file system keeps none
  bool NoTargetXattrs = false;  // the target's refuses user.* attributes
  // The source's file system tells a file's true size (no /proc or /sys, whose files say they
  // are empty and are not): -1 not asked yet, 0 no, 1 yes.
  int8_t SizesTrue = -1;
};

thread_local std::vector<Refusals> tRefusals;

// The refusals of `devices`; null when the devices are not known.
Refusals* RefusalsOf(const CopyTarget& devices) {
  if (devices.From == 0 || devices.To == 0) return nullptr;
  for (Refusals& known : tRefusals) {
    if (known.Devices.From == devices.From && known.Devices.To == devices.To) return &known;
  }
  // A batch meets few devices; a list gone long is one of a long-lived thread: start afresh.
  if (tRefusals.size() >= 16) tRefusals.clear();
  tRefusals.push_back({devices});
  return &tRefusals.back();
}

// File systems whose empty files hold nothing: what a file says of its size is what it holds.
// Anything else (procfs, sysfs, debugfs, FUSE, network file systems) may show content in a file
// of size 0, and is read to tell.
bool SizesAreTrue(int fd) {
  struct statfs sfs {};
  if (::fstatfs(fd, &sfs) != 0) return false;
  switch (static_cast<unsigned long>(sfs.f_type)) {
    case EXT4_SUPER_MAGIC:  // ext2, ext3 and ext4 share it
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case F2FS_SUPER_MAGIC:
    case MSDOS_SUPER_MAGIC:
      return true;
    default:
      return false;
  }
}

bool CloneNeverWorks(int err) {
  return err == EOPNOTSUPP || err == ENOTTY || err == EXDEV || err == ENOSYS;
}

bool RangeNeverWorks(int err) {
  return err == EXDEV || err == ENOSYS || err == EOPNOTSUPP;
}

}  // namespace

namespace file_content {

int WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const int failAt = gFailAtWrite.load(std::memory_order_relaxed);
    if (failAt > 0 && gWriteCount.fetch_add(1) + 1 == failAt) return gFailErrno.load();
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

int CopyByReadWrite(int src, int dst) {
  if (::lseek(src, 0, SEEK_SET) < 0 || ::lseek(dst, 0, SEEK_SET) < 0 || ::ftruncate(dst, 0) != 0) {
    return errno;
  }
  std::unique_ptr<char[]> buffer(new char[kCopyBuffer]);
  for (;;) {
    const ssize_t n = ::read(src, buffer.get(), kCopyBuffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return 0;
    if (const int err = WriteAll(dst, buffer.get(), static_cast<size_t>(n)); err != 0) return err;
  }
}

int PWriteAll(int fd, const char* data, size_t size, off_t offset) {
  while (size > 0) {
    const int failAt = gFailAtWrite.load(std::memory_order_relaxed);
    if (failAt > 0 && gWriteCount.fetch_add(1) + 1 == failAt) return gFailErrno.load();
    const ssize_t n = ::pwrite(fd, data, size, offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= static_cast<size_t>(n);
    offset += n;
  }
  return 0;
}

// `length` bytes at `offset` of `src` to the same place in `dst`.
int CopyRange(int src, int dst, off_t offset, off_t length, std::unique_ptr<char[]>& buffer) {
  off_t in = offset;
  off_t out = offset;
  const off_t end = offset + length;
  if (gFailAtWrite.load(std::memory_order_relaxed) == 0) {
    while (in < end) {
      const ssize_t n = ::copy_file_range(src, &in, dst, &out, static_cast<size_t>(end - in), 0);
      if (n > 0) continue;
      if (n < 0 && errno == EINTR) continue;
      break;  // nothing more in the kernel (0, or not across these file systems): by hand
    }
  }
  if (!buffer) buffer.reset(new char[kCopyBuffer]);
  while (in < end) {
    const ssize_t n =
        ::pread(src, buffer.get(), static_cast<size_t>(std::min<off_t>(kCopyBuffer, end - in)), in);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;  // the file became shorter meanwhile
    if (const int err = PWriteAll(dst, buffer.get(), static_cast<size_t>(n), out); err != 0)
      return err;
    in += n;
    out += n;
  }
  return 0;
}

// A file with holes (a disk image, a database, a download in progress) is copied extent by
// extent, so that its holes stay holes: written out, a 2 GiB sparse file would take 2 GiB.
// EOPNOTSUPP when the file system cannot tell where the data lies.
int CopySparse(int src, int dst, off_t size) {
  std::unique_ptr<char[]> buffer;
  off_t pos = 0;
  while (pos < size) {
    const off_t data = ::lseek(src, pos, SEEK_DATA);
    if (data < 0) {
      if (errno == ENXIO) break;  // only a hole from here to the end
      return pos == 0 && (errno == EINVAL || errno == EOPNOTSUPP) ? EOPNOTSUPP : errno;
    }
    off_t hole = ::lseek(src, data, SEEK_HOLE);
    if (hole < 0) return errno;
    if (hole > size) hole = size;
    if (const int err = CopyRange(src, dst, data, hole - data, buffer); err != 0) return err;
    pos = hole;
  }
  // The trailing hole, if any, is made by the length alone.
  return ::ftruncate(dst, size) == 0 ? 0 : errno;
}

// The content of `src` into the empty file `dst`: a reflink where the file system shares
// blocks, else (for a file with holes) its data extents, else an in-kernel copy, else plain
// reads and writes.
int CopyContent(int src, const struct stat& srcStat, int dst, const CopyTarget& devices) {
  const bool seam = gFailAtWrite.load(std::memory_order_relaxed) > 0;
  Refusals* refused = RefusalsOf(devices);
  if (srcStat.st_size == 0 && !seam) {
    // Nothing to share or copy, unless the file only says it is empty (as files of /proc and
    // /sys do): one read tells, where the file system is not known to say the truth (asked
    // once per pair of devices).
    if (refused != nullptr) {
      if (refused->SizesTrue < 0) refused->SizesTrue = SizesAreTrue(src) ? 1 : 0;
      if (refused->SizesTrue == 1) return 0;
    }
    char probe = 0;
    ssize_t n = 0;
    do {
      n = ::read(src, &probe, 1);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return errno;
    return n == 0 ? 0 : CopyByReadWrite(src, dst);
  }
  if (!seam && (refused == nullptr || !refused->NoClone)) {
    if (::ioctl(dst, FICLONE, src) == 0) return 0;
    if (refused != nullptr && CloneNeverWorks(errno)) refused->NoClone = true;
  }
  // Fewer blocks than the size needs: there are holes (or the file system compresses).
  if (static_cast<off_t>(srcStat.st_blocks) * 512 < srcStat.st_size) {
    const int err = CopySparse(src, dst, srcStat.st_size);
    if (err != EOPNOTSUPP) return err;
    if (::ftruncate(dst, 0) != 0) return errno;
  }
  if (seam || (refused != nullptr && refused->NoRange)) return CopyByReadWrite(src, dst);
  bool anyCopied = false;
  off_t copied = 0;
  for (;;) {
    const ssize_t n = ::copy_file_range(src, nullptr, dst, nullptr, kRangeChunk, 0);
    if (n > 0) {
      anyCopied = true;
      copied += n;
      // The size the file had when it was opened is copied: no call more to be told the end.
      if (copied >= srcStat.st_size) return 0;
      continue;
    }
    if (n == 0) {
      // Some file systems (procfs-like, some FUSE) report 0 for content they cannot
      // copy in the kernel; make sure nothing was missed.
      if (anyCopied) return 0;
      return CopyByReadWrite(src, dst);
    }
    if (errno == EINTR) continue;
    const int err = errno;
    if (!anyCopied && (err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP ||
                       err == ENOTSUP || err == EBADF || err == EIO)) {
      if (refused != nullptr && RangeNeverWorks(err)) refused->NoRange = true;
      return CopyByReadWrite(src, dst);
    }
    return err;
  }
}

// user.* attributes carry what Windows keeps in streams (the zone mark among them) and
// Samba's DOS word. A target file system that cannot keep them, or keeps smaller values,
// is no reason to fail the copy; running out of space is.
int CopyUserXattrs(int src, int dst, const CopyTarget& devices) {
  Refusals* refused = RefusalsOf(devices);
  if (refused != nullptr && (refused->NoSourceXattrs || refused->NoTargetXattrs)) return 0;
  const XattrNames names = ListXattrs(src);
  if (names.Error != 0) {
    if (refused != nullptr && IsXattrUnsupported(names.Error)) refused->NoSourceXattrs = true;
    return 0;
  }
  for (const QByteArray& name : names.Names) {
    if (!name.startsWith("user.")) continue;
    const XattrValue value = GetXattr(src, name.constData());
    if (!value.Ok()) continue;
    const int err = SetXattr(dst, name.constData(), value.Value);
    if (err == ENOSPC || err == EDQUOT || err == EIO) return err;
    if (refused != nullptr && IsXattrUnsupported(err)) {
      refused->NoTargetXattrs = true;
      return 0;
    }
  }
  return 0;
}

void ForgetCopyCapabilities() {
  tRefusals.clear();
}

bool IsMetadataUnsupported(int err) {
  return err == EPERM || err == ENOTSUP || err == EOPNOTSUPP;
}

}  // namespace file_content

void SetCopyWriteFailure(int n, int err) {
  gWriteCount.store(0);
  gFailErrno.store(err);
  gFailAtWrite.store(n > 0 ? n : 0);
}
