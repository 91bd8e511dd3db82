#include "fileops/Plan.h"

#include "fileops/CommonBase.h"
#include "fileops/Dates.h"
#include "fileops/PathText.h"
#include "naming/Placeholders.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>

PlaceholderSet ContentNeeded(const Preset& settings, const RunValues& runValues) {
  QString joined;
  if (settings.InsertActive) joined += settings.InsertText + QLatin1Char(' ');
  if (settings.ReplaceActive) {
    for (const TextReplacement& rule : settings.TextReplacements)
      if (rule.IsActive()) joined += rule.Replacement + QLatin1Char(' ');
  }
  if (runValues.NameBuildingActive) joined += runValues.PreparedNameTemplate + QLatin1Char(' ');
  if (settings.TargetDirActive) joined += runValues.PreparedTargetDir + QLatin1Char(' ');
  PlaceholderSet needed;
  // The file dates set from the date taken need it read, whatever the names hold.
  if (settings.ChangeDates == 1 && settings.DateMode == kDateModeCopy &&
      settings.DateCopySource == kDateSourceTaken)
    needed.Add(DateTakenId());
  if (!joined.contains(QLatin1Char('%'))) return needed;
  joined = NormalizePlaceholderCase(joined);
  const std::span<const PlaceholderRow> table = PlaceholderTable();
  for (size_t id = 0; id < table.size(); ++id) {
    if (!joined.contains(table[id].Code)) continue;
    if (table[id].Family == PlaceholderFamily::Content) needed.Add(ReadIdOf(static_cast<int>(id)));
    // The date parts from the date taken need it read as its own placeholders do.
    if (table[id].Family == PlaceholderFamily::File && table[id].Code.startsWith(u"%D") &&
        settings.DatePlaceholderSource == kDateSourceTaken)
      needed.Add(DateTakenId());
  }
  return needed;
}

Planner::Planner(const FileList& files, const Preset& settings, const RunValues& runValues,
                 const PlanOptions& options)
    : files_(files),
      settings_(settings),
      options_(options),
      targets_(PlanTargets(settings, runValues.PreparedNameTemplate, runValues.PreparedTargetDir,
                           runValues.TargetRelativeToSource,
                           !settings.TargetDirActive || !settings.KeepSubfolders ? QString()
                           : options.CommonBase.has_value() ? *options.CommonBase
                                                            : CommonBaseDirectory(files))),
      movesFiles_(targets_.NameBuildingActive || settings.ExtCaseActive ||
                  settings.ExtRulesActive || (settings.TargetDirActive && settings.TargetMove)),
      counters_(targets_.CounterStart, targets_.CounterWidth, settings.CounterPerDirectory != 0),
      taken_(MakeProbe()) {
  counters_.SetRecording(options.Rewindable);
}

PathTaken Planner::MakeProbe() {
  if (options_.Simulate) return [this](const QString& path) { return Taken(path); };
  if (options_.DiskLookups) return {};          // the disk alone
  return [](const QString&) { return false; };  // nothing is looked up: every number is free
}

Planner::PathKey Planner::KeyOf(QStringView path) {
  return {static_cast<uint64_t>(qHash(path, size_t{0x9E3779B97F4A7C15})),
          static_cast<uint64_t>(qHash(path, size_t{0xC2B2AE3D27D4EB4F})) | 1};
}

bool Planner::ClaimSet::Contains(const PathKey& key) const {
  if (count_ == 0) return false;
  const size_t mask = slots_.size() - 1;
  for (size_t i = key.A & mask;; i = (i + 1) & mask) {
    if (slots_[i] == key) return true;
    if (slots_[i].B == 0) return false;
  }
}

void Planner::ClaimSet::Insert(const PathKey& key) {
  if ((count_ + 1) * 2 > slots_.size()) {
    // Most folders take a few names: a table starts small.
    std::vector<PathKey> old(slots_.empty() ? 16 : slots_.size() * 2);
    old.swap(slots_);
    count_ = 0;
    for (const PathKey& moved : old)
      if (moved.B != 0) Insert(moved);
  }
  const size_t mask = slots_.size() - 1;
  for (size_t i = key.A & mask;; i = (i + 1) & mask) {
    if (slots_[i] == key) return;
    if (slots_[i].B == 0) {
      slots_[i] = key;
      ++count_;
      return;
    }
  }
}

uint32_t Planner::ClaimTable::FindFolder(const PathKey& key) const {
  if (folders_.empty()) return kNone;
  const size_t mask = folders_.size() - 1;
  for (size_t i = key.A & mask;; i = (i + 1) & mask) {
    if (folders_[i].Key == key) return folders_[i].Index;
    if (folders_[i].Key.B == 0) return kNone;
  }
}

