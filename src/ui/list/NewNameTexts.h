#pragma once

#include "fileops/NewNamePlan.h"
#include "records/Preset.h"

#include <QString>

// The words of the new-name column: what a cell says, its tooltip, the status line's count and
// the question before a run. All from the language and additions tables.

// A filter condition as the filter page shows it: "Extension is jpg|png".
QString FilterConditionText(const FilterCondition& condition);

// The short name of a problem (the question's list, the cell of an entry without a target).
QString ProblemShortText(NameProblem problem);

// The tooltip of an entry's new name: why it is marked and how the run ends for it, the
// filter's reason, a checksum still to be read, numbers passed over. `other` is the entry on the
// other side of a clash (null when there is none). Empty when there is nothing to say.
QString NewNameTip(const NewNamePlan& plan, qsizetype pos, const FileEntry& entry,
                   const FileEntry* other);

// What the cell of the new name shows when the entry has no new name: the filter's words, or
// the problem's short name.
QString NewNameStandIn(const NewNamePlan& plan, qsizetype pos);

// The part of `newName` that differs from `oldName`: what stays at the start and at the end of
// both is left out, never splitting a surrogate pair. {start, length} into `newName`; length 0
// when the names are equal, or when the new name only drops characters (start is then where
// they were).
struct ChangedSpan {
  qsizetype Start = 0;
  qsizetype Length = 0;
};
ChangedSpan ChangedPart(const QString& oldName, const QString& newName);

// The question before a run with problems planned; empty when nothing would go otherwise than
// planned.
QString StartQuestionText(const NewNamePlan& plan);
