#include "filelist/FileList.h"

#include <algorithm>
#include <limits>

namespace {

// Marks a removed entry until the gaps are closed; NextEntryId never hands it out.
constexpr int32_t kRemovedId = std::numeric_limits<int32_t>::min();

}  // namespace

FileEntry& FileList::Append(FileEntry&& entry) {
  Compact();
  paths_.insert(entry.Path, entry.Id);
  if (entry.Device != 0 || entry.Inode != 0)
    files_.insert(FileKey{entry.Device, entry.Inode}, entry.Id);
  entries_.push_back(std::move(entry));
  const auto pos = static_cast<qsizetype>(entries_.size()) - 1;
  if (positionsValid_) positions_.insert(entries_.back().Id, pos);
  Current = pos;
  return entries_.back();
}

void FileList::BuildPositions() const {
  Compact();
  positions_.clear();
  positions_.reserve(static_cast<qsizetype>(entries_.size()));
  for (size_t i = 0; i < entries_.size(); ++i)
    positions_.insert(entries_[i].Id, static_cast<qsizetype>(i));
  positionsValid_ = true;
}

qsizetype FileList::PositionOf(int32_t id) const {
  if (id == kRemovedId) return -1;
  if (!positionsValid_) BuildPositions();
  const auto it = positions_.constFind(id);
  if (it == positions_.cend()) return -1;
  const qsizetype pos = it.value();
  // A caller may have reordered the entries through the iterators; the index heals itself.
  if (pos >= static_cast<qsizetype>(entries_.size()) ||
      entries_[static_cast<size_t>(pos)].Id != id) {
    BuildPositions();
    const auto again = positions_.constFind(id);
    return again == positions_.cend() ? -1 : again.value();
  }
  return pos;
}

FileEntry* FileList::FindById(int32_t id) {
  const qsizetype pos = PositionOf(id);
  return pos < 0 ? nullptr : &entries_[static_cast<size_t>(pos)];
}

const FileEntry* FileList::FindById(int32_t id) const {
  const qsizetype pos = PositionOf(id);
  return pos < 0 ? nullptr : &entries_[static_cast<size_t>(pos)];
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
  FileEntry& entry = entries_[physical];
  const auto pathIt = paths_.constFind(entry.Path);
  if (pathIt != paths_.cend() && pathIt.value() == entry.Id) paths_.erase(pathIt);
  const auto fileIt = files_.constFind(FileKey{entry.Device, entry.Inode});
  if (fileIt != files_.cend() && fileIt.value() == entry.Id) files_.erase(fileIt);
  entry = FileEntry{};  // frees its texts now rather than when the gaps are closed
  entry.Id = kRemovedId;
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
  positions_.remove(id);
  MarkRemoved(static_cast<size_t>(pos));
  return true;
}

qsizetype FileList::RemoveByIds(const QSet<int32_t>& ids) {
  if (ids.isEmpty()) return 0;
  SyncCursor();
  qsizetype count = 0;
  for (size_t i = 0; i < entries_.size(); ++i) {
    const int32_t id = entries_[i].Id;
    if (id == kRemovedId || !ids.contains(id)) continue;
    positions_.remove(id);
    MarkRemoved(i);
    ++count;
  }
  return count;
}

void FileList::Compact() const {
  if (removed_ == 0) return;
  // The cursor is a position in list order already; only the entries move.
  size_t write = 0;
  for (size_t read = 0; read < entries_.size(); ++read) {
    if (entries_[read].Id == kRemovedId) continue;
    if (write != read) entries_[write] = std::move(entries_[read]);
    ++write;
  }
  entries_.resize(write);
  removed_ = 0;
  positionsValid_ = false;
  positions_.clear();
}

void FileList::Clear() {
  entries_.clear();
  removed_ = 0;
  paths_.clear();
  files_.clear();
  positions_.clear();
  positionsValid_ = false;
  Current = -1;
}

bool FileList::Reorder(const std::vector<qsizetype>& order) {
  Compact();
  const size_t n = entries_.size();
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
    FileEntry held = std::move(entries_[start]);
    size_t to = start;
    for (;;) {
      const auto from = static_cast<size_t>(order[to]);
      placed[to] = true;
      if (static_cast<qsizetype>(from) == Current) newCurrent = static_cast<qsizetype>(to);
      if (from == start) {
        entries_[to] = std::move(held);
        break;
      }
      entries_[to] = std::move(entries_[from]);
      to = from;
    }
  }
  Current = newCurrent;
  positionsValid_ = false;
  positions_.clear();
  return true;
}
