#pragma once

#include "filelist/FlatIndex.h"
#include "records/FileEntry.h"

#include <QSet>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// An ordered list of loaded files with a current-entry cursor. Paths, files (device and inode)
// and ids are indexed, so the duplicate test of admission and the lookup of a row's entry cost
// constant (ids: logarithmic) time.
//
// Removal by id is constant time: the entry is emptied and left behind as a gap, and the gaps
// are closed in one pass the next time the list is read by position (At, begin/end, Current).
// Removing many selected rows therefore costs one pass over the list, not one per row.
// Entries live in fixed-size chunks, so that growing the list never moves (and never briefly
// doubles) the entries already loaded, and a million entries cost a thousand allocations, not a
// million: a reference to an entry stays valid while entries are appended, until an entry is
// removed, the list is reordered or cleared.
//
// The indexes are flat hash tables that name entries by id; an id is found by halving the list
// while the ids ascend in list order (the usual case: entries are numbered as they are loaded)
// and through a table built on demand otherwise.
//
// Like the lists it replaces, a FileList is walked and changed by one thread at a time; reading
// by position may close the gaps, so even const reads must not overlap a change.
class FileList {
  static constexpr size_t kChunkShift = 10;
  static constexpr size_t kChunkSize = size_t{1} << kChunkShift;

  template <typename List, typename Entry>
  class Iter {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = FileEntry;
    using difference_type = std::ptrdiff_t;
    using pointer = Entry*;
    using reference = Entry&;

    Iter() = default;
    Iter(List* list, size_t index) : list_(list), index_(index) {}
    template <typename L, typename E>
    Iter(const Iter<L, E>& other) : list_(other.list_), index_(other.index_) {}

    reference operator*() const { return list_->Slot(index_); }
    pointer operator->() const { return &list_->Slot(index_); }
    reference operator[](difference_type n) const { return list_->Slot(Moved(n)); }
    Iter& operator++() {
      ++index_;
      return *this;
    }
    Iter operator++(int) {
      Iter was = *this;
      ++index_;
      return was;
    }
    Iter& operator--() {
      --index_;
      return *this;
    }
    Iter operator--(int) {
      Iter was = *this;
      --index_;
      return was;
    }
    Iter& operator+=(difference_type n) {
      index_ = Moved(n);
      return *this;
    }
    Iter& operator-=(difference_type n) {
      index_ = Moved(-n);
      return *this;
    }
    friend Iter operator+(Iter it, difference_type n) { return it += n; }
    friend Iter operator+(difference_type n, Iter it) { return it += n; }
    friend Iter operator-(Iter it, difference_type n) { return it -= n; }
    friend difference_type operator-(const Iter& a, const Iter& b) {
      return static_cast<difference_type>(a.index_) - static_cast<difference_type>(b.index_);
    }
    friend bool operator==(const Iter& a, const Iter& b) { return a.index_ == b.index_; }
    friend auto operator<=>(const Iter& a, const Iter& b) { return a.index_ <=> b.index_; }

   private:
    template <typename L, typename E>
    friend class Iter;
    size_t Moved(difference_type n) const {
      return static_cast<size_t>(static_cast<difference_type>(index_) + n);
    }
    List* list_ = nullptr;
    size_t index_ = 0;
  };

 public:
  using iterator = Iter<FileList, FileEntry>;
  using const_iterator = Iter<const FileList, const FileEntry>;

  FileList() = default;
  FileList(const FileList& other);
  FileList& operator=(const FileList& other);
  FileList(FileList&& other) noexcept;
  FileList& operator=(FileList&& other) noexcept;
  ~FileList() { DestroyAll(); }

  qsizetype Count() const { return static_cast<qsizetype>(size_) - removed_; }
  bool IsEmpty() const { return Count() == 0; }

  // 0-based position in list order.
  FileEntry& At(qsizetype pos) {
    Compact();
    orderChecked_ = false;  // a caller holding a reference may swap entries
    return Slot(static_cast<size_t>(pos));
  }
  const FileEntry& At(qsizetype pos) const {
    Compact();
    return Slot(static_cast<size_t>(pos));
  }

