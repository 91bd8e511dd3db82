#include "filelist/FileList.h"

#include <QHashFunctions>

#include <algorithm>
#include <cstring>

namespace {

uint32_t Mix64(uint64_t x) {
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDull;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53ull;
  x ^= x >> 33;
  return static_cast<uint32_t>(x);
}

// A hash of a path handed in as one or two pieces, the same however the text is cut: an
// entry keeps its path as folder and file name, a lookup has it whole. Four UTF-16 units are
// mixed in at a time.
uint32_t PathHash(QStringView head, QStringView tail = {}) {
  uint64_t state = 0x243F6A8885A308D3ull;
  uint64_t pending = 0;
  int filled = 0;
  const auto mix = [&state](uint64_t word) {
    state = (state ^ word) * 0x9E3779B97F4A7C15ull;
    state ^= state >> 31;
  };
  for (const QStringView piece : {head, tail}) {
    const char16_t* at = piece.utf16();
    qsizetype left = piece.size();
    // Complete the word the first piece left unfinished.
    for (; left > 0 && filled != 0; --left) {
      pending |= static_cast<uint64_t>(*at++) << (16 * filled);
      if (++filled == 4) {
        mix(pending);
        pending = 0;
        filled = 0;
      }
    }
    for (; left >= 4; left -= 4, at += 4) {
      uint64_t word = 0;
      std::memcpy(&word, at, sizeof word);
      mix(word);
    }
    for (; left > 0; --left) pending |= static_cast<uint64_t>(*at++) << (16 * filled++);
  }
  mix(pending);
  return Mix64(state ^ static_cast<uint64_t>(head.size() + tail.size()));
}

// The entry's path is exactly `path`, compared without joining the entry's two pieces.
bool HasPath(const FileEntry& entry, QStringView path) {
  const QString& folder = entry.PathFolder();
  return path.size() == folder.size() + entry.FileName().size() && path.startsWith(folder) &&
         path.sliced(folder.size()) == entry.FileName();
}

bool SamePath(const FileEntry& a, const FileEntry& b) {
  if (a.PathFolder().size() == b.PathFolder().size())
    return a.FileName() == b.FileName() && a.PathFolder() == b.PathFolder();
  return HasPath(a, b.Path());
}

uint32_t FileHash(uint64_t device, uint64_t inode) {
  return Mix64(device * 0x9E3779B97F4A7C15ull ^ inode);
}

uint32_t IdHash(int32_t id) {
  return Mix64(static_cast<uint32_t>(id));
}

bool KnowsFile(const FileEntry& entry) {
  return entry.Device != 0 || entry.Inode != 0;
}

}  // namespace

FileList::FileList(const FileList& other) {
  CopyFrom(other);
}

FileList& FileList::operator=(const FileList& other) {
  if (this != &other) {
    DestroyAll();
    CopyFrom(other);
  }
  return *this;
}

FileList::FileList(FileList&& other) noexcept {
  *this = std::move(other);
}

FileList& FileList::operator=(FileList&& other) noexcept {
  if (this == &other) return *this;
  DestroyAll();
  chunks_ = std::move(other.chunks_);
  size_ = std::exchange(other.size_, 0);
  removed_ = std::exchange(other.removed_, 0);
  gaps_ = std::move(other.gaps_);
  ascending_ = std::exchange(other.ascending_, true);
  orderChecked_ = std::exchange(other.orderChecked_, true);
  positions_ = std::move(other.positions_);
  positionsValid_ = std::exchange(other.positionsValid_, false);
  paths_ = std::move(other.paths_);
  files_ = std::move(other.files_);
  Current = std::exchange(other.Current, -1);
  cursorSeen_ = std::exchange(other.cursorSeen_, -1);
  cursorPhysical_ = std::exchange(other.cursorPhysical_, -1);
  liveBefore_ = std::exchange(other.liveBefore_, 0);
  cursorOnGap_ = std::exchange(other.cursorOnGap_, false);
  other.chunks_.clear();
  other.gaps_.clear();
  other.positions_.Clear();
  other.paths_.Clear();
  other.files_.Clear();
  return *this;
}

