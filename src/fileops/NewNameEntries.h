#pragma once

// The planning of one entry of a NewNamePlan, shared by the plan of the whole list and by the
// update that plans a few of its entries again (NewNameIndex): both must come to the same row.

#include "fileops/DiskLookup.h"
#include "fileops/NewNamePlan.h"

#include <QString>

#include <cstdint>
#include <vector>

// One entry's row before it is stored: its name and folder as texts.
struct PlannedRow {
  NewNameRow Row;  // Folder, NameOffset and NameLength are left to the store
  QString Name;    // the new file name, unless kNameUnchanged or kNoTarget (cut as a row keeps it)
  QString Folder;  // the target folder, unless kFolderUnchanged or kNoTarget
  // The target was claimed by an earlier entry and is there: SameTargetEarlier.
  bool ClaimedBefore = false;
};

// The target path a row stands for, as NewNamePlan::TargetPath gives it; empty without one.
QString PlannedTarget(const PlannedRow& planned, const FileEntry& entry);

// Whether a row claims its target (the entries after it find it taken), and whether it also
// moves its source away (the entries after it find that name free).
inline bool RowClaims(const NewNameRow& row) {
  return (row.Flags & (NewNameRow::kFilteredOut | NewNameRow::kNoTarget | NewNameRow::kPending)) ==
             0 &&
         row.Status == kStatusDone && row.Action != PlanAction::InPlace &&
         row.Action != PlanAction::None;
}
inline bool RowFrees(const NewNameRow& row) {
  return RowClaims(row) && (row.Action == PlanAction::Rename || row.Action == PlanAction::Move);
}

// Plans entries one at a time with the planner handed in, which the caller has set up for the
// whole list. Not thread-safe.
class NewNameEntryPlanner {
 public:
  // `snapshots`: the disk as read for the whole list; null asks the disk directly. `gaveUp`: by
  // position, the entries whose filter condition gave up (empty: none).
  NewNameEntryPlanner(const FileList& files, const RunValues& values, const NewNameInputs& inputs,
                      const PlaceholderSet& need, const std::vector<uint8_t>& gaveUp,
                      Planner& planner, FolderSnapshots* snapshots, TargetFolderCheck& folders)
      : files_(files),
        values_(values),
        inputs_(inputs),
        need_(need),
        gaveUp_(gaveUp),
        planner_(planner),
        snapshots_(snapshots),
        folders_(folders) {}

  PlannedRow Plan(qsizetype pos, const FileEntry& entry);

 private:
  PlannedRow Describe(const FileEntry& entry, const EntryPlan& plan, int status, bool pending,
                      bool claimedBefore, const TargetFolderCheck::Result& folder,
                      int32_t counterFrom) const;

  const FileList& files_;
  const RunValues& values_;
  const NewNameInputs& inputs_;
  const PlaceholderSet need_;
  const std::vector<uint8_t>& gaveUp_;
  Planner& planner_;
  FolderSnapshots* snapshots_;
  TargetFolderCheck& folders_;
  DirectLookup direct_;
  FileEntry withContent_;
};
