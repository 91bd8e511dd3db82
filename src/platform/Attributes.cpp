#include "platform/Attributes.h"

#include "platform/FileName.h"
#include "platform/Xattr.h"

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

// Where a device keeps the DOS attribute word.
enum class DosStore : uint8_t {
  Xattr,    // "user.DOSATTRIB" in Samba's text form
  NoXattr,  // the file system keeps no extended attributes: nothing to read
  Fat,      // FAT_IOCTL_GET/SET_ATTRIBUTES
  Ntfs,     // "system.ntfs_attrib", 32-bit little-endian
};

constexpr long kMsdosMagic = 0x4d44;
constexpr long kNtfsMagic = 0x5346544e;   // the old read-only ntfs driver
constexpr long kNtfs3Magic = 0x7366746e;  // ntfs3
constexpr long kFuseMagic = 0x65735546;   // ntfs-3g mounts as FUSE

constexpr char kDosAttribName[] = "user.DOSATTRIB";
constexpr char kNtfsAttribName[] = "system.ntfs_attrib";

// The bits the FAT ioctl can store.
constexpr uint32_t kFatBits = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;
constexpr uint32_t kAttrDirectory = 0x10;

// The store of each device, looked up once per device rather than per file (the loader asks
// for every file). Entries expire so that a different medium that gets the same device
// number after a remount is probed again.
class DeviceStores {
 public:
  DosStore Lookup(dev_t dev, const char* encodedPath) {
    DosStore store;
    if (Cached(dev, store)) return store;
    store = Probe(encodedPath);
    Remember(dev, store, std::chrono::steady_clock::now());
    return store;
  }

  bool Cached(dev_t dev, DosStore& store) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    for (const Entry& e : entries_) {
      if (e.Dev == dev && now - e.Probed < kLifetime) {
        store = e.Store;
        return true;
      }
    }
    return false;
  }

  // getxattr said the device has no extended attributes at all: that holds for every file
  // on it, so later reads are skipped.
  void MarkNoXattr(dev_t dev) {
    Remember(dev, DosStore::NoXattr, std::chrono::steady_clock::now());
  }

 private:
  struct Entry {
    dev_t Dev;
    DosStore Store;
    std::chrono::steady_clock::time_point Probed;
  };
  static constexpr std::chrono::seconds kLifetime{10};

  static DosStore Probe(const char* encodedPath) {
    struct statfs sfs {};
    if (::statfs(encodedPath, &sfs) != 0) return DosStore::Xattr;
    const long type = static_cast<long>(sfs.f_type);
    if (type == kMsdosMagic) return DosStore::Fat;
    if (type == kNtfsMagic || type == kNtfs3Magic) return DosStore::Ntfs;
    if (type == kFuseMagic) {
      // Only ntfs-3g among FUSE file systems answers this attribute.
      char value[8];
      if (::getxattr(encodedPath, kNtfsAttribName, value, sizeof value) == 4) {
        return DosStore::Ntfs;
      }
    }
    return DosStore::Xattr;
  }

  void Remember(dev_t dev, DosStore store, std::chrono::steady_clock::time_point when) {
    std::lock_guard lock(mutex_);
    for (Entry& e : entries_) {
      if (e.Dev == dev) {
        e.Store = store;
        e.Probed = when;
        return;
      }
    }
    entries_.push_back({dev, store, when});
  }

  std::mutex mutex_;
  std::vector<Entry> entries_;
};

DeviceStores& Stores() {
  static DeviceStores stores;
  return stores;
}