void FileList::CopyFrom(const FileList& other) {
  // The copy has no gaps; the indexes name entries by id, so they carry over as they are.
  other.Compact();
  for (size_t i = 0; i < other.size_; ++i) {
    if ((size_ >> kChunkShift) == chunks_.size()) chunks_.push_back(std::make_unique<Chunk>());
    new (&Slot(size_)) FileEntry(other.Slot(i));
    ++size_;
  }
  ascending_ = other.ascending_;
  orderChecked_ = other.orderChecked_;
  positions_ = other.positions_;
  positionsValid_ = other.positionsValid_;
  paths_ = other.paths_;
  files_ = other.files_;
  Current = other.Current;
}

void FileList::ShrinkTo(size_t size) const {
  for (size_t i = size; i < size_; ++i) Slot(i).~FileEntry();
  size_ = size;
  chunks_.resize((size + kChunkSize - 1) >> kChunkShift);
}

void FileList::DestroyAll() {
  ShrinkTo(0);
  chunks_.shrink_to_fit();
  removed_ = 0;
  gaps_.clear();
  gaps_.shrink_to_fit();
}

void FileList::Reserve(qsizetype count) {
  if (count <= 0) return;
  const auto wanted = static_cast<size_t>(count);
  chunks_.reserve((wanted + kChunkSize - 1) >> kChunkShift);
  paths_.Reserve(wanted);
  files_.Reserve(wanted);
}

FileEntry& FileList::Append(FileEntry&& entry) {
  Compact();
  if (size_ > 0 && entry.Id <= Slot(size_ - 1).Id && ascending_) {
    ascending_ = false;
    positionsValid_ = false;
  }
  const auto id = static_cast<uint32_t>(entry.Id);
  paths_.Insert(PathHash(entry.PathFolder(), entry.FileName()), id, [&](uint32_t other) {
    const FileEntry* found = LiveById(other);
    return found != nullptr && SamePath(*found, entry);
  });
  if (KnowsFile(entry)) {
    files_.Insert(FileHash(entry.Device, entry.Inode), id, [&](uint32_t other) {
      const FileEntry* found = LiveById(other);
      return found != nullptr && found->Device == entry.Device && found->Inode == entry.Inode;
    });
  }
  if ((size_ >> kChunkShift) == chunks_.size()) chunks_.push_back(std::make_unique<Chunk>());
  FileEntry& stored = *new (&Slot(size_)) FileEntry(std::move(entry));
  const auto pos = static_cast<qsizetype>(size_);
  ++size_;
  if (positionsValid_)
    positions_.Insert(IdHash(stored.Id), static_cast<uint32_t>(pos),
                      [](uint32_t) { return false; });
  Current = pos;
  return stored;
}

const FileEntry* FileList::LiveById(uint32_t id) const {
  const qsizetype pos = PositionOf(static_cast<int32_t>(id));
  return pos < 0 ? nullptr : &Slot(static_cast<size_t>(pos));
}

int32_t FileList::IdOfPath(const QString& path) const {
  const uint32_t id = paths_.Find(PathHash(path), [&](uint32_t candidate) {
    const FileEntry* found = LiveById(candidate);
    return found != nullptr && HasPath(*found, path);
  });
  return id == FlatIndex::kNone ? 0 : static_cast<int32_t>(id);
}

bool FileList::ContainsFile(uint64_t device, uint64_t inode) const {
  if (device == 0 && inode == 0) return false;
  return files_.Find(FileHash(device, inode), [&](uint32_t candidate) {
    const FileEntry* found = LiveById(candidate);
    return found != nullptr && found->Device == device && found->Inode == inode;
  }) != FlatIndex::kNone;
}

qsizetype FileList::SearchAscending(int32_t id) const {
  size_t low = 0;
  size_t high = size_;
  while (low < high) {
    const size_t mid = low + (high - low) / 2;
    if (Slot(mid).Id < id)
      low = mid + 1;
    else
      high = mid;
  }
  return low < size_ && Slot(low).Id == id ? static_cast<qsizetype>(low) : -1;
}

bool FileList::IdsAscend() const {
  for (size_t i = 1; i < size_; ++i)
    if (Slot(i - 1).Id >= Slot(i).Id) return false;
  return true;
}

