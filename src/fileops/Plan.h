#pragma once

#include "filelist/FileList.h"
#include "fileops/DiskLookup.h"
#include "fileops/ReplaceAnswers.h"
#include "fileops/RunValues.h"
#include "fileops/TargetBuilder.h"
#include "naming/PlaceholderTable.h"
#include "platform/FolderAccess.h"
#include "records/Preset.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// The planning half of the batch: what the run will do to each entry, worked out without
// changing anything on disk. The run plans each entry right before it acts on it; a dry run, a
// preview of new names and an undo journal plan whole lists with the same code.

// What the acting step does with the entry's file.
enum class PlanAction : int8_t {
  None,     // nothing: the entry fails before anything is done (see PlanExpect)
  InPlace,  // nothing is moved or copied: attributes, zone mark or dates change on the source
  Rename,   // a new name in the file's own folder
  Move,     // into the target folder; the source goes
  Copy,     // into the target folder; the source stays
};

// What the run expects to meet.
enum class PlanExpect : int8_t {
  TargetFree,    // nothing in the way
  TargetExists,  // something is at the target: the replace policy decides (in place: fails)
  // A folder holds the target's name: nothing can replace it, and no question is asked (a copy
  // or a rename fails; a move leaves it as an existing target, unless replacing all is decided,
  // which fails on it).
  TargetIsFolder,
  TargetIsSource,  // the target is the source itself (a copy or move into the target folder)
  InvalidName,     // a name made from the file's data is unusable
  SourceMissing,   // the source is gone or is a folder (or the preparation marked it so)
  ReadError,       // the preparation marked it unreadable, or a checksum could not be read
  FilteredOut,     // a ticked filter condition takes it out (only when the caller asks)
  MatchGaveUp,     // a regular expression of a rule or a filter condition gave up on the name
};

// One entry's plan. Kept compact for lists of a million entries: the target folder is shared
// with the entry's own folder or with the plan before it wherever they are equal, so a plan
// costs about 56 bytes plus its file name.
struct EntryPlan {
  QString Directory;  // target folder, with final "/"; empty when no target was built
  QString FileName;   // new file name with its extension (may hold "/" from a name template)
  int32_t CounterNumber = -1;  // the counter number taken, -1 for none
  PlanAction Action = PlanAction::None;
  PlanExpect Expect = PlanExpect::TargetFree;
  int8_t Status = kStatusDone;   // what the run records when nothing changes meanwhile
  bool CreateDirectory = false;  // Directory is a target folder the acting step makes

  bool TargetBuilt() const { return !FileName.isEmpty(); }
  QString TargetPath() const {
    if (!TargetBuilt()) return {};
    QString path;  // one allocation of the right size
    path.reserve(Directory.size() + FileName.size());
    path += Directory;
    path += FileName;
    return path;
  }
};

// What the entries planned before the one in hand did, when the caller keeps that itself (a
// plan of a whole list that plans a few of its entries again): asked instead of the planner's
// own record of the targets claimed and the sources moved away.
class PlanHistory {
 public:
  virtual ~PlanHistory() = default;
  // An entry before the one in hand claims this target.
  virtual bool Claimed(const QString& path) const = 0;
  // An entry before the one in hand moves the loaded file with this id away.
  virtual bool Freed(int32_t id) const = 0;
};