uint32_t Planner::ClaimTable::FolderIndex(QStringView folder, bool add) {
  if (lastIndex_ != kNone && QStringView(lastFolder_) == folder) return lastIndex_;
  const PathKey key = Planner::KeyOf(folder);
  uint32_t index = FindFolder(key);
  if (index == kNone) {
    if (!add) return kNone;
    index = static_cast<uint32_t>(names_.size());
    names_.emplace_back();
    if ((names_.size() + 1) * 2 > folders_.size()) {
      std::vector<FolderSlot> old(folders_.empty() ? 64 : folders_.size() * 2);
      old.swap(folders_);
      const size_t mask = folders_.size() - 1;
      for (const FolderSlot& moved : old) {
        if (moved.Key.B == 0) continue;
        size_t i = moved.Key.A & mask;
        while (folders_[i].Key.B != 0) i = (i + 1) & mask;
        folders_[i] = moved;
      }
    }
    const size_t mask = folders_.size() - 1;
    size_t i = key.A & mask;
    while (folders_[i].Key.B != 0) i = (i + 1) & mask;
    folders_[i] = {key, index};
  }
  // Kept in the same buffer: a list whose folders alternate allocates nothing here.
  lastFolder_.resize(folder.size());
  std::copy(folder.begin(), folder.end(), lastFolder_.begin());
  lastIndex_ = index;
  return index;
}

Planner::ClaimTable::Key Planner::ClaimTable::KeyOf(QStringView path) {
  if (lastIndex_ != kNone && InFolder(path, lastFolder_))
    return {lastIndex_, Planner::KeyOf(path.sliced(lastFolder_.size()))};
  const qsizetype slash = LastSlash(path);
  return {FolderIndex(path.first(slash + 1), true), Planner::KeyOf(path.sliced(slash + 1))};
}

bool Planner::ClaimTable::Contains(QStringView path) const {
  if (names_.empty()) return false;
  const qsizetype slash = LastSlash(path);
  const QStringView folder = path.first(slash + 1);
  const uint32_t index = lastIndex_ != kNone && QStringView(lastFolder_) == folder
                             ? lastIndex_
                             : FindFolder(Planner::KeyOf(folder));
  return index != kNone && names_[index].Contains(Planner::KeyOf(path.sliced(slash + 1)));
}

void Planner::ClaimTable::Clear() {
  names_.clear();
  folders_.clear();
  lastIndex_ = kNone;
}

Planner::Checkpoint Planner::Mark() const {
  return {counters_.Mark(), freedIds_.size()};
}

void Planner::Rewind(const Checkpoint& mark) {
  counters_.RollBack(mark.Counters);
  while (freedIds_.size() > mark.Freed) {
    freed_[static_cast<size_t>(freedIds_.back())] = false;
    freedIds_.pop_back();
  }
  // Claims made after the mark stay: a rewind is followed by ForgetClaims, once the disk shows
  // what the entries up to the mark did.
  lastKeyValid_ = false;
}

void Planner::ForgetClaims() {
  claimed_.Clear();
  if (options_.Rewindable) {
    for (const int32_t id : freedIds_) freed_[static_cast<size_t>(id)] = false;
  } else {
    std::fill(freed_.begin(), freed_.end(), false);
  }
  freedIds_.clear();
  counters_.Forget();
  lastKeyValid_ = false;
  // Its key names a folder table that is gone.
  probedPath_.clear();
}

bool Planner::OnDisk(const QString& path) const {
  return options_.Disk != nullptr ? options_.Disk->Exists(path) : PathExists(path);
}

int64_t Planner::KindOnDisk(const QString& path) const {
  return options_.Disk != nullptr ? options_.Disk->Kind(path) : FileSize(path);
}

bool Planner::Taken(const QString& path) {
  if (options_.Simulate && options_.History != nullptr) {
    if (options_.History->Claimed(path)) return true;
    if (!options_.DiskLookups || !OnDisk(path)) return false;
    const int32_t id = files_.IdOfPath(path);
    return id == 0 || !options_.History->Freed(id);
  }
  if (options_.Simulate) {
    // The counter's last probe is the target itself: its key is kept for the claim.
    probedPath_ = path;
    probedKey_ = claimed_.KeyOf(path);
    if (claimed_.Contains(probedKey_)) return true;
  }
  if (!options_.DiskLookups || !OnDisk(path)) return false;
  // A loaded file that an earlier entry moves away leaves its name free.
  if (options_.Simulate && !freed_.empty()) {
    const auto id = static_cast<size_t>(files_.IdOfPath(path));
    if (id != 0 && id < freed_.size() && freed_[id]) return false;
  }
  return true;
}

