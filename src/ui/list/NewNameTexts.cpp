#include "ui/list/NewNameTexts.h"

#include "filelist/Prepare.h"
#include "naming/Placeholders.h"
#include "platform/FileName.h"
#include "texts/AdditionEntries.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"

#include <QStringList>

#include <algorithm>

namespace {

// The language-table entry that names a filter kind, -1 for a kind that names nothing.
int KindEntry(int kind) {
  switch (kind) {
    case kFilterFolder:
      return kTextWordFolder;
    case kFilterName:
      return kTextWordFileName;
    case kFilterExtension:
      return kTextWordExtension;
    case kFilterSizeKiB:
      return kTextWordSizeKB;
    default:
      // Second, minute, hour, day, month and year follow one another in both lists.
      return kind >= kFilterSecond && kind <= kFilterYear ? kTextWordSecond + (kind - kFilterSecond)
                                                          : -1;
  }
}

int OperatorEntry(const FilterCondition& condition) {
  if (condition.Mode == kModeNumeric && condition.Operator >= 0 && condition.Operator <= 3)
    return kTextFilterEqual + condition.Operator;
  if (condition.Mode == kModeText && condition.Operator >= 0 && condition.Operator <= 7)
    return kTextFilterIs + condition.Operator;
  return -1;
}

// The regular expression operators are Mervane's own: their captions are additions.
int RegexOperatorAddition(const FilterCondition& condition) {
  if (condition.Mode != kModeText || !IsRegexOperator(condition.Operator)) return -1;
  return kAddOperatorMatchesRegex + (condition.Operator - kOperatorRegexMatches);
}

QString FolderReason(FolderAccess access) {
  switch (access) {
    case FolderAccess::NotAFolder:
      return AdditionText(kAddFolderReasonNotAFolder);
    case FolderAccess::NoPermission:
      return AdditionText(kAddFolderReasonPermission);
    case FolderAccess::ReadOnly:
      return AdditionText(kAddFolderReasonReadOnly);
    case FolderAccess::NameTooLong:
      return AdditionText(kAddFolderReasonTooLong);
    default:
      return AdditionText(kAddFolderReasonNotAPath);
  }
}

// How a clash at an existing target ends in a run from the window.
QString Resolution(const NewNamePlan& plan, const NewNameRow& row) {
  if (!plan.Settings().TargetDirActive) return AdditionText(kAddResolutionRenameFails);
  if (row.Status == kStatusDone) return AdditionText(kAddResolutionReplace);
  return AdditionText(kAddResolutionAsk);
}

QString Path(const FileEntry* entry) {
  return entry != nullptr ? entry->Path() : QString();
}

}  // namespace

QString FilterConditionText(const FilterCondition& condition) {
  QStringList parts;
  const int kind = KindEntry(condition.Kind);
  if (kind >= 0) parts << LanguageText(kind);
  const int op = OperatorEntry(condition);
  if (op >= 0) parts << LanguageText(op);
  const int regexOp = RegexOperatorAddition(condition);
  if (regexOp >= 0) parts << AdditionText(regexOp);
  parts << condition.Values;
  return parts.join(u' ');
}

QString ProblemShortText(NameProblem problem) {
  switch (problem) {
    case NameProblem::SameTargetEarlier:
    case NameProblem::SameTargetLater:
      return AdditionText(kAddKindSameTarget);
    case NameProblem::TargetExists:
      return AdditionText(kAddKindTargetExists);
    case NameProblem::TargetIsSource:
      return AdditionText(kAddKindTargetIsSource);
    case NameProblem::InvalidName:
      return AdditionText(kAddKindInvalidName);
    case NameProblem::NameTooLong:
      return AdditionText(kAddKindNameTooLong);
    case NameProblem::FolderNotCreatable:
      return AdditionText(kAddKindFolder);
    case NameProblem::SourceMissing:
      return AdditionText(kAddKindSourceMissing);
    case NameProblem::ReadError:
      return AdditionText(kAddKindReadError);
    case NameProblem::MatchGaveUp:
      return AdditionText(kAddKindMatchGaveUp);
    case NameProblem::None:
      break;
  }
  return {};
}

QString NewNameStandIn(const NewNamePlan& plan, qsizetype pos) {
  const NewNameRow& row = plan.Row(pos);
  if (row.Has(NewNameRow::kFilteredOut)) return AdditionText(kAddFilteredOut);
  return ProblemShortText(row.Problem);
}