struct PlanOptions {
  // Read-only look-ups on disk: the counter's probes, existing targets and the same-file test.
  // Off, the disk counts as empty.
  bool DiskLookups = true;
  // Also look for an existing file at an in-place target. The run leaves that to the rename
  // itself, which refuses an existing target at no extra cost.
  bool LookUpInPlaceTargets = true;
  // Count what earlier entries of this plan will have done: the targets they claim are taken,
  // the sources they move away are free. The run itself turns this off: there the disk tells.
  bool Simulate = true;
  // The replace answer memory (ReplaceAnswer): decides the status of an existing target.
  // kAnswerLeave stands for a run that asks; its plan says 3, the answer of a closed question.
  int32_t ReplaceMemory = kAnswerLeaveAll;
  // The planner can return to an earlier state (Planner::Mark and Rewind): for a run that plans
  // entries ahead of acting on them.
  bool Rewindable = false;
  // The folder below which source subfolders are recreated in the target folder, when the
  // caller knows the run's: a run works it out from the list after the filter, which a plan of
  // the whole list (filtered entries included) does not see. Unset: from `files`.
  std::optional<QString> CommonBase;
  // Where the look-ups go (not owned; must outlive the planner); null: straight to the disk.
  DiskLookup* Disk = nullptr;
  // With Simulate: what earlier entries did comes from here, and Settle records no claims (not
  // owned; must outlive the planner). Counters are not re-planned this way.
  const PlanHistory* History = nullptr;
};

// Which content placeholders (the checksums, for one) the texts of the task ask for: what has to
// be read from inside each file before its name is built. Placeholders count in any letter
// case, as they expand, and the target folder counts too: a value that a template asks for is
// never expanded as an empty text for want of reading it.
PlaceholderSet ContentNeeded(const Preset& settings, const RunValues& runValues);

// Plans the entries of one list in order. Not thread-safe; one planner per run or per plan.
class Planner {
 public:
  // `files` is the list the entries belong to (for the sources earlier entries move away);
  // `settings` and `runValues` must outlive the planner.
  Planner(const FileList& files, const Preset& settings, const RunValues& runValues,
          const PlanOptions& options);

  // Plans one entry whose checksums, when the templates need them, are filled in. Entries are
  // planned in list order, each followed by Settle (of that entry's plan) before the next.
  EntryPlan Plan(const FileEntry& entry);

  // A plan for an entry that fails before its target is built (a missing source, a read
  // error): no action, no target.
  static EntryPlan Failed(int8_t status);

  // How the entry ended (the run's status, or the plan's own for a plan that is not carried
  // out). A counter number is handed back after every end but done, so the next entry of the
  // same key takes it again (the numbering of the design: a failed file's number is reused).
  // When simulating, a done entry claims its target and, when it moved, frees its source.
  void Settle(const FileEntry& entry, const EntryPlan& plan, int status);

  const TargetPlan& Targets() const { return targets_; }
  // The number the counter of the entry planned last began its search at (-1 without a
  // counter): below the plan's CounterNumber when taken numbers were passed over.
  int32_t CounterSearchedFrom() const { return lastCounterFrom_; }
  // Whether an earlier entry of this plan claims the path (when simulating).
  bool Claimed(const QString& path) const;

  // Planning ahead. A run that announces entries before it acts on them plans and settles each
  // one as planned (simulating, so that each sees what the ones before it will have done); an
  // entry that ends otherwise is settled again from the state noted right after its plan, and
  // the entries after it are planned anew. Needs PlanOptions::Rewindable.
  struct Checkpoint {
    size_t Counters = 0;
    size_t Freed = 0;
  };
  Checkpoint Mark() const;
  void Rewind(const Checkpoint& mark);
  // The disk now shows what every settled entry did: the targets they claim and the sources
  // they free need no simulating any more. Older checkpoints are no longer valid.
  void ForgetClaims();

 private:
  bool Taken(const QString& path);
  bool OnDisk(const QString& path) const;
  int64_t KindOnDisk(const QString& path) const;
  bool SameFileAsSource(const QString& target, const FileEntry& entry) const;
  PlanAction ActionFor(const FileEntry& entry, const QString& targetPath) const;
  int8_t StatusFor(PlanExpect expect) const;

  // A text by two independent 64-bit hashes of it: 16 bytes instead of the text itself, with a
  // chance of a false match far below one in 10^20 per plan.
  struct PathKey {
    uint64_t A = 0;
    uint64_t B = 0;  // never 0 for a real key: 0 marks a free slot
    bool operator==(const PathKey&) const = default;
  };
  // Keys in one flat table (open addressing, at most half full): a look-up costs one probe into
  // memory in the common case, and an insertion no allocation of its own.
  class ClaimSet {
   public:
    bool Contains(const PathKey& key) const;
    void Insert(const PathKey& key);
    bool Empty() const { return count_ == 0; }