// The entry's path is exactly `path`, compared piece by piece: the entry keeps its path as
// folder and file name, and joining them for each comparison would cost an allocation.
static bool IsPathOf(QStringView path, const FileEntry& entry) {
  const QString& folder = entry.PathFolder();
  return path.size() == folder.size() + entry.FileName().size() && path.startsWith(folder) &&
         path.sliced(folder.size()) == entry.FileName();
}

bool Planner::Claimed(const QString& path) const {
  if (options_.Simulate && options_.History != nullptr) return options_.History->Claimed(path);
  return options_.Simulate && claimed_.Contains(QStringView(path));
}

bool Planner::SameFileAsSource(const QString& target, const FileEntry& entry) const {
  return IsPathOf(target, entry) || (options_.DiskLookups && SameFile(target, entry.Path()));
}

PlanAction Planner::ActionFor(const FileEntry& entry, const QString& targetPath) const {
  if (targets_.TargetDirActive && !settings_.TargetMove) return PlanAction::Copy;
  // Into the target folder, the same path is the source itself (status 4), not a no-op.
  if (!movesFiles_ || (!targets_.TargetDirActive && IsPathOf(targetPath, entry)))
    return PlanAction::InPlace;
  return targets_.TargetDirActive ? PlanAction::Move : PlanAction::Rename;
}

int8_t Planner::StatusFor(PlanExpect expect) const {
  switch (expect) {
    case PlanExpect::TargetFree:
      return kStatusDone;
    case PlanExpect::TargetExists:
      // Only a copy or move into the target folder asks; a rename in place simply fails.
      if (!targets_.TargetDirActive) return kStatusCopyMoveFailed;
      return options_.ReplaceMemory == kAnswerReplace || options_.ReplaceMemory == kAnswerReplaceAll
                 ? kStatusDone
                 : kStatusTargetExists;
    case PlanExpect::TargetIsFolder:
      // A copy fails on it, and so does a rename; a move with its target left refuses it as an
      // existing target, and one that replaces everything fails on it.
      if (!targets_.TargetDirActive || !settings_.TargetMove) return kStatusCopyMoveFailed;
      return options_.ReplaceMemory == kAnswerReplaceAll ? kStatusCopyMoveFailed
                                                         : kStatusTargetExists;
    case PlanExpect::TargetIsSource:
      return kStatusTargetIsSource;
    case PlanExpect::InvalidName:
      return kStatusInvalidName;
    case PlanExpect::SourceMissing:
      return kStatusSourceMissing;
    case PlanExpect::ReadError:
      return kStatusReadError;
    case PlanExpect::FilteredOut:
      return kStatusNotProcessed;
    case PlanExpect::MatchGaveUp:
      return kStatusMatchGaveUp;
  }
  return kStatusDone;
}

EntryPlan Planner::Failed(int8_t status) {
  EntryPlan plan;
  plan.Status = status;
  plan.Expect = status == kStatusSourceMissing ? PlanExpect::SourceMissing
                : status == kStatusMatchGaveUp ? PlanExpect::MatchGaveUp
                                               : PlanExpect::ReadError;
  return plan;
}

EntryPlan Planner::Plan(const FileEntry& entry) {
  Target target = BuildTarget(entry, settings_, targets_, counters_, taken_);
  lastKeyValid_ = false;
  lastCounterFrom_ = target.Counter.Number >= 0 ? target.Counter.From : -1;

  EntryPlan plan;
  // Share the folder text with the entry or with the plan before, so that a long list of plans
  // holds each folder once.
  // Without a target folder the builder hands back the entry's own folder text: the same
  // characters need no comparing.
  const bool sameText = target.Directory.constData() == entry.Directory().constData() &&
                        target.Directory.size() == entry.Directory().size();
  if (sameText || target.Directory == entry.Directory())
    plan.Directory = entry.Directory();
  else if (target.Directory == lastDirectory_)
    plan.Directory = lastDirectory_;
  else
    plan.Directory = lastDirectory_ = target.Directory;
  plan.FileName = target.Path.mid(target.Directory.size());
  plan.CounterNumber = target.Counter.Number;
  plan.CreateDirectory = target.CreateDirectory;

  if (target.MatchGaveUp) {
    plan.Expect = PlanExpect::MatchGaveUp;
  } else if (target.InvalidName) {
    plan.Expect = PlanExpect::InvalidName;
  } else {
    plan.Action = ActionFor(entry, target.Path);
    // A counter's probe has just found this very path free: no second look.
    const bool lookUp =
        (targets_.TargetDirActive || options_.LookUpInPlaceTargets) && target.Counter.Number < 0;
    if (plan.Action != PlanAction::InPlace && lookUp && Taken(target.Path)) {
      // Only something that is there can be the source itself or stand in the way.
      if (SameFileAsSource(target.Path, entry)) {
        // A rename to another spelling of the same file (a case-only change where names are
        // compared without case) is a rename; into the target folder it is the source itself.
        if (targets_.TargetDirActive) plan.Expect = PlanExpect::TargetIsSource;
      } else if (!options_.DiskLookups || KindOnDisk(target.Path) != kPathFolder ||
                 IsSymbolicLink(target.Path)) {
        // A link to a folder is a name like any other: it can be replaced.
        plan.Expect = PlanExpect::TargetExists;
      } else {
        // A folder in the way is no clash to ask about: the copy or move fails on it.
        plan.Expect = PlanExpect::TargetIsFolder;
      }
    } else if (targets_.TargetDirActive && IsPathOf(target.Path, entry)) {
      plan.Expect = PlanExpect::TargetIsSource;
    }
  }
  if (plan.Expect != PlanExpect::TargetFree && plan.Expect != PlanExpect::TargetExists)
    plan.Action = PlanAction::None;
  plan.Status = StatusFor(plan.Expect);
  if (options_.Simulate && options_.History == nullptr) {
    lastKey_ = target.Path == probedPath_ ? probedKey_ : claimed_.KeyOf(target.Path);
    lastKeyValid_ = true;
  }
  return plan;
}

