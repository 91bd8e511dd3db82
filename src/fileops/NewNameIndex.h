#pragma once

#include "fileops/NewNamePlan.h"

#include <QHash>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Content values (the checksums of the rows on screen) arrive a few at a time long after the
// plan of the whole list was made. A new value changes its own entry's name, and through it only
// the entries that meet the same targets: those planned to the entry's old or new target (which
// of them is the first to claim it, and who finds it taken), and those planned to its source
// (which it may now move away, or no longer). NewNameIndex keeps beside a plan what finding them
// takes, so that UpdateNewNames re-plans those entries alone and comes to the plan that
// PlanNewNames would make from scratch with the same values.
//
// Kept per entry: its neighbours among the entries planned to the same target, in the order the
// run takes them (8 bytes), whether an earlier one claims that target (1 bit), its position by
// id (4 bytes per id), its place in the run's order when the plan is sorted (4 bytes), and a
// table of the targets (8 bytes a slot, at most half full: up to 16 bytes per entry when every
// target differs). About 30 bytes per entry in all; the disk is asked directly for the entries
// planned again.
//
// Where one entry's new value can move every later entry, the update cannot be exact and the
// plan must be made whole again: a counter in the name template (a number taken or given back
// shifts the numbers of every entry after it), a filter or a sort by the date taken (the order
// itself waits for the values).
class NewNameIndex {
 public:
  NewNameIndex();
  ~NewNameIndex();
  NewNameIndex(const NewNameIndex&) = delete;
  NewNameIndex& operator=(const NewNameIndex&) = delete;

  // A plan made with this index (NewNameInputs::Keep) that UpdateNewNames can bring up to date.
  bool Usable() const { return usable_; }
  // Whether the plan was made of these settings and run values.
  bool MadeOf(const Preset& settings, const RunValues& values) const {
    return settings_ == settings && values_ == values;
  }
  // Heap bytes the index keeps, for the benchmarks.
  size_t KeptBytes() const;

 private:
  friend class NewNamePlanner;
  friend class NewNameUpdater;
  friend class NewNameGroups;

  // Called by the plan of the whole list: before its entries, and once it is complete.
  void Begin(const Preset& settings, const RunValues& values, const NewNameInputs& inputs,
             const PlaceholderSet& need, const std::optional<QString>& commonBase, bool counter);
  void Finish(const NewNamePlan& plan, const FileList& files, std::vector<uint8_t>& gaveUp,
              QHash<QString, uint32_t>& folderIndexes);

  static constexpr uint32_t kNone = UINT32_MAX;
  struct Slot {
    uint32_t Head = 0;  // 1 + the position of the first entry of the target; 0: a free slot
    uint32_t Hash = 0;  // of the target path
  };

  bool usable_ = false;
  // What the plan was made of.
  Preset settings_;
  RunValues values_;
  PlaceholderSet need_;
  int32_t replaceMemory_ = 0;
  bool diskLookups_ = true;
  bool counter_ = false;
  std::optional<QString> commonBase_;
  std::vector<uint8_t> gaveUp_;  // by position: the filter's condition gave up (empty: none)
  QHash<QString, uint32_t> folderIndexes_;  // the plan's folder table, by text

  std::vector<uint32_t> rank_;     // by position: the place in the run's order; empty: list order
  std::vector<uint32_t> posOfId_;  // by entry id; kNone for none
  std::vector<Slot> slots_;        // the targets: open addressing, at most half full
  size_t groups_ = 0;
  // By position, the entries of one target in run order: the next one (kNone after the last),
  // and the one before (the first one's is the last one). kNone for an entry without a target.
  std::vector<uint32_t> next_;
  std::vector<uint32_t> prev_;
  std::vector<uint64_t> claimedBefore_;  // by position, one bit
};

// What an update changes in a plan: worked out on any thread that may read the plan
// (PlanNewNameUpdate), put in on the thread that owns it (ApplyNewNameUpdate).
struct NewNameUpdate {
  struct Row {
    uint32_t Pos = 0;
    NewNameRow Value;       // Folder already an index of the plan's folder table (NewFolders added)
    bool NameKept = false;  // the row keeps the characters of its name where they are
    QString Name;
  };
  std::vector<Row> Rows;
  std::vector<QString> NewFolders;  // to append to the plan's folder table, in order
  std::vector<std::pair<uint32_t, qsizetype>> Partners;   // OtherEntry by position; -1: none
  std::optional<QHash<uint32_t, qsizetype>> AllPartners;  // replaces the table (many changed)
  std::array<qsizetype, kNameProblemCount> Problems{};    // differences of the counts
  qsizetype Failing = 0;
  qsizetype Pending = 0;
  qsizetype Replanned = 0;  // entries planned again (for the benchmarks)
};

enum class UpdateOutcome {
  Updated,
  Whole,      // the update cannot be exact: the plan must be made whole again
  Cancelled,  // inputs.Cancel stopped it; the index is no longer usable
};

// The update of `plan` (made with `index`) for the entries whose content values changed
// (`ids`; inputs.Content holds every value known now). Reads `plan` and the list only, and
// brings `index` up to date with `update`, which must then be applied before the index is used
// again; on anything but Updated the index is left unusable (a whole plan makes it anew).
UpdateOutcome PlanNewNameUpdate(const NewNamePlan& plan, NewNameIndex& index, const FileList& files,
                                const NewNameInputs& inputs, std::span<const int32_t> ids,
                                NewNameUpdate& update);
void ApplyNewNameUpdate(NewNamePlan& plan, NewNameUpdate&& update);

// Both on one thread.
UpdateOutcome UpdateNewNames(NewNamePlan& plan, NewNameIndex& index, const FileList& files,
                             const NewNameInputs& inputs, std::span<const int32_t> ids);
