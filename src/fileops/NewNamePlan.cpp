#include "fileops/NewNamePlan.h"

#include "filelist/Prepare.h"
#include "fileops/CommonBase.h"
#include "fileops/NewNameEntries.h"
#include "fileops/NewNameIndex.h"
#include "fileops/PreparationContent.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>
#include <limits>

NewNamePlan::NewNamePlan() {
  folders_.emplace_back();
}
NewNamePlan::~NewNamePlan() = default;
NewNamePlan::NewNamePlan(NewNamePlan&&) noexcept = default;
NewNamePlan& NewNamePlan::operator=(NewNamePlan&&) noexcept = default;

QStringView NewNamePlan::StoredName(const NewNameRow& row) const {
  const size_t block = row.NameOffset >> kBlockBits;
  if (row.NameLength == 0 || block >= blocks_.size()) return {};
  const uint32_t start = row.NameOffset & ((1u << kBlockBits) - 1);
  return QStringView(blocks_[block].get() + start, row.NameLength);
}

QString NewNamePlan::FileName(qsizetype pos, const FileEntry& entry) const {
  const NewNameRow& row = Row(pos);
  if (row.Has(NewNameRow::kNoTarget) || row.Has(NewNameRow::kFilteredOut)) return {};
  if (row.Has(NewNameRow::kNameUnchanged)) return entry.PathAfterDirectory();
  return StoredName(row).toString();
}

QString NewNamePlan::Folder(qsizetype pos, const FileEntry& entry) const {
  const NewNameRow& row = Row(pos);
  if (row.Has(NewNameRow::kNoTarget) || row.Has(NewNameRow::kFilteredOut)) return {};
  if (row.Has(NewNameRow::kFolderUnchanged)) return entry.Directory();
  return row.Folder < folders_.size() ? folders_[row.Folder] : QString();
}

QString NewNamePlan::TargetPath(qsizetype pos, const FileEntry& entry) const {
  const QString name = FileName(pos, entry);
  return name.isEmpty() ? QString() : Folder(pos, entry) + name;
}

size_t NewNamePlan::KeptBytes() const {
  size_t bytes = rows_.capacity() * sizeof(NewNameRow) + order_.capacity() * sizeof(uint32_t) +
                 blocks_.size() * (sizeof(char16_t) << kBlockBits);
  for (const QString& folder : folders_) bytes += sizeof(QString) + folder.capacity() * 2;
  bytes += static_cast<size_t>(partners_.size()) * 32;
  return bytes;
}

void NewNamePlan::StoreName(NewNameRow& row, const QString& name) {
  constexpr uint32_t kBlockSize = 1u << kBlockBits;
  size_t length = static_cast<size_t>(name.size());
  if (length > 0xFFFF) {
    length = 0xFFFF;
    row.Flags |= NewNameRow::kNameCut;
  }
  if (blocks_.empty() || used_ + length > kBlockSize) {
    // Offsets have 32 bits: 12 for the block, 20 within it.
    if (blocks_.size() >= (size_t{1} << (32 - kBlockBits))) {
      row.Flags |= NewNameRow::kNameCut;
      return;
    }
    blocks_.push_back(std::make_unique_for_overwrite<char16_t[]>(kBlockSize));
    used_ = 0;
  }
  char16_t* block = blocks_.back().get();
  std::memcpy(block + used_, name.utf16(), length * sizeof(char16_t));
  row.NameOffset = static_cast<uint32_t>(((blocks_.size() - 1) << kBlockBits) | used_);
  row.NameLength = static_cast<uint16_t>(length);
  used_ += static_cast<uint32_t>(length);
}

// Works out a NewNamePlan: the filter and the sort as the run's preparation applies them, then
// the run's planner over the kept entries in the run's order, then the clashes inside the list.
class NewNamePlanner {
 public:
  NewNamePlanner(const FileList& files, const Preset& settings, const RunValues& runValues,
                 const NewNameInputs& inputs, NewNamePlan& plan)
      : files_(files), settings_(settings), values_(runValues), inputs_(inputs), plan_(plan) {}

  void Run() {
    const qsizetype count = files_.Count();
    if (count > std::numeric_limits<uint32_t>::max()) return;
    plan_.settings_ = settings_;
    plan_.rows_.resize(static_cast<size_t>(count));
    PlaceholderSet need = ContentNeeded(settings_, values_);
    // The filter or the sort by the date taken needs it of every file, and each name waits
    // for it: its place in the order (and so its number) depends on it.
    if (values_.PreparationNeeded && PreparationNeedsDateTaken(settings_)) {
      need.Add(DateTakenId());
      plan_.everyFile_ = true;
      KnownDatesTaken();
    }
    plan_.need_ = need;

    const std::vector<uint8_t> leftOut = Filter();
    Sort();
    if (!PlanEntries(need, leftOut)) return;
    if (!laterClashes_.empty()) FindFirstClaimants();
    for (const NewNameRow& row : plan_.rows_) ++plan_.problems_[static_cast<size_t>(row.Problem)];
    plan_.complete_ = true;
    if (inputs_.Keep != nullptr) inputs_.Keep->Finish(plan_, files_, gaveUp_, folderIndexes_);
    if (inputs_.Progress != nullptr) inputs_.Progress->store(1000, std::memory_order_relaxed);
  }

