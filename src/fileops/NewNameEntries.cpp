#include "fileops/NewNameEntries.h"

#include "platform/FileName.h"

#include <QLatin1Char>

namespace {

bool TooLong(const QString& fileName) {
  const QString last = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
  return EncodeFileName(last).size() > kMaxFileNameBytes;
}

}  // namespace

QString PlannedTarget(const PlannedRow& planned, const FileEntry& entry) {
  const NewNameRow& row = planned.Row;
  if (row.Has(NewNameRow::kNoTarget) || row.Has(NewNameRow::kFilteredOut)) return {};
  const QStringView name = row.Has(NewNameRow::kNameUnchanged)
                               ? QStringView(entry.PathAfterDirectory())
                               : QStringView(planned.Name);
  if (name.isEmpty()) return {};
  const QStringView folder = row.Has(NewNameRow::kFolderUnchanged) ? QStringView(entry.Directory())
                                                                   : QStringView(planned.Folder);
  QString path;
  path.reserve(folder.size() + name.size());
  path += folder;
  path += name;
  return path;
}

PlannedRow NewNameEntryPlanner::Plan(qsizetype pos, const FileEntry& entry) {
  EntryPlan plan;
  bool planned = false;
  bool pending = false;
  const auto sourceMissing = [&] {
    if (!inputs_.DiskLookups) return false;
    return (snapshots_ != nullptr ? snapshots_->KindIn(entry.PathFolder(), entry.FileName())
                                  : direct_.Kind(entry.Path())) < 0;
  };
  if (!gaveUp_.empty() && gaveUp_[static_cast<size_t>(pos)] != 0) {
    plan = Planner::Failed(kStatusMatchGaveUp);
  } else if (values_.PreparationNeeded &&
             (entry.Status == kStatusSourceMissing || entry.Status == kStatusReadError ||
              entry.Status == kStatusMatchGaveUp)) {
    plan = Planner::Failed(entry.Status);
  } else if (sourceMissing()) {
    plan = Planner::Failed(kStatusSourceMissing);
  } else if (need_.Any() && inputs_.Content != nullptr) {
    const auto known = inputs_.Content->constFind(entry.Id);
    const bool found = known != inputs_.Content->constEnd();
    if (found && !known->Ok) {
      plan = Planner::Failed(kStatusReadError);
    } else {
      // The name is built from the values read so far, or shows the placeholders themselves.
      need_.ForEach([&](int id) {
        if (!found || !known->Values.contains(id)) pending = true;
      });
      withContent_ = entry;
      need_.ForEach([&](int id) {
        SetContentValue(withContent_, id,
                        pending ? PlaceholderById(id).Code.toString() : known->Values.value(id));
      });
      plan = planner_.Plan(withContent_);
      planned = true;
    }
  } else {
    plan = planner_.Plan(entry);
    planned = true;
  }

  int status = plan.Status;
  TargetFolderCheck::Result folder;
  if (planned && !pending && status == kStatusDone && inputs_.DiskLookups) {
    folder = folders_.Check(plan, entry.Directory());
    if (folder.Outcome != TargetFolderCheck::Verdict::Usable) status = kStatusCopyMoveFailed;
  }
  const int32_t counterFrom = planned ? planner_.CounterSearchedFrom() : -1;
  // Whether this target was already claimed must be asked before this entry claims it.
  const bool claimedBefore =
      planned && plan.Expect == PlanExpect::TargetExists && planner_.Claimed(plan.TargetPath());
  if (planned) {
    if (pending && status == kStatusDone) {
      // A name that is not known yet claims nothing: it would clash with every other one.
      EntryPlan unclaimed = plan;
      unclaimed.Action = PlanAction::InPlace;
      planner_.Settle(entry, unclaimed, status);
    } else {
      planner_.Settle(entry, plan, status);
    }
  }
  PlannedRow row = Describe(entry, plan, status, pending, claimedBefore, folder, counterFrom);
  // The name asked for the date taken and the file has none: it shows its modification date.
  if (planned && !pending && need_.Has(DateTakenId()) &&
      DateTaken(inputs_.Content != nullptr ? withContent_ : entry) == kInvalidDate)
    row.Row.Flags |= NewNameRow::kNoDateTaken;
  return row;
}

PlannedRow NewNameEntryPlanner::Describe(const FileEntry& entry, const EntryPlan& plan, int status,
                                         bool pending, bool claimedBefore,
                                         const TargetFolderCheck::Result& folder,
                                         int32_t counterFrom) const {
  PlannedRow planned;
  NewNameRow& row = planned.Row;
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
      planned.Folder = plan.Directory;
    if (QStringView(plan.FileName) == QStringView(entry.PathAfterDirectory())) {
      row.Flags |= NewNameRow::kNameUnchanged;
    } else if (plan.FileName.size() > 0xFFFF) {
      planned.Name = plan.FileName.left(0xFFFF);
      row.Flags |= NewNameRow::kNameCut;
    } else {
      planned.Name = plan.FileName;
    }
  }
  if (plan.CounterNumber >= 0 && counterFrom >= 0 && counterFrom < plan.CounterNumber)
    row.CounterFrom = counterFrom;
  if (pending) {
    row.Flags |= NewNameRow::kPending;
    return planned;
  }

  switch (plan.Expect) {
    case PlanExpect::TargetFree:
      break;
    case PlanExpect::TargetExists:
      if (claimedBefore) {
        row.Problem = NameProblem::SameTargetEarlier;
        planned.ClaimedBefore = true;
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
  return planned;
}
