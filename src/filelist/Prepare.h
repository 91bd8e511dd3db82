#pragma once

#include "filelist/FileList.h"
#include "records/Preset.h"
#include "records/RunFlags.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class RuleRegex;
struct RegexProblem;

// What a filter condition tests (FilterCondition::Kind, as stored). Kinds 10..14 name no
// property: such a condition is never met.
enum FilterKind : int8_t {
  kFilterFolder = 0,
  kFilterName = 1,
  kFilterExtension = 2,
  kFilterSizeKiB = 3,
  kFilterSecond = 4,
  kFilterMinute = 5,
  kFilterHour = 6,
  kFilterDay = 7,
  kFilterMonth = 8,
  kFilterYear = 9,
};

// How a condition compares (FilterCondition::Operator). Numeric conditions use 0..3; text
// conditions use 0..3 ignoring letter case and 4..7 for the same tests with it.
enum FilterOperator : int8_t {
  kOperatorEqual = 0,          // numbers: equal; texts: matches the pattern list as a whole
  kOperatorNotEqual = 1,       // numbers: not equal; texts: does not match it
  kOperatorLess = 2,           // numbers: less; texts: contains one of the patterns
  kOperatorGreater = 3,        // numbers: greater; texts: contains none of them
  kOperatorCaseSensitive = 4,  // added to a text operator: letter case counts
};
inline constexpr int8_t kOperatorContains = kOperatorLess;
inline constexpr int8_t kOperatorLacks = kOperatorGreater;
// Text conditions with a regular expression, found anywhere in the tested text (anchor it with
// "^" and "$" for the whole). The first two ignore letter case.
inline constexpr int8_t kOperatorRegexMatches = 8;
inline constexpr int8_t kOperatorRegexLacks = 9;
inline constexpr int8_t kOperatorRegexMatchesCase = 10;
inline constexpr int8_t kOperatorRegexLacksCase = 11;
inline constexpr bool IsRegexOperator(int op) {
  return op >= kOperatorRegexMatches && op <= kOperatorRegexLacksCase;
}

// Whether a condition compares numbers or texts (FilterCondition::Mode).
enum ConditionMode : int8_t { kModeNumeric = 1, kModeText = 2 };

// The order of a sort (Preset::SortKey, as stored).
enum SortKey : int8_t {
  kSortRandom = 0,
  kSortName = 1,
  kSortPath = 2,
  kSortSize = 3,
  kSortLastAccess = 4,
  kSortModified = 5,
  kSortCreated = 6,
  // The date taken read from inside the file (its modification date when it has none); the
  // preparation reads it first (fileops/PreparationContent.h).
  kSortDateTaken = 7,
};

// The number of a numeric filter condition: leading blanks and tabs are skipped, one "-" or
// "+" may follow, "$" then introduces hexadecimal digits (otherwise decimal), reading stops at
// the first character that is not a digit, and a text without digits reads 0. Only the low 32
// bits are kept, as a signed value.
int32_t ReadConditionNumber(const QString& values);

// Whether the condition's values are acceptable for its kind (checked before a run for every
// condition, ticked or not). A regular expression must compile.
bool ConditionIsValid(const FilterCondition& condition);

// What is wrong with a text condition's regular expression; nothing for other conditions.
RegexProblem ConditionRegexProblem(const FilterCondition& condition);

// Whether the entry meets the condition (the condition's tick is not looked at). Texts are
// compared in the composed Unicode form. A regular expression that gives up, or that does not
// compile, is not met. `dateSource` picks the date the date kinds test: 0 last access,
// 1 modified, 2 created, 3 the date taken (read into the entry beforehand; the modification
// date when it has none). A kind that names no property, or a mode that does not fit the kind,
// is never met.
bool ConditionIsMet(const FilterCondition& condition, const FileEntry& entry, int dateSource);

// The filter of a run, prepared once for many entries: what PrepareList takes out.
class FilterMatcher {
 public:
  // Nothing is met while the settings' filter is off.
  explicit FilterMatcher(const Preset& settings);
  // The index in FilterConditions of the first ticked condition the entry meets; -1 when none
  // is, or when the entry has a status already (the filter looks only at unprocessed entries);
  // kFilterGaveUp when a regular expression gave up before a condition was met.
  int FirstMet(const FileEntry& entry) const;
  static constexpr int kFilterGaveUp = -2;
  bool Active() const { return !active_.empty(); }

  // A condition with its number read and its patterns case-folded once, not once per entry.
  struct Condition {
    int8_t Kind = 0;
    int8_t Operator = 0;
    int8_t Mode = 0;
    int64_t Number = 0;
    QString Patterns;
    std::shared_ptr<const RuleRegex> Regex;  // for the regular expression operators
  };

 private:
  int dateSource_ = 1;
  std::vector<Condition> active_;
  std::vector<int> indexes_;  // where each active condition stands in FilterConditions
};

// The order SortList puts the list in, without changing it: `order[i]` is the position of the
// entry that goes to position i. A stable sort, so that a preview of the order and the run agree,
// and so does the order of a part of the list (the entries a filter keeps) taken from it.
// By the date taken, `takenDates` (by position) stands in for the entries' own values when given.
std::vector<qsizetype> SortedOrder(const FileList& list, int sortKey, bool ascending,
                                   std::span<const int64_t> takenDates = {});

// Orders the whole list by `sortKey` (0 random, 1 name, 2 path, 3 size, 4 last access,
// 5 modified, 6 created, 7 date taken), ascending or descending. Entries with equal keys keep their
// order.
void SortList(FileList& list, int sortKey, bool ascending);

// The preparation pass before a run: takes out of `list` every unprocessed entry that meets
// one of the ticked filter conditions (remembering it in `followUp` when the settings keep
// filtered files), then sorts the list. An entry on which a regular expression gave up stays,
// with the status kStatusMatchGaveUp. In a single-file test run (`RunSingle`) only the
// current entry is examined, and it is marked (`Detail` 1) rather than taken out. Polls
// `RunCancelled` after every entry; a cancel keeps what was already taken out and skips the
// sort. Returns the number of entries taken out or marked.
qsizetype PrepareList(FileList& list, FileList& followUp, const Preset& settings,
                      const RunFlags& flags);