void Planner::Settle(const FileEntry& entry, const EntryPlan& plan, int status) {
  if (status != kStatusDone) {
    // The number of a file that did not end as done goes back: the key's next number drops by
    // one, so the next file of that key probes from it again (and, in a simulation, finds it
    // free, since nothing claimed it). A dry run therefore numbers exactly as the run does when
    // its predictions hold.
    if (plan.CounterNumber >= 0) counters_.GiveBack(counters_.KeyFor(plan.Directory));
    return;
  }
  if (!options_.Simulate || options_.History != nullptr || !plan.TargetBuilt()) return;
  if (plan.Action == PlanAction::InPlace) return;
  claimed_.Insert(lastKeyValid_ ? lastKey_ : claimed_.KeyOf(plan.TargetPath()));
  lastKeyValid_ = false;
  if (options_.DiskLookups && entry.Id > 0 &&
      (plan.Action == PlanAction::Rename || plan.Action == PlanAction::Move)) {
    const auto id = static_cast<size_t>(entry.Id);
    if (freed_.size() <= id) freed_.resize(std::max(id + 1, freed_.size() * 2));
    freed_[id] = true;
    if (options_.Rewindable) freedIds_.push_back(entry.Id);
  }
}

FolderAccessResult TargetFolderCheck::Look(const QString& folder) {
  const auto found = seen_.constFind(folder);
  if (found != seen_.constEnd()) return found.value();
  const FolderAccessResult access = CheckFolderAccess(folder);
  seen_.insert(folder, access);
  return access;
}

TargetFolderCheck::Result TargetFolderCheck::Check(const EntryPlan& plan,
                                                   const QString& sourceFolder) {
  Result result;
  if (!plan.TargetBuilt() || (plan.Action != PlanAction::Copy && plan.Action != PlanAction::Move &&
                              plan.Action != PlanAction::Rename))
    return result;
  // A rename or a move takes the name out of the file's own folder, which must allow it.
  if (!sourceFolder.isEmpty() && plan.Action != PlanAction::Copy) {
    result.Access = Look(sourceFolder);
    if (result.Access.Access != FolderAccess::Writable) {
      result.Outcome = Verdict::TargetFolderRefused;
      result.Folder = sourceFolder;
      return result;
    }
  }
  if (plan.CreateDirectory) {
    result.Access = Look(plan.Directory);
    if (!result.Access.Usable()) {
      result.Outcome = Verdict::TargetFolderRefused;
      result.Folder = plan.Directory;
      return result;
    }
  }
  // Most names have no folder of their own; a search forwards is the quicker one to say so.
  if (!plan.FileName.contains(QLatin1Char('/'))) return result;
  const qsizetype slash = LastSlash(plan.FileName);
  // A folder the target folder does not have yet is not there either (unless the run makes it,
  // which it does only for the target folder itself).
  const QString inner = plan.Directory + plan.FileName.left(slash + 1);
  result.Access = Look(inner);
  if (result.Access.Access != FolderAccess::Writable) {
    if (result.Access.Access == FolderAccess::Creatable) result.Access.Error = ENOENT;
    result.Outcome = result.Access.Access == FolderAccess::Creatable ? Verdict::NameFolderMissing
                                                                     : Verdict::TargetFolderRefused;
    result.Folder = inner;
  }
  return result;
}