QString NewNameTip(const NewNamePlan& plan, qsizetype pos, const FileEntry& entry,
                   const FileEntry* other) {
  const NewNameRow& row = plan.Row(pos);
  QStringList lines;
  if (row.Has(NewNameRow::kFilteredOut)) {
    const QList<FilterCondition>& conditions = plan.Settings().FilterConditions;
    const QString condition =
        row.Detail < conditions.size() ? FilterConditionText(conditions[row.Detail]) : QString();
    return AdditionText(kAddFilteredOutTip).arg(condition);
  }
  switch (row.Problem) {
    case NameProblem::None:
      break;
    case NameProblem::SameTargetEarlier:
      lines << AdditionText(kAddSameTargetEarlier).arg(Path(other)) << Resolution(plan, row);
      break;
    case NameProblem::SameTargetLater: {
      lines << AdditionText(kAddSameTargetLater).arg(Path(other));
      // Only a copy or move into the target folder may replace what this file put there.
      if (plan.Settings().TargetDirActive) lines << AdditionText(kAddResultLostIfReplaced);
      break;
    }
    case NameProblem::TargetExists:
      lines << AdditionText(kAddTargetExists);
      if (row.Has(NewNameRow::kOnDiskIsListed)) lines << AdditionText(kAddTargetIsListed);
      lines << Resolution(plan, row);
      break;
    case NameProblem::TargetIsSource:
      lines << AdditionText(kAddTargetIsSource);
      break;
    case NameProblem::InvalidName:
      lines << AdditionText(kAddInvalidNewName);
      break;
    case NameProblem::NameTooLong: {
      const QString name = plan.FileName(pos, entry);
      const qsizetype bytes = EncodeFileName(name.mid(name.lastIndexOf(u'/') + 1)).size();
      lines << AdditionText(kAddNameTooLong).arg(bytes);
      break;
    }
    case NameProblem::FolderNotCreatable: {
      const auto verdict = static_cast<TargetFolderCheck::Verdict>(row.Detail >> 8);
      const auto access = static_cast<FolderAccess>(row.Detail & 0xFF);
      if (verdict == TargetFolderCheck::Verdict::NameFolderMissing) {
        const QString name = plan.FileName(pos, entry);
        lines << AdditionText(kAddNameFolderMissing)
                     .arg(plan.Folder(pos, entry) + name.left(name.lastIndexOf(u'/') + 1));
      } else if (access == FolderAccess::NoPermission || access == FolderAccess::ReadOnly) {
        lines << AdditionText(kAddFolderRefusesFiles).arg(FolderReason(access));
      } else {
        lines << AdditionText(kAddFolderCannotBeMade).arg(FolderReason(access));
      }
      break;
    }
    case NameProblem::SourceMissing:
      lines << AdditionText(kAddSourceMissing);
      break;
    case NameProblem::ReadError:
      lines << AdditionText(kAddReadError);
      break;
    case NameProblem::MatchGaveUp:
      lines << AdditionText(kAddStatusMatchGaveUpExplanation);
      break;
  }
  if (row.Has(NewNameRow::kPending)) lines << AdditionText(kAddChecksumPending);
  if (row.Has(NewNameRow::kNoDateTaken)) lines << AdditionText(kAddNoDateTaken);
  if (row.CounterFrom >= 0)
    lines << AdditionText(kAddCounterPassedOver).arg(ZeroPad(row.CounterFrom, plan.CounterWidth()));
  if (plan.RandomOrder() && row.Problem == NameProblem::None && !row.Has(NewNameRow::kNoTarget))
    lines << AdditionText(kAddRandomOrder);
  return lines.join(u'\n');
}

QString StartQuestionText(const NewNamePlan& plan) {
  // The later side of a clash counts; the earlier one ends as planned.
  static constexpr NameProblem kAsked[] = {
      NameProblem::SameTargetEarlier, NameProblem::TargetExists, NameProblem::TargetIsSource,
      NameProblem::InvalidName,       NameProblem::NameTooLong,  NameProblem::FolderNotCreatable,
      NameProblem::SourceMissing,     NameProblem::ReadError,    NameProblem::MatchGaveUp};
  qsizetype total = 0;
  QStringList lines;
  for (const NameProblem problem : kAsked) {
    const qsizetype count = plan.ProblemCount(problem);
    if (count == 0) continue;
    total += count;
    lines << QStringLiteral("- %1 \u00D7 %2").arg(count).arg(ProblemShortText(problem));
  }
  if (total == 0) return {};
  return AdditionText(kAddStartQuestion).arg(total) + QStringLiteral("\n\n") + lines.join(u'\n') +
         QStringLiteral("\n\n") + AdditionText(kAddStartAnyway);
}

ChangedSpan ChangedPart(const QString& oldName, const QString& newName) {
  const qsizetype shorter = std::min(oldName.size(), newName.size());
  qsizetype head = 0;
  while (head < shorter && oldName[head] == newName[head]) ++head;
  // A pair is kept whole: the first half alone says nothing.
  if (head > 0 && head < shorter && newName[head - 1].isHighSurrogate()) --head;
  qsizetype tail = 0;
  while (tail < shorter - head &&
         oldName[oldName.size() - 1 - tail] == newName[newName.size() - 1 - tail])
    ++tail;
  if (tail > 0 && tail < newName.size() - head && newName[newName.size() - tail].isLowSurrogate())
    --tail;
  return {head, newName.size() - head - tail};
}