  iterator begin() {
    Compact();
    orderChecked_ = false;
    return iterator(this, 0);
  }
  iterator end() {
    Compact();
    return iterator(this, size_);
  }
  const_iterator begin() const {
    Compact();
    return const_iterator(this, 0);
  }
  const_iterator end() const {
    Compact();
    return const_iterator(this, size_);
  }

  // Appends the entry (its Id and Path must be set) and makes it the current entry.
  FileEntry& Append(FileEntry&& entry);
  FileEntry& Append(const FileEntry& entry) { return Append(FileEntry(entry)); }
  // Makes room for this many entries in all, so that the indexes need not grow on the way.
  void Reserve(qsizetype count);

  // Exact, case-sensitive comparison of paths.
  bool ContainsPath(const QString& path) const { return IdOfPath(path) != 0; }
  // An entry stands for this file (device and inode), under whatever path; never for 0 and 0.
  bool ContainsFile(uint64_t device, uint64_t inode) const;
  // The id of the entry with exactly this path; 0 when there is none (ids start at 1).
  int32_t IdOfPath(const QString& path) const;
  FileEntry* FindById(int32_t id);
  const FileEntry* FindById(int32_t id) const;
  bool RemoveById(int32_t id);
  // Removes every entry whose id is in `ids`, in one pass; returns how many were removed.
  qsizetype RemoveByIds(const QSet<int32_t>& ids);
  // The same for the ids marked in `marked` (by id; ids past its end are not marked): millions
  // of selected rows are marked without a hash table of them, and the list is closed up in the
  // same pass rather than when it is next read.
  qsizetype RemoveMarked(const std::vector<bool>& marked);
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
  struct Chunk {
    alignas(FileEntry) unsigned char Bytes[kChunkSize * sizeof(FileEntry)];
  };

  FileEntry& Slot(size_t index) const {
    return std::launder(reinterpret_cast<FileEntry*>(
        chunks_[index >> kChunkShift]->Bytes))[index & (kChunkSize - 1)];
  }
  void DestroyAll();
  void ShrinkTo(size_t size) const;  // destroys the entries from `size` on
  void CopyFrom(const FileList& other);

  void Compact() const;
  qsizetype PositionOf(int32_t id) const;  // -1 when absent (or removed)
  qsizetype SearchAscending(int32_t id) const;
  bool IdsAscend() const;
  void BuildPositions() const;
  void SyncCursor();
  void MarkRemoved(size_t physical);
  bool IsGap(size_t physical) const {
    return removed_ > 0 && (gaps_[physical >> 6] >> (physical & 63) & 1) != 0;
  }
  const FileEntry* LiveById(uint32_t id) const;

  // Mutable because closing the gaps changes no entry a reader can see.
  mutable std::vector<std::unique_ptr<Chunk>> chunks_;
  mutable size_t size_ = 0;             // entries and gaps
  mutable qsizetype removed_ = 0;       // gaps not yet closed
  mutable std::vector<uint64_t> gaps_;  // one bit per entry while there are gaps
  // Ids ascend in list order (entries are numbered as they are loaded): an id is found by
  // halving. Otherwise the table below maps ids to positions, built on first lookup.
  mutable bool ascending_ = true;
  mutable bool orderChecked_ = true;  // `ascending_` was confirmed since entries could be swapped
  mutable FlatIndex positions_;       // Id -> position
  mutable bool positionsValid_ = false;
  FlatIndex paths_;  // hash of Path -> Id
  FlatIndex files_;  // hash of Device and Inode -> Id, for entries that know them
  // Where the cursor stands among the entries and gaps, so that a removal can move it without
  // closing the gaps first. Valid while Current equals cursorSeen_.
  qsizetype cursorSeen_ = -1;
  qsizetype cursorPhysical_ = -1;  // index of the current entry (or of its gap)
  qsizetype liveBefore_ = 0;       // entries (not gaps) before cursorPhysical_
  bool cursorOnGap_ = false;       // the current entry itself was removed
};
