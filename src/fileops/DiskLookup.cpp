#include "fileops/DiskLookup.h"

#include "fileops/PathText.h"
#include "platform/FileName.h"
#include "platform/FileSystem.h"
#include "platform/FolderListing.h"

#include <cerrno>

bool DirectLookup::Exists(const QString& path) {
  return PathExists(path);
}

int64_t DirectLookup::Kind(const QString& path) {
  const int64_t size = FileSize(path);
  return size >= 0 ? 0 : size;
}

// One folder: how often it was asked about, and once read, its names by two 64-bit hashes in a
// flat table (the kind rides in the low bits of the second, which is never 0 for a used slot).
struct FolderSnapshots::Folder {
  QString Path;
  int Questions = 0;
  bool Listed = false;
  bool Unreadable = false;
  struct Slot {
    uint64_t A = 0;
    uint64_t B = 0;
  };
  std::vector<Slot> Slots;
  size_t Used = 0;

  static uint64_t HashA(QStringView name) {
    return static_cast<uint64_t>(qHash(name, size_t{0x9E3779B97F4A7C15}));
  }
  // Never 0, and free in its low two bits for the kind.
  static uint64_t HashB(QStringView name) {
    return (static_cast<uint64_t>(qHash(name, size_t{0xC2B2AE3D27D4EB4F})) & ~uint64_t{7}) | 4;
  }

  // 0 when absent, else 1 + kind. The second hash is worked out only when the first matches.
  int Find(QStringView name) const {
    if (Used == 0) return 0;
    const uint64_t a = HashA(name);
    uint64_t b = 0;
    const size_t mask = Slots.size() - 1;
    for (size_t i = a & mask;; i = (i + 1) & mask) {
      const Slot& slot = Slots[i];
      if (slot.B == 0) return 0;
      if (slot.A != a) continue;
      if (b == 0) b = HashB(name);
      if ((slot.B & ~uint64_t{3}) == b) return 1 + static_cast<int>(slot.B & 3);
    }
  }

  void Insert(QStringView name, int kind) {
    if ((Used + 1) * 2 > Slots.size()) Grow();
    const uint64_t a = HashA(name);
    const uint64_t b = HashB(name);
    const size_t mask = Slots.size() - 1;
    for (size_t i = a & mask;; i = (i + 1) & mask) {
      Slot& slot = Slots[i];
      if (slot.B == 0) {
        slot = {a, b | static_cast<uint64_t>(kind)};
        ++Used;
        return;
      }
      if (slot.A == a && (slot.B & ~uint64_t{3}) == b) return;
    }
  }

  void Grow() {
    std::vector<Slot> old(Slots.empty() ? 64 : Slots.size() * 2);
    old.swap(Slots);
    const size_t mask = Slots.size() - 1;
    for (const Slot& moved : old) {
      if (moved.B == 0) continue;
      size_t i = moved.A & mask;
      while (Slots[i].B != 0) i = (i + 1) & mask;
      Slots[i] = moved;
    }
  }
};

FolderSnapshots::FolderSnapshots() = default;
FolderSnapshots::~FolderSnapshots() = default;

FolderSnapshots::Folder& FolderSnapshots::FolderOf(QStringView folder) {
  for (Folder* recent : recent_) {
    if (recent != nullptr && recent->Path == folder) {
      last_ = recent;
      return *recent;
    }
  }
  // By the folder's hash, so that a look-up makes no copy of the folder's path.
  const size_t hash = qHash(folder, size_t{0x51ED27});
  Folder* found = nullptr;
  for (auto it = byPath_.constFind(hash); it != byPath_.constEnd() && it.key() == hash; ++it) {
    if (it.value()->Path == folder) {
      found = it.value();
      break;
    }
  }
  if (found == nullptr) {
    all_.push_back(std::make_unique<Folder>());
    found = all_.back().get();
    found->Path = folder.toString();
    byPath_.insert(hash, found);
  }
  recent_[nextRecent_] = found;
  nextRecent_ = (nextRecent_ + 1) % kRecent;
  last_ = found;
  return *found;
}

