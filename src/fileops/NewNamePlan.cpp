#include "fileops/NewNamePlan.h"

#include "filelist/Prepare.h"
#include "fileops/CommonBase.h"
#include "fileops/PreparationContent.h"
#include "platform/FileName.h"
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
    if (inputs_.Progress != nullptr) inputs_.Progress->store(1000, std::memory_order_relaxed);
    plan_.complete_ = true;
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

    const qsizetype count = static_cast<qsizetype>(plan_.rows_.size());
    const bool ordered = !plan_.order_.empty();
    FileEntry withContent;
    for (qsizetype i = 0; i < count; ++i) {
      if ((i & 255) == 0) {
        if (Cancelled()) return false;
        if (inputs_.Progress != nullptr && (i & 4095) == 0)
          inputs_.Progress->store(static_cast<int32_t>(i * 999 / count), std::memory_order_relaxed);
      }
      const qsizetype pos = ordered ? plan_.order_[static_cast<size_t>(i)] : i;
      NewNameRow& row = plan_.rows_[static_cast<size_t>(pos)];
      if (row.Has(NewNameRow::kFilteredOut)) continue;
      const FileEntry& entry = files_.At(pos);

      EntryPlan plan;
      bool planned = false;
      bool pending = false;
      if (!gaveUp_.empty() && gaveUp_[static_cast<size_t>(pos)] != 0) {
        plan = Planner::Failed(kStatusMatchGaveUp);
      } else if (values_.PreparationNeeded &&
                 (entry.Status == kStatusSourceMissing || entry.Status == kStatusReadError ||
                  entry.Status == kStatusMatchGaveUp)) {
        plan = Planner::Failed(entry.Status);
      } else if (inputs_.DiskLookups && disk_.KindIn(entry.Directory(), entry.Path()) < 0) {
        plan = Planner::Failed(kStatusSourceMissing);
      } else if (need.Any() && inputs_.Content != nullptr) {
        const auto known = inputs_.Content->constFind(entry.Id);
        const bool found = known != inputs_.Content->constEnd();
        if (found && !known->Ok) {
          plan = Planner::Failed(kStatusReadError);
        } else {
          // The name is built from the values read so far, or shows the placeholders themselves.
          need.ForEach([&](int id) {
            if (!found || !known->Values.contains(id)) pending = true;
          });
          withContent = entry;
          need.ForEach([&](int id) {
            SetContentValue(
                withContent, id,
                pending ? PlaceholderById(id).Code.toString() : known->Values.value(id));
          });
          plan = planner.Plan(withContent);
          planned = true;
        }
      } else {
        plan = planner.Plan(entry);
        planned = true;
      }

      int status = plan.Status;
      TargetFolderCheck::Result folder;
      if (planned && !pending && status == kStatusDone && inputs_.DiskLookups) {
        folder = folders_.Check(plan, entry.Directory());
        if (folder.Outcome != TargetFolderCheck::Verdict::Usable) status = kStatusCopyMoveFailed;
      }
      const int32_t counterFrom = planned ? planner.CounterSearchedFrom() : -1;
      // Whether this target was already claimed must be asked before this entry claims it.
      const bool claimedBefore =
          planned && plan.Expect == PlanExpect::TargetExists && planner.Claimed(plan.TargetPath());
      if (planned) {
        if (pending && status == kStatusDone) {
          // A name that is not known yet claims nothing: it would clash with every other one.
          EntryPlan unclaimed = plan;
          unclaimed.Action = PlanAction::InPlace;
          planner.Settle(entry, unclaimed, status);
        } else {
          planner.Settle(entry, plan, status);
        }
      }
      Record(pos, row, entry, plan, status, pending, claimedBefore, folder, counterFrom);
      // The name asked for the date taken and the file has none: it shows its modification date.
      if (planned && !pending && need.Has(DateTakenId()) &&
          DateTaken(inputs_.Content != nullptr ? withContent : entry) == kInvalidDate)
        row.Flags |= NewNameRow::kNoDateTaken;
    }
    return true;
  }

  void Record(qsizetype pos, NewNameRow& row, const FileEntry& entry, const EntryPlan& plan,
              int status, bool pending, bool claimedBefore, const TargetFolderCheck::Result& folder,
              int32_t counterFrom) {
    row.Status = static_cast<int8_t>(status);
    row.Action = plan.Action;
    if (!plan.TargetBuilt()) {
      row.Flags |= NewNameRow::kNoTarget;
    } else {
      // The planner hands back the entry's own folder text where the folder stays.
      const bool sameText = plan.Directory.constData() == entry.Directory().constData() &&
                            plan.Directory.size() == entry.Directory().size();
      if (sameText || plan.Directory == entry.Directory())
        row.Flags |= NewNameRow::kFolderUnchanged;
      else
        row.Folder = FolderIndex(plan.Directory);
      if (QStringView(plan.FileName) == QStringView(entry.PathAfterDirectory()))
        row.Flags |= NewNameRow::kNameUnchanged;
      else
        StoreName(row, plan.FileName);
    }
    if (plan.CounterNumber >= 0 && counterFrom >= 0 && counterFrom < plan.CounterNumber)
      row.CounterFrom = counterFrom;
    if (status != kStatusDone && status != kStatusNotProcessed) ++plan_.failing_;
    if (pending) {
      row.Flags |= NewNameRow::kPending;
      ++plan_.pending_;
      return;
    }

    switch (plan.Expect) {
      case PlanExpect::TargetFree:
        break;
      case PlanExpect::TargetExists:
        if (claimedBefore) {
          row.Problem = NameProblem::SameTargetEarlier;
          const QString target = plan.TargetPath();
          laterClashes_.push_back(static_cast<uint32_t>(pos));
          clashTargets_.insert(target, -1);
        } else {
          row.Problem = NameProblem::TargetExists;
          if (files_.IdOfPath(plan.TargetPath()) != 0) row.Flags |= NewNameRow::kOnDiskIsListed;
        }
        break;
      case PlanExpect::TargetIsSource:
        row.Problem = NameProblem::TargetIsSource;
        break;
      case PlanExpect::TargetIsFolder:
        row.Problem = NameProblem::TargetExists;
        break;
      case PlanExpect::InvalidName:
        row.Problem = TooLong(plan.FileName) ? NameProblem::NameTooLong : NameProblem::InvalidName;
        break;
      case PlanExpect::SourceMissing:
        row.Problem = NameProblem::SourceMissing;
        break;
      case PlanExpect::ReadError:
        row.Problem = NameProblem::ReadError;
        break;
      case PlanExpect::FilteredOut:
        break;
      case PlanExpect::MatchGaveUp:
        row.Problem = NameProblem::MatchGaveUp;
        break;
    }
    if (row.Problem == NameProblem::None && folder.Outcome != TargetFolderCheck::Verdict::Usable) {
      row.Problem = NameProblem::FolderNotCreatable;
      row.Detail = static_cast<uint16_t>((static_cast<int>(folder.Outcome) << 8) |
                                         static_cast<uint8_t>(folder.Access.Access));
    }
  }

  static bool TooLong(const QString& fileName) {
    const QString last = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    return EncodeFileName(last).size() > kMaxFileNameBytes;
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

  void StoreName(NewNameRow& row, const QString& name) {
    constexpr uint32_t kBlockSize = 1u << NewNamePlan::kBlockBits;
    size_t length = static_cast<size_t>(name.size());
    if (length > 0xFFFF) {
      length = 0xFFFF;
      row.Flags |= NewNameRow::kNameCut;
    }
    if (plan_.blocks_.empty() || plan_.used_ + length > kBlockSize) {
      // Offsets have 32 bits: 12 for the block, 20 within it.
      if (plan_.blocks_.size() >= (size_t{1} << (32 - NewNamePlan::kBlockBits))) {
        row.Flags |= NewNameRow::kNameCut;
        return;
      }
      plan_.blocks_.push_back(std::make_unique_for_overwrite<char16_t[]>(kBlockSize));
      plan_.used_ = 0;
    }
    char16_t* block = plan_.blocks_.back().get();
    std::memcpy(block + plan_.used_, name.utf16(), length * sizeof(char16_t));
    row.NameOffset = static_cast<uint32_t>(((plan_.blocks_.size() - 1) << NewNamePlan::kBlockBits) |
                                           plan_.used_);
    row.NameLength = static_cast<uint16_t>(length);
    plan_.used_ += static_cast<uint32_t>(length);
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
