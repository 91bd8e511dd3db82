#pragma once

#include "records/FileEntry.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

// An ordered list of loaded files with a current-entry cursor. Paths, files (device and inode)
// and ids are indexed, so the duplicate test of admission and the lookup of a row's entry cost
// constant time.
//
// Removal by id is constant time: the entry is emptied and left behind as a gap, and the gaps
// are closed in one pass the next time the list is read by position (At, begin/end, Current).
// Removing many selected rows therefore costs one pass over the list, not one per row.
// Entries live in a deque so that growing the list never moves (and never briefly doubles)
// the entries already loaded: a reference to an entry stays valid while entries are appended,
// until an entry is removed, the list is reordered or cleared.
//
// Like the lists it replaces, a FileList is walked and changed by one thread at a time; reading
// by position may close the gaps, so even const reads must not overlap a change.
class FileList {
 public:
  qsizetype Count() const { return static_cast<qsizetype>(entries_.size()) - removed_; }
  bool IsEmpty() const { return Count() == 0; }

  // 0-based position in list order.
  FileEntry& At(qsizetype pos) {
    Compact();
    return entries_[static_cast<size_t>(pos)];
  }
  const FileEntry& At(qsizetype pos) const {
    Compact();
    return entries_[static_cast<size_t>(pos)];
  }

  auto begin() {
    Compact();
    return entries_.begin();
  }
  auto end() {
    Compact();
    return entries_.end();
  }
  auto begin() const {
    Compact();
    return entries_.cbegin();
  }
  auto end() const {
    Compact();
    return entries_.cend();
  }

  // Appends the entry (its Id and Path must be set) and makes it the current entry.
  FileEntry& Append(FileEntry&& entry);
  FileEntry& Append(const FileEntry& entry) { return Append(FileEntry(entry)); }

  // Exact, case-sensitive comparison of paths.
  bool ContainsPath(const QString& path) const { return paths_.contains(path); }
  // An entry stands for this file (device and inode), under whatever path; never for 0 and 0.
  bool ContainsFile(uint64_t device, uint64_t inode) const {
    return (device != 0 || inode != 0) && files_.contains(FileKey{device, inode});
  }
  // The id of the entry with exactly this path; 0 when there is none (ids start at 1).
  int32_t IdOfPath(const QString& path) const { return paths_.value(path, 0); }
  FileEntry* FindById(int32_t id);
  const FileEntry* FindById(int32_t id) const;
  bool RemoveById(int32_t id);
  // Removes every entry whose id is in `ids`, in one pass; returns how many were removed.
  qsizetype RemoveByIds(const QSet<int32_t>& ids);
  void Clear();

  // Puts the entries in a new order: `order[i]` is the current position of the entry that
  // goes to position i; `order` must be a permutation of 0..Count()-1 (false otherwise, and
  // the list is unchanged). The current entry stays the same entry.
  bool Reorder(const std::vector<qsizetype>& order);

  // The current-entry cursor (-1: none), a position in list order at all times: removing an
  // entry before it moves it back by one, removing the current entry hands it to the entry that
  // followed (or to the last entry when none followed).
  qsizetype Current = -1;

 private:
  void Compact() const;
  void BuildPositions() const;
  qsizetype PositionOf(int32_t id) const;  // -1 when absent
  void SyncCursor();
  void MarkRemoved(size_t physical);

  // Mutable because closing the gaps changes no entry a reader can see.
  mutable std::deque<FileEntry> entries_;
  mutable qsizetype removed_ = 0;                // gaps not yet closed
  mutable QHash<int32_t, qsizetype> positions_;  // Id -> position, built on first lookup
  mutable bool positionsValid_ = false;
  struct FileKey {
    uint64_t Device;
    uint64_t Inode;
    bool operator==(const FileKey&) const = default;
    friend size_t qHash(const FileKey& key, size_t seed) {
      return qHashMulti(seed, key.Device, key.Inode);
    }
  };
  QHash<QString, int32_t> paths_;  // Path -> Id
  QHash<FileKey, int32_t> files_;  // Device and Inode -> Id, for entries that know them
  // Where the cursor stands among the entries and gaps, so that a removal can move it without
  // closing the gaps first. Valid while Current equals cursorSeen_.
  qsizetype cursorSeen_ = -1;
  qsizetype cursorPhysical_ = -1;  // index in entries_ of the current entry (or of its gap)
  qsizetype liveBefore_ = 0;       // entries (not gaps) before cursorPhysical_
  bool cursorOnGap_ = false;       // the current entry itself was removed
};
