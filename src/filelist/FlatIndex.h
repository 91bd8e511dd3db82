#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// A hash index of 32-bit values in one flat array: open addressing with linear probing, eight
// bytes a slot (the key's hash and the value), no node per entry. The keys themselves live
// elsewhere (in the entries of a FileList): a slot whose hash matches is confirmed by asking
// the caller whether its value stands for the key looked for, so a lookup that finds nothing
// touches no entry at all. Removal shifts the slots that follow back into the gap, so no
// tombstones pile up when many entries are removed and added again.
class FlatIndex {
 public:
  static constexpr uint32_t kNone = 0xFFFFFFFFu;

  FlatIndex() = default;
  FlatIndex(const FlatIndex& other) { *this = other; }
  FlatIndex& operator=(const FlatIndex& other) {
    if (this == &other) return *this;
    capacity_ = other.capacity_;
    count_ = other.count_;
    slots_.reset(capacity_ == 0 ? nullptr : new Slot[capacity_]);
    for (size_t i = 0; i < capacity_; ++i) slots_[i] = other.slots_[i];
    return *this;
  }
  FlatIndex(FlatIndex&&) noexcept = default;
  FlatIndex& operator=(FlatIndex&&) noexcept = default;

  size_t Count() const { return count_; }

  // The value of the first slot with this hash for which `matches(value)` holds, or kNone.
  template <typename Matches>
  uint32_t Find(uint32_t hash, Matches matches) const {
    if (count_ == 0) return kNone;
    hash = Stored(hash);
    const size_t mask = capacity_ - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (slot.Hash == kEmpty) return kNone;
      if (slot.Hash == hash && matches(slot.Value)) return slot.Value;
    }
  }

  // Adds `value` under `hash`; a slot for which `sameKey(value)` holds gets the new value
  // instead (a key is indexed once, to the value given last).
  template <typename SameKey>
  void Insert(uint32_t hash, uint32_t value, SameKey sameKey) {
    if ((count_ + 1) * 4 > capacity_ * 3) Grow();
    hash = Stored(hash);
    const size_t mask = capacity_ - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      Slot& slot = slots_[i];
      if (slot.Hash == kEmpty) {
        slot = Slot{hash, value};
        ++count_;
        return;
      }
      if (slot.Hash == hash && sameKey(slot.Value)) {
        slot.Value = value;
        return;
      }
    }
  }

  // Removes the slot with this hash and exactly this value; false when there is none.
  bool Erase(uint32_t hash, uint32_t value) {
    if (count_ == 0) return false;
    hash = Stored(hash);
    const size_t mask = capacity_ - 1;
    size_t gap = hash & mask;
    for (;; gap = (gap + 1) & mask) {
      const Slot& slot = slots_[gap];
      if (slot.Hash == kEmpty) return false;
      if (slot.Hash == hash && slot.Value == value) break;
    }
    // Move back every slot of the run after the gap that may stand there: one whose home is
    // not cyclically between the gap and itself.
    for (size_t next = (gap + 1) & mask;; next = (next + 1) & mask) {
      const Slot& slot = slots_[next];
      if (slot.Hash == kEmpty) break;
      const size_t home = slot.Hash & mask;
      const bool staysPut =
          gap <= next ? (gap < home && home <= next) : (gap < home || home <= next);
      if (staysPut) continue;
      slots_[gap] = slot;
      gap = next;
    }
    slots_[gap] = Slot{};
    --count_;
    return true;
  }

  // Removes every value for which `drop(value)` holds in one sweep of the table, in place.
  // Erasing millions of values one by one would need each key's hash again, and so a look at
  // each key; the sweep needs neither, and it walks the table in order instead of at random.
  template <typename Drop>
  size_t EraseIf(Drop drop) {
    if (count_ == 0) return 0;
    const size_t mask = capacity_ - 1;
    // Start after a free slot: no probe run crosses it, so each slot's run from its home lies
    // within what the sweep has seen already.
    size_t start = 0;
    while (slots_[start].Hash != kEmpty) ++start;
    size_t dropped = 0;
    for (size_t k = 1; k <= capacity_; ++k) {
      const size_t at = (start + k) & mask;
      Slot& slot = slots_[at];
      if (slot.Hash == kEmpty) continue;
      if (drop(slot.Value)) {
        slot = Slot{};
        ++dropped;
        continue;
      }
      // Move back into the first free slot between its home and here, if a removal made one;
      // the slots the sweep has passed are never freed again.
      for (size_t i = slot.Hash & mask; i != at; i = (i + 1) & mask) {
        if (slots_[i].Hash != kEmpty) continue;
        slots_[i] = slot;
        slot = Slot{};
        break;
      }
    }
    count_ -= dropped;
    if (count_ == 0)
      Clear();
    else if (CapacityFor(count_) * 4 <= capacity_)
      Rehash(CapacityFor(count_));  // little is left: give the room back
    return dropped;
  }

  void Clear() {
    slots_.reset();
    capacity_ = 0;
    count_ = 0;
  }

  // Makes room for `count` values in all without growing on the way.
  void Reserve(size_t count) {
    const size_t wanted = CapacityFor(count);
    if (wanted > capacity_) Rehash(wanted);
  }

 private:
  struct Slot {
    uint32_t Hash = 0;  // kEmpty: a free slot
    uint32_t Value = 0;
  };
  static constexpr uint32_t kEmpty = 0;

  static uint32_t Stored(uint32_t hash) { return hash == kEmpty ? 1u : hash; }

  // The smallest table that holds `count` values at most three quarters full.
  static size_t CapacityFor(size_t count) {
    size_t wanted = 16;
    while (wanted * 3 < count * 4) wanted *= 2;
    return wanted;
  }

  void Grow() { Rehash(capacity_ == 0 ? 16 : capacity_ * 2); }

  void Rehash(size_t capacity) {
    std::unique_ptr<Slot[]> old = std::move(slots_);
    const size_t oldCapacity = capacity_;
    slots_.reset(new Slot[capacity]);
    capacity_ = capacity;
    const size_t mask = capacity - 1;
    for (size_t k = 0; k < oldCapacity; ++k) {
      const Slot& slot = old[k];
      if (slot.Hash == kEmpty) continue;
      size_t i = slot.Hash & mask;
      while (slots_[i].Hash != kEmpty) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }

  std::unique_ptr<Slot[]> slots_;
  size_t capacity_ = 0;  // a power of two, or 0
  size_t count_ = 0;
};
