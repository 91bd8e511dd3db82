#include "fileops/DiskLookup.h"

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

FolderSnapshots::Slot FolderSnapshots::KeyOf(QStringView path) {
  return {static_cast<uint64_t>(qHash(path, size_t{0x9E3779B97F4A7C15})),
          (static_cast<uint64_t>(qHash(path, size_t{0xC2B2AE3D27D4EB4F})) & ~uint64_t{7}) | 4};
}

int FolderSnapshots::Find(Slot key) const {
  if (used_ == 0) return 0;
  const size_t mask = slots_.size() - 1;
  for (size_t i = key.A & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.B == 0) return 0;
    if (slot.A == key.A && (slot.B & ~uint64_t{3}) == key.B) return 1 + static_cast<int>(slot.B & 3);
  }
}

void FolderSnapshots::Insert(Slot key, int kind) {
  if ((used_ + 1) * 2 > slots_.size()) {
    std::vector<Slot> old(slots_.empty() ? 1024 : slots_.size() * 2);
    old.swap(slots_);
    used_ = 0;
    const size_t mask = slots_.size() - 1;
    for (const Slot& moved : old) {
      if (moved.B == 0) continue;
      size_t i = moved.A & mask;
      while (slots_[i].B != 0) i = (i + 1) & mask;
      slots_[i] = moved;
      ++used_;
    }
  }
  const size_t mask = slots_.size() - 1;
  for (size_t i = key.A & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.B == 0) {
      slot = {key.A, key.B | static_cast<uint64_t>(kind)};
      ++used_;
      return;
    }
    if (slot.A == key.A && (slot.B & ~uint64_t{3}) == key.B) return;
  }
}

FolderSnapshots::Folder& FolderSnapshots::FolderOf(QStringView folder) {
  for (Recent& recent : recent_)
    if (!recent.Path.isEmpty() && recent.Path == folder) return recent.State;
  // Make room: the oldest goes back to the table of all folders.
  Recent& slot = recent_[nextRecent_];
  nextRecent_ = (nextRecent_ + 1) % kRecent;
  if (!slot.Path.isEmpty()) folders_.insert(slot.Path, slot.State);
  slot.Path = folder.toString();
  slot.State = folders_.value(slot.Path);
  return slot.State;
}

void FolderSnapshots::Read(const QString& folder, Folder& state) {
  QString path = folder;
  const qsizetype base = path.size();
  const int error = ListFolder(folder, [&](std::string_view name, ListedKind kind) {
    path.truncate(base);
    path += DecodeFileName(name);
    Insert(KeyOf(path), static_cast<int>(kind));
  });
  // A folder that is not there holds nothing; one that cannot be read is asked name by name.
  if (error == 0 || error == ENOENT || error == ENOTDIR) {
    state.Listed = true;
    ++read_;
  } else {
    state.Unreadable = true;
  }
}

int FolderSnapshots::Listed(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  if (slash < 0 || slash == path.size() - 1) return -1;
  Folder& state = FolderOf(QStringView(path).left(slash + 1));
  if (!state.Listed) {
    if (state.Unreadable || ++state.Questions < kListAfter) return -1;
    Read(path.left(slash + 1), state);
    if (!state.Listed) return -1;
  }
  return Find(KeyOf(path));
}

bool FolderSnapshots::Exists(const QString& path) {
  const int listed = Listed(path);
  return listed < 0 ? PathExists(path) : listed > 0;
}

int64_t FolderSnapshots::Kind(const QString& path) {
  const int listed = Listed(path);
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