void FileList::BuildPositions() const {
  positions_.Clear();
  positions_.Reserve(size_);
  for (size_t i = 0; i < size_; ++i)
    positions_.Insert(IdHash(Slot(i).Id), static_cast<uint32_t>(i), [](uint32_t) { return false; });
  positionsValid_ = true;
}

qsizetype FileList::PositionOf(int32_t id) const {
  qsizetype pos = -1;
  if (ascending_) {
    pos = SearchAscending(id);
    // Not found: either absent, or a caller swapped entries through a reference, so that the
    // ids no longer ascend. Looked at once after each chance of that.
    if (pos < 0 && !orderChecked_) {
      orderChecked_ = true;
      if (!IdsAscend()) ascending_ = false;
    }
  }
  if (!ascending_) {
    const auto matches = [&](uint32_t p) { return p < size_ && Slot(p).Id == id; };
    if (!positionsValid_) BuildPositions();
    uint32_t found = positions_.Find(IdHash(id), matches);
    // A caller may have reordered the entries through the iterators; the index heals itself.
    if (found == FlatIndex::kNone && !orderChecked_) {
      orderChecked_ = true;
      BuildPositions();
      found = positions_.Find(IdHash(id), matches);
    }
    pos = found == FlatIndex::kNone ? -1 : static_cast<qsizetype>(found);
  }
  return pos >= 0 && IsGap(static_cast<size_t>(pos)) ? -1 : pos;
}

FileEntry* FileList::FindById(int32_t id) {
  const qsizetype pos = PositionOf(id);
  return pos < 0 ? nullptr : &Slot(static_cast<size_t>(pos));
}

const FileEntry* FileList::FindById(int32_t id) const {
  const qsizetype pos = PositionOf(id);
  return pos < 0 ? nullptr : &Slot(static_cast<size_t>(pos));
}

void FileList::SyncCursor() {
  if (removed_ > 0 && Current == cursorSeen_) return;
  // Either there are no gaps (positions are indexes) or the cursor was set from outside since
  // the last removal, as a position in list order: close the gaps so the two agree again.
  Compact();
  cursorSeen_ = Current;
  cursorPhysical_ = Current;
  liveBefore_ = Current < 0 ? 0 : Current;
  cursorOnGap_ = false;
}

void FileList::MarkRemoved(size_t physical) {
  FileEntry& entry = Slot(physical);
  const auto id = static_cast<uint32_t>(entry.Id);
  paths_.Erase(PathHash(entry.PathFolder(), entry.FileName()), id);
  if (KnowsFile(entry)) files_.Erase(FileHash(entry.Device, entry.Inode), id);
  // The gap keeps its id, so that the ids still ascend for the search; its texts go now
  // rather than when the gaps are closed.
  const int32_t keptId = entry.Id;
  entry = FileEntry{};
  entry.Id = keptId;
  if (removed_ == 0) gaps_.assign((size_ + 63) / 64, 0);
  gaps_[physical >> 6] |= uint64_t{1} << (physical & 63);
  ++removed_;
  if (Current >= 0) {
    const auto pos = static_cast<qsizetype>(physical);
    if (pos < cursorPhysical_)
      --liveBefore_;
    else if (pos == cursorPhysical_)
      cursorOnGap_ = true;
    // On a gap the cursor means the entry that followed, or the last one when none did.
    Current = cursorOnGap_ ? std::min(liveBefore_, Count() - 1) : liveBefore_;
    cursorSeen_ = Current;
  }
}

bool FileList::RemoveById(int32_t id) {
  SyncCursor();  // may close gaps, which moves entries: look the id up afterwards
  const qsizetype pos = PositionOf(id);
  if (pos < 0) return false;
  MarkRemoved(static_cast<size_t>(pos));
  return true;
}

qsizetype FileList::RemoveByIds(const QSet<int32_t>& ids) {
  if (ids.isEmpty()) return 0;
  SyncCursor();
  qsizetype count = 0;
  for (size_t i = 0; i < size_; ++i) {
    if (IsGap(i) || !ids.contains(Slot(i).Id)) continue;
    MarkRemoved(i);
    ++count;
  }
  return count;
}