// Samba's form: "0x" and hex digits, then either the end or a NUL followed by Samba's binary
// record. Anything else is not a DOS word.
uint32_t ParseDosAttrib(const char* text, size_t length) {
  if (length < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return 0;
  uint32_t value = 0;
  size_t digits = 0;
  for (size_t i = 2; i < length; ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      break;
    }
    if (++digits > 8) return 0;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  return value;
}

uint32_t ReadFatWord(const char* encodedPath) {
  const int fd = ::open(encodedPath, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return 0;
  uint32_t value = 0;
  if (::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &value) != 0) value = 0;
  ::close(fd);
  return value;
}

// Samba's word from the text the attribute held (its length, or -errno from the read).
uint32_t DosWordFromRead(ptrdiff_t n, const char* buffer, const struct stat& st,
                         const char* encodedPath) {
  if (n >= 0) return ParseDosAttrib(buffer, static_cast<size_t>(n));
  if (IsXattrUnsupported(static_cast<int>(-n))) {
    Stores().MarkNoXattr(st.st_dev);
  } else if (n == -ERANGE) {
    // A long Samba record: only its leading text matters.
    const XattrValue value = GetXattr(encodedPath, kDosAttribName);
    if (value.Ok())
      return ParseDosAttrib(value.Value.constData(), static_cast<size_t>(value.Value.size()));
  }
  return 0;
}

uint32_t ReadStoredWord(const char* encodedPath, const struct stat& st, DosStore store) {
  switch (store) {
    case DosStore::NoXattr:
      return 0;
    case DosStore::Fat:
      return ReadFatWord(encodedPath);
    case DosStore::Ntfs: {
      unsigned char value[4];
      if (::getxattr(encodedPath, kNtfsAttribName, value, sizeof value) != 4) return 0;
      return static_cast<uint32_t>(value[0]) | static_cast<uint32_t>(value[1]) << 8 |
             static_cast<uint32_t>(value[2]) << 16 | static_cast<uint32_t>(value[3]) << 24;
    }
    case DosStore::Xattr:
      break;
  }
  char buffer[256];
  const ptrdiff_t n = GetXattrInto(encodedPath, kDosAttribName, buffer, sizeof buffer);
  return DosWordFromRead(n, buffer, st, encodedPath);
}

bool NameIsHidden(const QString& fileName) {
  return !fileName.isEmpty() && fileName.front() == QLatin1Char('.');
}

QString LastComponent(const QString& path) {
  QString trimmed = path;
  while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/'))) trimmed.chop(1);
  return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

int WriteFatWord(const char* encodedPath, uint32_t word) {
  const int fd = ::open(encodedPath, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errno;
  int err = 0;
  uint32_t value = word & kFatBits;
  if (::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &value) != 0) err = errno;
  ::close(fd);
  return err;
}

// Samba reads a bare hex text as the attribute word when its NUL ends the value; without the
// NUL its decoder looks for a binary record after the text and discards the value.
QByteArray DosAttribText(uint32_t word) {
  char text[16];
  const int n = std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(word));
  return QByteArray(text, n + 1);
}

// The word from the stored DOS word, the permission bits and the name.
int32_t CombinedWord(uint32_t stored, const struct stat& st, const QString& fileName) {
  uint32_t word = stored & ~static_cast<uint32_t>(kAttrReadOnly | kAttrNormal);
  if (S_ISDIR(st.st_mode)) word |= kAttrDirectory;
  if ((st.st_mode & S_IWUSR) == 0) word |= kAttrReadOnly;
  if (NameIsHidden(fileName)) word |= kAttrHidden;
  if (word == 0) word = kAttrNormal;
  return static_cast<int32_t>(word & 0x7FFFFFFFu);
}

// Opening or querying a device or FIFO can block or have side effects: those carry no DOS word.
bool MayCarryDosWord(const struct stat& st) {
  return S_ISREG(st.st_mode) || S_ISDIR(st.st_mode);
}

}  // namespace

int32_t AttributesFromStat(const char* encodedPath, const struct stat& st,
                           const QString& fileName) {
  uint32_t stored = 0;
  if (MayCarryDosWord(st)) {
    const DosStore store = Stores().Lookup(st.st_dev, encodedPath);
    stored = ReadStoredWord(encodedPath, st, store);
  }
  return CombinedWord(stored, st, fileName);
}

int32_t AttributesFromStatAt(int dirFd, const char* name, const struct stat& st,
                             const QString& fileName) {
  if (!MayCarryDosWord(st)) return CombinedWord(0, st, fileName);
  DosStore store = DosStore::Fat;  // unknown yet: the path below probes the device
  const bool known = Stores().Cached(st.st_dev, store);
  if (known && store == DosStore::NoXattr) return CombinedWord(0, st, fileName);
  if (known && store == DosStore::Xattr) {
    // The common case, read relative to the folder: no path to walk, at any depth.
    char buffer[256];
    const ptrdiff_t n = GetXattrAtInto(dirFd, name, kDosAttribName, buffer, sizeof buffer);
    if (n != -ERANGE) return CombinedWord(DosWordFromRead(n, buffer, st, nullptr), st, fileName);
  }
  // A first look at this device, FAT or NTFS, or a long record: through a path of its own.
  char path[PATH_MAX];
  if (std::snprintf(path, sizeof path, "/proc/self/fd/%d/%s", dirFd, name) >=
      static_cast<int>(sizeof path))
    return CombinedWord(0, st, fileName);
  return AttributesFromStat(path, st, fileName);
}

int32_t ReadAttributes(const QString& path) {
  const QByteArray encoded = EncodeFileName(path);
  struct stat st {};
  if (encoded.isEmpty() || ::stat(encoded.constData(), &st) != 0) return -1;
  return AttributesFromStat(encoded.constData(), st, LastComponent(path));
}