void FolderSnapshots::Read(Folder& folder) {
  QString decoded;
  // A name whose letters can change case: the probe for folders that ignore case.
  QString cased;
  const int error = ListFolder(folder.Path, [&](std::string_view name, ListedKind kind) {
    // Most names are plain ASCII: read into one reused text, without a decoder and its copy.
    const QLatin1StringView latin1(name.data(), static_cast<qsizetype>(name.size()));
    if (QtPrivate::isAscii(latin1)) {
      decoded = latin1;
    } else {
      decoded = DecodeFileName(name);
    }
    folder.Insert(decoded, static_cast<int>(kind));
    if (cased.isEmpty() && decoded.toUpper() != decoded.toLower()) cased = decoded;
  });
  // A folder that is not there holds nothing; one that cannot be read is asked name by name.
  // A folder that ignores case (vfat, exFAT, a casefolded folder) finds "IMG.JPG" where
  // "img.jpg" is listed: such a folder is asked name by name, as the run asks it.
  if (error == 0 && !cased.isEmpty() && IgnoresCase(folder, cased)) {
    folder.Unreadable = true;
    folder.Slots = {};
    folder.Used = 0;
  } else if (error == 0 || error == ENOENT || error == ENOTDIR) {
    folder.Listed = true;
    ++read_;
  } else {
    folder.Unreadable = true;
    folder.Slots = {};
    folder.Used = 0;
  }
}

bool FolderSnapshots::IgnoresCase(const Folder& folder, const QString& name) {
  QString other = name.toUpper();
  if (other == name) other = name.toLower();
  if (other == name || folder.Find(other) != 0) return false;
  return PathExists(folder.Path + other);
}

int FolderSnapshots::Listed(QStringView folderPath, QStringView name) {
  if (name.isEmpty()) return -1;
  return Listed(FolderOf(folderPath), name);
}

int FolderSnapshots::Listed(Folder& folder, QStringView name) {
  if (!folder.Listed) {
    if (folder.Unreadable || ++folder.Questions < kListAfter) return -1;
    Read(folder);
    if (!folder.Listed) return -1;
  }
  return folder.Find(name);
}

int64_t FolderSnapshots::KindOf(int listed, const QString& path) {
  if (listed < 0 || listed == 1 + static_cast<int>(ListedKind::Link)) {
    // Not read, or a link: the disk says what it is (a link is followed).
    const int64_t size = FileSize(path);
    return size >= 0 ? 0 : size;
  }
  switch (listed) {
    case 0:
      return kPathMissing;
    case 1 + static_cast<int>(ListedKind::Regular):
      return 0;
    case 1 + static_cast<int>(ListedKind::Directory):
      return kPathFolder;
    default:
      return kPathOther;
  }
}

int FolderSnapshots::Listed(QStringView path) {
  if (last_ != nullptr && InFolder(path, last_->Path))
    return Listed(*last_, path.sliced(last_->Path.size()));
  const qsizetype slash = LastSlash(path);
  return slash < 0 ? -1 : Listed(path.first(slash + 1), path.sliced(slash + 1));
}

bool FolderSnapshots::Exists(const QString& path) {
  const int listed = Listed(QStringView(path));
  return listed < 0 ? PathExists(path) : listed > 0;
}

int64_t FolderSnapshots::Kind(const QString& path) {
  return KindOf(Listed(QStringView(path)), path);
}

int64_t FolderSnapshots::KindIn(const QString& folder, const QString& name) {
  // A path without a folder is asked the long way.
  if (!folder.endsWith(QLatin1Char('/'))) return Kind(folder + name);
  const int listed = Listed(folder, name);
  const bool askDisk = listed < 0 || listed == 1 + static_cast<int>(ListedKind::Link);
  return KindOf(listed, askDisk ? folder + name : QString());
}