 private:
  bool Cancelled() const {
    return inputs_.Cancel != nullptr && inputs_.Cancel->load(std::memory_order_relaxed) != 0;
  }

  // The date taken of each position as the preparation will find it: the value read so far
  // (the entry's own when no values are handed in), else the modification date.
  void KnownDatesTaken() {
    taken_.reserve(plan_.rows_.size());
    const int id = DateTakenId();
    for (const FileEntry& entry : files_) {
      int64_t date = kInvalidDate;
      if (inputs_.Content == nullptr) {
        date = DateTaken(entry);
      } else if (const auto known = inputs_.Content->constFind(entry.Id);
                 known != inputs_.Content->constEnd() && known->Values.contains(id)) {
        bool ok = false;
        const qlonglong value = known->Values.value(id).toLongLong(&ok);
        if (ok) date = value;
      }
      taken_.push_back(date != kInvalidDate ? date : entry.Modified);
    }
  }

  // Marks what the run's filter takes out; one flag per position for the common base.
  std::vector<uint8_t> Filter() {
    std::vector<uint8_t> leftOut;
    if (!values_.PreparationNeeded) return leftOut;
    const FilterMatcher filter(settings_);
    if (!filter.Active()) return leftOut;
    leftOut.assign(plan_.rows_.size(), 0);
    qsizetype pos = 0;
    const bool byTaken = !taken_.empty() && settings_.FilterDateSource == kDateSourceTaken;
    FileEntry withTaken;
    for (const FileEntry& entry : files_) {
      const FileEntry* tested = &entry;
      if (byTaken) {
        // The date taken stands in the entry as the preparation's read leaves it there.
        withTaken = entry;
        SetContentValue(withTaken, DateTakenId(),
                        QString::number(taken_[static_cast<size_t>(pos)]));
        tested = &withTaken;
      }
      const int met = filter.FirstMet(*tested);
      if (met >= 0) {
        NewNameRow& row = plan_.rows_[static_cast<size_t>(pos)];
        row.Flags = NewNameRow::kFilteredOut;
        row.Detail = static_cast<uint16_t>(std::min(met, 0xFFFF));
        row.Status = kStatusNotProcessed;
        leftOut[static_cast<size_t>(pos)] = 1;
        ++plan_.filteredOut_;
      } else if (met == FilterMatcher::kFilterGaveUp) {
        // The run leaves such a file where it is, failed: the preview says why.
        if (gaveUp_.empty()) gaveUp_.assign(plan_.rows_.size(), 0);
        gaveUp_[static_cast<size_t>(pos)] = 1;
      }
      ++pos;
    }
    return leftOut;
  }

  // The run sorts the entries its filter kept; a stable sort of the whole list puts them in the
  // same order among themselves, and shows the filtered ones where they would have stood.
  void Sort() {
    if (!values_.PreparationNeeded || settings_.SortActive != 1 || plan_.rows_.size() < 2) return;
    if (settings_.SortKey == kSortRandom) {
      plan_.randomOrder_ = true;
      return;
    }
    const std::vector<qsizetype> order =
        SortedOrder(files_, settings_.SortKey, settings_.SortDirection == 1, taken_);
    plan_.order_.assign(order.begin(), order.end());
  }

