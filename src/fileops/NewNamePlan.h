#pragma once

#include "filelist/FileList.h"
#include "fileops/Plan.h"
#include "fileops/RunValues.h"
#include "platform/FolderAccess.h"
#include "records/Preset.h"

#include <QHash>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

// What every loaded file will become, worked out before the run for a preview of the whole
// list: the run's own plan (Planner), over the list in the order the run takes it (after its
// filter and its sort), with what would go wrong marked before anything is touched. Kept compact
// for lists of a million entries: about 20 bytes per entry and the characters of the new names
// that differ from the old ones; the folders are kept once each.

// What would go wrong for an entry, or what it does to another one.
enum class NameProblem : uint8_t {
  None,
  SameTargetEarlier,   // an earlier entry of the list is planned to the same target
  SameTargetLater,     // a later entry of the list is planned to this entry's target
  TargetExists,        // something is at the target already
  TargetIsSource,      // copy or move into the target folder: the target is the file itself
  InvalidName,         // empty, "." or "..", or nothing before the extension
  NameTooLong,         // longer than the file system takes (255 bytes)
  FolderNotCreatable,  // the target folder, or a folder of the new name, will not be there
  SourceMissing,       // the file is gone, or is a folder now
  ReadError,           // its content cannot be read for a checksum (or other value) the name needs
  MatchGaveUp,         // a regular expression of a rule or a filter condition gave up on it
};
inline constexpr int kNameProblemCount = static_cast<int>(NameProblem::MatchGaveUp) + 1;

// One entry's line of the preview.
struct NewNameRow {
  enum Flag : uint8_t {
    kFilteredOut = 1,      // a ticked filter condition takes it out (Detail: the condition)
    kNameUnchanged = 2,    // the new file name is the old one (no characters are kept)
    kFolderUnchanged = 4,  // the target folder is the file's own
    kNoTarget = 8,         // the entry fails before its target is built
    kPending = 16,  // the name needs a value not read yet (a checksum): it shows the placeholder
    kNameCut = 32,  // the name was too long to keep whole (it is invalid anyway)
    kOnDiskIsListed = 64,  // TargetExists: what is there is a loaded file the run renames later
    kNoDateTaken = 128,    // the name needs the date taken, which the file lacks: modified used
  };
  uint32_t NameOffset = 0;   // where the new name's characters begin (see NewNamePlan)
  uint32_t Folder = 0;       // index of the target folder in the plan's folder table
  int32_t CounterFrom = -1;  // the number the counter began at, when numbers were passed over
  uint16_t NameLength = 0;
  // With kFilteredOut: the index of the condition met. With FolderNotCreatable: the
  // TargetFolderCheck verdict (high byte) and the FolderAccess (low byte).
  uint16_t Detail = 0;
  int8_t Status = kStatusDone;  // what the run records when nothing changes meanwhile
  PlanAction Action = PlanAction::None;
  NameProblem Problem = NameProblem::None;
  uint8_t Flags = 0;

  bool Has(Flag flag) const { return (Flags & flag) != 0; }
};

// The content placeholders' values read for one file, when a template needs them.
struct KnownContent {
  bool Ok = false;  // false: the file could not be read for a value the entry cannot do without
  // By placeholder id: every placeholder read so far, with its value (empty: the file has none).
  // One that is not here was not read yet.
  QHash<int, QString> Values;
};

class NewNameIndex;

struct NewNameInputs {
  // The replace answer memory the run starts with: the window asks (kAnswerLeave).
  int32_t ReplaceMemory = kAnswerLeave;
  // Off: the disk counts as empty (no existing targets, taken numbers or missing folders).
  bool DiskLookups = true;
  // The content values read so far, by entry id. An entry the templates need one for that is
  // not here gets the placeholder itself ("%CC%") in its name, is marked kPending and takes part
  // in no clash. Null: the entries' own values are used, as a run leaves them.
  const QHash<int32_t, KnownContent>* Content = nullptr;
  // Polled between entries: non-zero stops the plan (it comes back incomplete).
  const std::atomic<int32_t>* Cancel = nullptr;
  // Set now and then to the share planned, in thousandths.
  std::atomic<int32_t>* Progress = nullptr;
  // Filled, when set, with what UpdateNewNames needs to re-plan only what later content values
  // change (not owned).
  NewNameIndex* Keep = nullptr;
};