   private:
    std::vector<PathKey> slots_;
    size_t count_ = 0;
  };
  // The claimed paths, by target folder: one small table of file names per folder. The entries
  // of a folder mostly follow one another in a list, so its table stays in the processor's
  // cache however long the list is (one table for a million paths does not), and a key hashes
  // the file name alone. A path's folder is its text up to the last "/".
  class ClaimTable {
   public:
    struct Key {
      uint32_t Folder = 0;  // index of the folder's table
      PathKey Name;
    };
    // The key of `path`, making room for its folder.
    Key KeyOf(QStringView path);
    bool Contains(const Key& key) const { return names_[key.Folder].Contains(key.Name); }
    // Whether `path` is claimed, without making room for anything.
    bool Contains(QStringView path) const;
    void Insert(const Key& key) { names_[key.Folder].Insert(key.Name); }
    void Clear();

   private:
    // The index of the folder's table; kNone when it has none and `add` is false.
    static constexpr uint32_t kNone = UINT32_MAX;
    uint32_t FolderIndex(QStringView folder, bool add);
    uint32_t FindFolder(const PathKey& key) const;

    std::vector<ClaimSet> names_;
    struct FolderSlot {
      PathKey Key;
      uint32_t Index = 0;
    };
    std::vector<FolderSlot> folders_;  // open addressing, at most half full
    QString lastFolder_;               // the folder asked about last, and its index
    uint32_t lastIndex_ = kNone;
  };
  static PathKey KeyOf(QStringView path);
  PathTaken MakeProbe();

  const FileList& files_;
  const Preset& settings_;
  const PlanOptions options_;
  const TargetPlan targets_;
  const bool movesFiles_;  // a new name, an extension change or a move: the file is renamed
  CounterMap counters_;
  const PathTaken taken_;    // the counter's probe: Taken(), or the disk alone
  QString lastDirectory_;    // shared with the next plan whose folder is the same
  ClaimTable::Key lastKey_;  // the key of the target Plan() built last, for Settle
  bool lastKeyValid_ = false;
  int32_t lastCounterFrom_ = -1;
  QString probedPath_;  // the path Taken() looked at last, and its key
  ClaimTable::Key probedKey_;
  // What earlier entries did, when simulating: the targets they claim, and the sources they
  // free (by entry id; kept only where the disk is looked at, the one place it is asked).
  ClaimTable claimed_;
  std::vector<bool> freed_;
  std::vector<int32_t> freedIds_;  // the ids set in freed_, in order (when rewindable)
};

// Whether the folders of a planned target will be there when the run acts: the target folder,
// which the run makes (it must be there and take files, or be makeable), and any folder a name
// template puts before the file name, which the run does not make. A look at the disk that
// changes nothing; verdicts are remembered per folder. A plan that fails here ends as a failed
// copy or move (status 8) in the run.
class TargetFolderCheck {
 public:
  enum class Verdict : int8_t {
    Usable,
    TargetFolderRefused,  // the target folder cannot be made or takes no files (Access says why)
    NameFolderMissing,    // a folder of the new name is not there, and the run does not make it
  };
  struct Result {
    Verdict Outcome = Verdict::Usable;
    FolderAccessResult Access;
    QString Folder;  // the folder concerned, with final "/"
  };
  // Only a plan that copies, moves or renames is looked at; others are usable. With
  // `sourceFolder` (the entry's own folder), a rename or a move must also be able to take the
  // file's name out of it: the folder must take changes.
  Result Check(const EntryPlan& plan, const QString& sourceFolder = {});

 private:
  FolderAccessResult Look(const QString& folder);
  QHash<QString, FolderAccessResult> seen_;
};