  bool PlanEntries(const PlaceholderSet& need, const std::vector<uint8_t>& leftOut) {
    PlanOptions options;
    options.DiskLookups = inputs_.DiskLookups;
    options.LookUpInPlaceTargets = true;
    options.Simulate = true;
    options.ReplaceMemory = inputs_.ReplaceMemory;
    // A whole list asks about every file of its folders: each folder is read once.
    options.Disk = &disk_;
    if (settings_.TargetDirActive && settings_.KeepSubfolders && !leftOut.empty())
      options.CommonBase = CommonBaseDirectory(files_, leftOut);
    Planner planner(files_, settings_, values_, options);
    plan_.counterWidth_ = planner.Targets().CounterWidth;
    if (inputs_.Keep != nullptr)
      inputs_.Keep->Begin(settings_, values_, inputs_, need, planner.Targets().CommonBase,
                          planner.Targets().NameTemplate.contains(kCounterMarker));
    NewNameEntryPlanner entries(files_, values_, inputs_, need, gaveUp_, planner, &disk_, folders_);

    const qsizetype count = static_cast<qsizetype>(plan_.rows_.size());
    const bool ordered = !plan_.order_.empty();
    for (qsizetype i = 0; i < count; ++i) {
      if ((i & 255) == 0) {
        if (Cancelled()) return false;
        if (inputs_.Progress != nullptr && (i & 4095) == 0)
          inputs_.Progress->store(static_cast<int32_t>(i * 999 / count), std::memory_order_relaxed);
      }
      const qsizetype pos = ordered ? plan_.order_[static_cast<size_t>(i)] : i;
      NewNameRow& row = plan_.rows_[static_cast<size_t>(pos)];
      if (row.Has(NewNameRow::kFilteredOut)) continue;
      PlannedRow planned = entries.Plan(pos, files_.At(pos));
      row = planned.Row;
      if (!planned.Folder.isEmpty()) row.Folder = FolderIndex(planned.Folder);
      if (!planned.Name.isEmpty()) plan_.StoreName(row, planned.Name);
      if (row.Status != kStatusDone && row.Status != kStatusNotProcessed) ++plan_.failing_;
      if (row.Has(NewNameRow::kPending)) ++plan_.pending_;
      if (planned.ClaimedBefore) {
        laterClashes_.push_back(static_cast<uint32_t>(pos));
        clashTargets_.insert(plan_.TargetPath(pos, files_.At(pos)), -1);
      }
    }
    return true;
  }

  uint32_t FolderIndex(const QString& folder) {
    if (folder == lastFolder_ && lastFolderIndex_ != 0) return lastFolderIndex_;
    auto found = folderIndexes_.constFind(folder);
    uint32_t index = 0;
    if (found != folderIndexes_.constEnd()) {
      index = found.value();
    } else {
      index = static_cast<uint32_t>(plan_.folders_.size());
      plan_.folders_.push_back(folder);
      folderIndexes_.insert(folder, index);
    }
    lastFolder_ = plan_.folders_[index];
    lastFolderIndex_ = index;
    return index;
  }

  // Each entry that meets a target an earlier one claimed is told which one, and that one is
  // told of the first that follows it there. Only the entries that claim a target (done, moved
  // or copied, name known) can be the earlier one, as in the planner.
  void FindFirstClaimants() {
    const qsizetype count = static_cast<qsizetype>(plan_.rows_.size());
    const bool ordered = !plan_.order_.empty();
    for (qsizetype i = 0; i < count; ++i) {
      const qsizetype pos = ordered ? plan_.order_[static_cast<size_t>(i)] : i;
      const NewNameRow& row = plan_.rows_[static_cast<size_t>(pos)];
      if (row.Flags & (NewNameRow::kFilteredOut | NewNameRow::kNoTarget | NewNameRow::kPending))
        continue;
      if (row.Status != kStatusDone || row.Action == PlanAction::InPlace ||
          row.Action == PlanAction::None)
        continue;
      auto found = clashTargets_.find(plan_.TargetPath(pos, files_.At(pos)));
      if (found != clashTargets_.end() && found.value() < 0) found.value() = pos;
    }
    for (const uint32_t later : laterClashes_) {
      const qsizetype first = clashTargets_.value(plan_.TargetPath(later, files_.At(later)), -1);
      if (first < 0) continue;
      plan_.partners_.insert(later, first);
      if (!plan_.partners_.contains(static_cast<uint32_t>(first))) {
        plan_.partners_.insert(static_cast<uint32_t>(first), later);
        NewNameRow& earlier = plan_.rows_[static_cast<size_t>(first)];
        if (earlier.Problem == NameProblem::None) earlier.Problem = NameProblem::SameTargetLater;
      }
    }
  }

  const FileList& files_;
  const Preset& settings_;
  const RunValues& values_;
  const NewNameInputs& inputs_;
  NewNamePlan& plan_;
  TargetFolderCheck folders_;
  FolderSnapshots disk_;
  QHash<QString, uint32_t> folderIndexes_;
  QString lastFolder_;
  // Positions whose filter condition gave up (empty while none did).
  std::vector<uint8_t> gaveUp_;
  std::vector<int64_t> taken_;  // by position, when the filter or the sort tests the date taken
  uint32_t lastFolderIndex_ = 0;
  std::vector<uint32_t> laterClashes_;
  QHash<QString, qsizetype> clashTargets_;  // target -> the first entry that claimed it
};

NewNamePlan PlanNewNames(const FileList& files, const Preset& settings, const RunValues& runValues,
                         const NewNameInputs& inputs) {
  NewNamePlan plan;
  NewNamePlanner(files, settings, runValues, inputs, plan).Run();
  return plan;
}