int WriteAttributes(const QString& path, int32_t word) {
  const QByteArray encoded = EncodeFileName(path);
  const char* p = encoded.constData();
  struct stat st {};
  if (encoded.isEmpty() || ::stat(p, &st) != 0) return errno != 0 ? errno : ENOENT;
  const auto bits =
      static_cast<uint32_t>(word) & ~static_cast<uint32_t>(kAttrNormal | kAttrDirectory);
  const bool wantReadOnly = (bits & kAttrReadOnly) != 0;
  const bool nameHidden = NameIsHidden(LastComponent(path));
  const DosStore store = Stores().Lookup(st.st_dev, p);

  if (store == DosStore::Fat) {
    // The FAT driver keeps read-only itself (and maps it to the permission bits); it has no
    // room for the other Windows bits.
    if ((bits & ~kFatBits) != 0) return ENOTSUP;
    return WriteFatWord(p, bits);
  }

  const mode_t mode = st.st_mode & 07777;
  const mode_t finalMode =
      wantReadOnly ? (mode & ~mode_t{0222}) : ((mode & S_IWUSR) != 0 ? mode : (mode | S_IWUSR));
  // Extended attributes of a file without write permission cannot be changed by its owner:
  // open it up for the change and set the final bits afterwards.
  if ((mode & S_IWUSR) == 0 && ::chmod(p, mode | S_IWUSR) != 0) return errno;

  int err = 0;
  if (store == DosStore::Ntfs) {
    const uint32_t value = bits == 0 ? static_cast<uint32_t>(kAttrNormal) : bits;
    const unsigned char le[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    if (::setxattr(p, kNtfsAttribName, le, sizeof le, 0) != 0) err = errno;
  } else if (bits == 0) {
    err = RemoveXattr(p, kDosAttribName);
    if (err == ENODATA || err == EPERM || IsXattrUnsupported(err)) err = 0;
  } else {
    err = SetXattr(p, kDosAttribName, DosAttribText(bits));
    // Read-only lives in the permission bits and a leading "." hides the file anyway: the
    // stored copy is for Samba only and may be missing where the file can keep none (no
    // extended attributes, or a FIFO or device). Any other bit must be stored.
    const uint32_t mustStore =
        bits & ~static_cast<uint32_t>(kAttrReadOnly | (nameHidden ? kAttrHidden : 0));
    if ((IsXattrUnsupported(err) || err == EPERM) && mustStore == 0) err = 0;
  }
  if (err != 0) {
    if ((mode & S_IWUSR) == 0) ::chmod(p, mode);
    return err;
  }
  if (finalMode != ((mode & S_IWUSR) == 0 ? (mode | S_IWUSR) : mode) &&
      ::chmod(p, finalMode) != 0) {
    return errno;
  }
  return 0;
}

namespace {

QByteArray LittleEndian(uint32_t value) {
  QByteArray bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

uint32_t FromLittleEndian(const QByteArray& bytes) {
  uint32_t value = 0;
  for (int i = 0; i < 4 && i < bytes.size(); ++i)
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  return value;
}

}  // namespace

int ReadStoredDosWord(const QString& path, StoredDosWord& word) {
  word = StoredDosWord{};
  const QByteArray encoded = EncodeFileName(path);
  const char* p = encoded.constData();
  struct stat st {};
  if (encoded.isEmpty() || ::stat(p, &st) != 0) return errno != 0 ? errno : ENOENT;
  if (!MayCarryDosWord(st)) return 0;
  switch (Stores().Lookup(st.st_dev, p)) {
    case DosStore::NoXattr:
      return 0;
    case DosStore::Fat: {
      const int fd = ::open(p, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
      if (fd < 0) return errno;
      uint32_t value = 0;
      const int err = ::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &value) == 0 ? 0 : errno;
      ::close(fd);
      if (err != 0) return err;
      word.Kind = StoredDosWord::Store::Fat;
      word.Raw = LittleEndian(value);
      return 0;
    }
    case DosStore::Ntfs: {
      XattrValue value = GetXattr(p, kNtfsAttribName);
      if (value.Error == ENODATA) return 0;
      if (!value.Ok()) return value.Error;
      word.Kind = StoredDosWord::Store::Ntfs;
      word.Raw = value.Value;
      return 0;
    }
    case DosStore::Xattr:
      break;
  }
  XattrValue value = GetXattr(p, kDosAttribName);
  if (value.Error == ENODATA || IsXattrUnsupported(value.Error)) return 0;
  if (!value.Ok()) return value.Error;
  word.Kind = StoredDosWord::Store::Text;
  word.Raw = value.Value;
  return 0;
}

int RestoreStoredDosWord(const QString& path, const StoredDosWord& word) {
  const QByteArray encoded = EncodeFileName(path);
  const char* p = encoded.constData();
  if (encoded.isEmpty()) return ENOENT;
  switch (word.Kind) {
    case StoredDosWord::Store::Fat:
      return WriteFatWord(p, FromLittleEndian(word.Raw));
    case StoredDosWord::Store::Ntfs:
      return SetXattr(p, kNtfsAttribName, word.Raw);
    case StoredDosWord::Store::Text:
      return SetXattr(p, kDosAttribName, word.Raw);
    case StoredDosWord::Store::None:
      break;
  }
  const int err = RemoveXattr(p, kDosAttribName);
  return err == ENODATA || IsXattrUnsupported(err) ? 0 : err;
}