// The plan of a whole list. Rows are by list position at the time of planning; the order the
// run takes them in is Order().
class NewNamePlan {
 public:
  NewNamePlan();
  ~NewNamePlan();
  NewNamePlan(NewNamePlan&&) noexcept;
  NewNamePlan& operator=(NewNamePlan&&) noexcept;

  bool Complete() const { return complete_; }
  qsizetype Count() const { return static_cast<qsizetype>(rows_.size()); }
  const NewNameRow& Row(qsizetype pos) const { return rows_[static_cast<size_t>(pos)]; }

  // The list positions in the order the run takes the entries (filtered ones in their sorted
  // place); empty when it is the list order.
  const std::vector<uint32_t>& Order() const { return order_; }
  // The run shuffles the list: the order (and so the numbers) is drawn when it starts, and the
  // plan is made in list order.
  bool RandomOrder() const { return randomOrder_; }

  // The entry's new file name with its extension (its old one when unchanged); empty without a
  // target. `entry` must be the list's entry at `pos`.
  QString FileName(qsizetype pos, const FileEntry& entry) const;
  // The target folder, with final "/"; empty without a target.
  QString Folder(qsizetype pos, const FileEntry& entry) const;
  QString TargetPath(qsizetype pos, const FileEntry& entry) const;
  // For SameTargetEarlier and SameTargetLater: the position of the entry on the other side (the
  // first one planned to that target, or the first that comes after); -1 otherwise.
  qsizetype OtherEntry(qsizetype pos) const {
    return partners_.value(static_cast<uint32_t>(pos), -1);
  }

  // Entries marked with each problem (None: entries without one).
  qsizetype ProblemCount(NameProblem problem) const {
    return problems_[static_cast<size_t>(problem)];
  }
  // Entries with any problem.
  qsizetype Problems() const { return Count() - ProblemCount(NameProblem::None); }
  // Entries that the run would not end as done (filtered-out ones aside).
  qsizetype Failing() const { return failing_; }
  qsizetype FilteredOut() const { return filteredOut_; }
  qsizetype Pending() const { return pending_; }

  // What the plan was made from.
  const Preset& Settings() const { return settings_; }
  int32_t CounterWidth() const { return counterWidth_; }
  // Which content placeholders the names need read from the files.
  const PlaceholderSet& Need() const { return need_; }
  bool ContentNeeded() const { return need_.Any(); }
  // The filter or the sort tests the date taken: it is needed of every file, not only of those
  // on screen, before the order is known.
  bool NeedsEveryFile() const { return everyFile_; }
  // Heap bytes the plan keeps (rows, names, folders, order), for the benchmarks.
  size_t KeptBytes() const;

 private:
  friend class NewNamePlanner;
  friend class NewNameIndex;
  friend class NewNameUpdater;
  QStringView StoredName(const NewNameRow& row) const;
  // Keeps the name's characters for the row (NameOffset, NameLength; kNameCut when too long).
  void StoreName(NewNameRow& row, const QString& name);

  // New names, back to back, in blocks that never move: a name is an offset and a length.
  static constexpr int kBlockBits = 20;
  std::vector<std::unique_ptr<char16_t[]>> blocks_;
  uint32_t used_ = 0;  // units used in the last block

  bool complete_ = false;
  bool randomOrder_ = false;
  bool everyFile_ = false;
  PlaceholderSet need_;
  int32_t counterWidth_ = 3;
  std::vector<NewNameRow> rows_;
  std::vector<uint32_t> order_;
  std::vector<QString> folders_;  // index 0 is the empty folder (no target)
  QHash<uint32_t, qsizetype> partners_;
  std::array<qsizetype, kNameProblemCount> problems_{};
  qsizetype failing_ = 0;
  qsizetype filteredOut_ = 0;
  qsizetype pending_ = 0;
  Preset settings_;
};

// Plans every entry of `files` as a run with these settings would meet them now; nothing on disk
// changes. The list must not change meanwhile (it may be read by other threads).
NewNamePlan PlanNewNames(const FileList& files, const Preset& settings, const RunValues& runValues,
                         const NewNameInputs& inputs);