qsizetype FileList::RemoveMarked(const std::vector<bool>& marked) {
  const auto isMarked = [&marked](int32_t id) {
    return id >= 0 && static_cast<size_t>(id) < marked.size() && marked[static_cast<size_t>(id)];
  };
  // The gaps left by earlier removals go first, so that positions are indexes below; the
  // entries that stay are then moved up in the same pass that drops the marked ones.
  Compact();
  size_t markedCount = 0;
  for (const bool bit : marked) markedCount += bit ? 1 : 0;
  if (markedCount == 0 || size_ == 0) return 0;
  // Taking a few entries out of the indexes costs a look at each; taking a large share out
  // costs one sweep of the tables instead, which at millions of entries is far cheaper.
  const bool sweepIndexes = markedCount * 8 >= size_;
  const qsizetype cursor = Current;
  qsizetype newCursor = -1;
  bool cursorDropped = false;
  size_t write = 0;
  for (size_t read = 0; read < size_; ++read) {
    FileEntry& entry = Slot(read);
    if (static_cast<qsizetype>(read) == cursor) {
      newCursor = static_cast<qsizetype>(write);
      cursorDropped = isMarked(entry.Id);
    }
    if (!isMarked(entry.Id)) {
      if (write != read) Slot(write) = std::move(entry);
      ++write;
      continue;
    }
    if (!sweepIndexes) {
      const auto id = static_cast<uint32_t>(entry.Id);
      paths_.Erase(PathHash(entry.PathFolder(), entry.FileName()), id);
      if (KnowsFile(entry)) files_.Erase(FileHash(entry.Device, entry.Inode), id);
    }
  }
  const auto removed = static_cast<qsizetype>(size_ - write);
  if (removed == 0) return 0;
  if (sweepIndexes) {
    const auto gone = [&isMarked](uint32_t id) { return isMarked(static_cast<int32_t>(id)); };
    paths_.EraseIf(gone);
    files_.EraseIf(gone);
  }
  // What is left past the last kept entry: the dropped entries, or what the moves left of them.
  ShrinkTo(write);
  positionsValid_ = false;
  positions_.Clear();
  // The cursor stays on its entry; on a removed one it means the entry that followed, or the
  // last one when none did.
  if (cursor >= 0) Current = cursorDropped ? std::min(newCursor, Count() - 1) : newCursor;
  return removed;
}

void FileList::Compact() const {
  if (removed_ == 0) return;
  // The cursor is a position in list order already; only the entries move.
  size_t write = 0;
  for (size_t read = 0; read < size_; ++read) {
    if (IsGap(read)) continue;
    if (write != read) Slot(write) = std::move(Slot(read));
    ++write;
  }
  removed_ = 0;
  gaps_.clear();
  gaps_.shrink_to_fit();
  ShrinkTo(write);
  positionsValid_ = false;
  positions_.Clear();
}

void FileList::Clear() {
  DestroyAll();
  ascending_ = true;
  orderChecked_ = true;
  paths_.Clear();
  files_.Clear();
  positions_.Clear();
  positionsValid_ = false;
  Current = -1;
}

bool FileList::Reorder(const std::vector<qsizetype>& order) {
  Compact();
  const size_t n = size_;
  if (order.size() != n) return false;
  std::vector<bool> seen(n, false);
  for (const qsizetype from : order) {
    if (from < 0 || static_cast<size_t>(from) >= n || seen[static_cast<size_t>(from)]) return false;
    seen[static_cast<size_t>(from)] = true;
  }
  // Apply the permutation cycle by cycle, so only one entry is ever held outside the list.
  std::vector<bool> placed(n, false);
  qsizetype newCurrent = Current;
  for (size_t start = 0; start < n; ++start) {
    if (placed[start]) continue;
    FileEntry held = std::move(Slot(start));
    size_t to = start;
    for (;;) {
      const auto from = static_cast<size_t>(order[to]);
      placed[to] = true;
      if (static_cast<qsizetype>(from) == Current) newCurrent = static_cast<qsizetype>(to);
      if (from == start) {
        Slot(to) = std::move(held);
        break;
      }
      Slot(to) = std::move(Slot(from));
      to = from;
    }
  }
  Current = newCurrent;
  ascending_ = IdsAscend();
  orderChecked_ = true;
  positionsValid_ = false;
  positions_.Clear();
  return true;
}
