#include "filelist/Prepare.h"

#include "filelist/Loader.h"
#include "naming/Pattern.h"
#include "naming/PlaceholderTable.h"
#include "naming/RuleRegex.h"
#include "naming/Transform.h"
#include "platform/LocalTime.h"

#include <QSet>

#include <algorithm>
#include <numeric>
#include <random>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// The tested value of a numeric kind; false for a kind that names no number.
bool NumericValue(int kind, const FileEntry& entry, int dateSource, int64_t& value) {
  if (kind == kFilterSizeKiB) {
    value = entry.Size / 1024;
    return true;
  }
  if (kind < kFilterSecond || kind > kFilterYear) return false;
  const CalendarParts parts = PartsOfDate(
      dateSource == kDateSourceTaken ? DateTakenOrModified(entry) : ChosenDate(entry, dateSource));
  switch (kind) {
    case kFilterSecond:
      value = parts.Second;
      break;
    case kFilterMinute:
      value = parts.Minute;
      break;
    case kFilterHour:
      value = parts.Hour;
      break;
    case kFilterDay:
      value = parts.Day;
      break;
    case kFilterMonth:
      value = parts.Month;
      break;
    default:
      value = parts.Year;
      break;
  }
  return true;
}

// The tested text in the composed form, so that a name written decomposed meets the same
// conditions.
bool TextValue(int kind, const FileEntry& entry, QString& value) {
  switch (kind) {
    case kFilterFolder:
      value = entry.Directory();
      break;
    case kFilterName:
      value = entry.Name();
      break;
    case kFilterExtension:
      value = ExtensionOf(entry.Path());
      break;
    default:
      return false;
  }
  value = value.normalized(QString::NormalizationForm_C);
  return true;
}

bool IsTextKind(int kind) {
  return kind == kFilterFolder || kind == kFilterName || kind == kFilterExtension;
}

RuleRegex ConditionRegex(const FilterCondition& condition) {
  return RuleRegex(condition.Values.normalized(QString::NormalizationForm_C),
                   condition.Operator >= kOperatorRegexMatchesCase, RuleRegex::Scope::kAnywhere);
}

bool InRange(int32_t number, int32_t low, int32_t high) {
  return number >= low && number <= high;
}

}  // namespace

int32_t ReadConditionNumber(const QString& values) {
  qsizetype i = 0;
  const qsizetype n = values.size();
  while (i < n && (values[i] == u' ' || values[i] == u'\t')) ++i;
  bool negative = false;
  if (i < n && (values[i] == u'-' || values[i] == u'+')) {
    negative = values[i] == u'-';
    ++i;
  }
  unsigned base = 10;
  if (i < n && values[i] == u'$') {
    base = 16;
    ++i;
  }
  // Unsigned arithmetic wraps, which keeps exactly the low 32 bits of a long number.
  uint32_t number = 0;
  for (; i < n; ++i) {
    const char16_t c = values[i].unicode();
    unsigned digit = 0;
    if (c >= u'0' && c <= u'9')
      digit = c - u'0';
    else if (base == 16 && c >= u'a' && c <= u'f')
      digit = c - u'a' + 10;
    else if (base == 16 && c >= u'A' && c <= u'F')
      digit = c - u'A' + 10;
    else
      break;
    number = number * base + digit;
  }
  if (negative) number = 0u - number;
  return static_cast<int32_t>(number);
}

bool ConditionIsValid(const FilterCondition& condition) {
  const int32_t number = ReadConditionNumber(condition.Values);
  switch (condition.Kind) {
    case kFilterFolder:
    case kFilterName:
    case kFilterExtension:
      if (condition.Mode == kModeText && IsRegexOperator(condition.Operator))
        return ConditionRegex(condition).IsValid();
      return !condition.Values.isEmpty();
    case kFilterSizeKiB:
      return InRange(number, 1, 999'999'999);
    case kFilterSecond:
    case kFilterMinute:
      return InRange(number, 0, 59);
    case kFilterHour:
      return InRange(number, 0, 23);
    case kFilterDay:
      return InRange(number, 1, 31);
    case kFilterMonth:
      return InRange(number, 1, 12);
    case kFilterYear:
      return InRange(number, 1970, 2037);
    default:
      return true;
  }
}

RegexProblem ConditionRegexProblem(const FilterCondition& condition) {
  if (condition.Mode != kModeText || !IsTextKind(condition.Kind) ||
      !IsRegexOperator(condition.Operator))
    return {};
  return ConditionRegex(condition).Problem();
}

namespace {

using ReadyCondition = FilterMatcher::Condition;

enum class Met { kNo, kYes, kGaveUp };

ReadyCondition Ready(const FilterCondition& condition) {
  ReadyCondition ready;
  ready.Kind = condition.Kind;
  ready.Operator = condition.Operator;
  ready.Mode = condition.Mode;
  if (condition.Mode == kModeNumeric) ready.Number = ReadConditionNumber(condition.Values);
  if (condition.Mode == kModeText && IsRegexOperator(condition.Operator)) {
    ready.Regex = std::make_shared<const RuleRegex>(ConditionRegex(condition));
    return ready;
  }
  const QString values = condition.Values.normalized(QString::NormalizationForm_C);
  ready.Patterns = condition.Operator < kOperatorCaseSensitive ? LowerCaseUnits(values) : values;
  return ready;
}

bool IsMetPlain(const ReadyCondition& condition, const FileEntry& entry, int dateSource);

Met MetWhen(bool met) {
  return met ? Met::kYes : Met::kNo;
}

Met IsMet(const ReadyCondition& condition, const FileEntry& entry, int dateSource) {
  if (condition.Regex != nullptr) {
    QString tested;
    // An expression that does not compile is met by nothing, whatever the operator: as for a
    // kind that names no property, "does not match" would otherwise take out every file.
    if (!condition.Regex->IsValid() || !TextValue(condition.Kind, entry, tested)) return Met::kNo;
    const RegexOutcome outcome = condition.Regex->Match(tested);
    if (outcome == RegexOutcome::kGaveUp) return Met::kGaveUp;
    const bool found = outcome == RegexOutcome::kMatched;
    const bool lacks =
        condition.Operator == kOperatorRegexLacks || condition.Operator == kOperatorRegexLacksCase;
    return MetWhen(lacks ? !found : found);
  }
  return MetWhen(IsMetPlain(condition, entry, dateSource));
}

bool IsMetPlain(const ReadyCondition& condition, const FileEntry& entry, int dateSource) {
  if (condition.Mode == kModeNumeric) {
    int64_t tested = 0;
    if (!NumericValue(condition.Kind, entry, dateSource, tested)) return false;
    switch (condition.Operator) {
      case kOperatorEqual:
        return tested == condition.Number;
      case kOperatorNotEqual:
        return tested != condition.Number;
      case kOperatorLess:
        return tested < condition.Number;
      case kOperatorGreater:
        return tested > condition.Number;
      default:
        return false;
    }
  }
  if (condition.Mode == kModeText) {
    QString tested;
    if (!TextValue(condition.Kind, entry, tested)) return false;
    if (condition.Operator < 0 || condition.Operator > 7) return false;
    // Operators 0..3 ignore case: both sides are lower-cased and then matched exactly.
    if (condition.Operator < kOperatorCaseSensitive) tested = LowerCaseUnits(tested);
    switch (condition.Operator % kOperatorCaseSensitive) {
      case kOperatorEqual:
        return MatchWholeList(tested, condition.Patterns, true);
      case kOperatorNotEqual:
        return !MatchWholeList(tested, condition.Patterns, true);
      case kOperatorContains:
        return FindList(tested, condition.Patterns, true) != 0;
      default:
        return FindList(tested, condition.Patterns, true) == 0;
    }
  }
  return false;
}

}  // namespace

bool ConditionIsMet(const FilterCondition& condition, const FileEntry& entry, int dateSource) {
  return IsMet(Ready(condition), entry, dateSource) == Met::kYes;
}

FilterMatcher::FilterMatcher(const Preset& settings) : dateSource_(settings.FilterDateSource) {
  if (settings.FilterActive != 1) return;
  for (qsizetype i = 0; i < settings.FilterConditions.size(); ++i) {
    const FilterCondition& condition = settings.FilterConditions[i];
    if (!condition.IsActive()) continue;
    active_.push_back(Ready(condition));
    indexes_.push_back(static_cast<int>(i));
  }
}

int FilterMatcher::FirstMet(const FileEntry& entry) const {
  if (entry.Status != kStatusNotProcessed) return -1;
  for (size_t i = 0; i < active_.size(); ++i) {
    const Met met = IsMet(active_[i], entry, dateSource_);
    if (met == Met::kYes) return indexes_[i];
    if (met == Met::kGaveUp) return kFilterGaveUp;
  }
  return -1;
}

std::vector<qsizetype> SortedOrder(const FileList& list, int sortKey, bool ascending,
                                   std::span<const int64_t> takenDates) {
  const qsizetype n = list.Count();
  std::vector<qsizetype> order(static_cast<size_t>(n));
  std::iota(order.begin(), order.end(), qsizetype{0});
  if (n < 2) return order;
  if (sortKey == kSortRandom) {
    std::random_device seed;
    std::mt19937_64 generator(seed());
    std::shuffle(order.begin(), order.end(), generator);
    return order;
  }
  // Sort positions rather than entries: each position goes with its key (a number, or the
  // entry's text), so that a stable sort moves small pairs and compares them without visiting
  // the entries again; the entries are put in place once at the end.
  auto sortBy = [&](auto key) {
    using Key = decltype(key(list.At(0)));
    std::vector<std::pair<Key, qsizetype>> keyed;
    keyed.reserve(static_cast<size_t>(n));
    qsizetype pos = 0;
    for (const FileEntry& entry : list) keyed.emplace_back(key(entry), pos++);
    const auto less = [](const auto& a, const auto& b) {
      if constexpr (std::is_pointer_v<Key>)
        return *a < *b;
      else
        return a < b;
    };
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
      return ascending ? less(a.first, b.first) : less(b.first, a.first);
    });
    for (size_t i = 0; i < keyed.size(); ++i) order[i] = keyed[i].second;
  };
  switch (sortKey) {
    case kSortName:
      sortBy([](const FileEntry& e) -> QString { return e.Name(); });
      break;
    case kSortPath:
      sortBy([](const FileEntry& e) -> QString { return e.Path(); });
      break;
    case kSortSize:
      sortBy([](const FileEntry& e) { return e.Size; });
      break;
    case kSortLastAccess:
      sortBy([](const FileEntry& e) { return e.LastAccess; });
      break;
    case kSortModified:
      sortBy([](const FileEntry& e) { return e.Modified; });
      break;
    case kSortCreated:
      sortBy([](const FileEntry& e) { return e.Created; });
      break;
    case kSortDateTaken:
      if (takenDates.size() == static_cast<size_t>(n)) {
        const int64_t* next = takenDates.data();
        // The entries come in list order: each takes the next date.
        sortBy([&next](const FileEntry&) { return *next++; });
      } else {
        sortBy([](const FileEntry& e) { return DateTakenOrModified(e); });
      }
      break;
    default:
      break;  // no such key: the order stays
  }
  return order;
}

void SortList(FileList& list, int sortKey, bool ascending) {
  if (list.Count() < 2) return;
  list.Reorder(SortedOrder(list, sortKey, ascending));
}

qsizetype PrepareList(FileList& list, FileList& followUp, const Preset& settings,
                      const RunFlags& flags) {
  const bool single = flags.RunSingle.load(std::memory_order_relaxed) == 1;
  auto cancelled = [&] { return flags.RunCancelled.load(std::memory_order_relaxed) == 1; };
  // Both decided before anything is taken out.
  const bool filterNeeded = settings.FilterActive == 1;
  const bool sortNeeded = settings.SortActive == 1 && list.Count() > 1;

  qsizetype takenOut = 0;
  if (filterNeeded && (!cancelled() || single)) {
    const bool keepFiltered = settings.ListKeepFiltered == 1 && settings.QuitAfterRun == 0;
    // Outside a test run the matched entries are gathered and removed in one pass at the end,
    // so taking out many entries costs one pass over the list.
    QSet<int32_t> matchedIds;
    std::vector<ReadyCondition> active;
    for (const FilterCondition& condition : settings.FilterConditions)
      if (condition.IsActive()) active.push_back(Ready(condition));
    qsizetype pos = single ? list.Current : 0;
    const qsizetype last = single ? list.Current : list.Count() - 1;
    if (pos < 0) pos = last + 1;  // a test run without a current entry examines nothing
    for (; pos <= last; ++pos) {
      FileEntry& entry = list.At(pos);
      if (entry.Status == kStatusNotProcessed) {
        bool matched = false;
        for (const ReadyCondition& condition : active) {
          const Met met = IsMet(condition, entry, settings.FilterDateSource);
          if (met == Met::kGaveUp) entry.Status = kStatusMatchGaveUp;
          if (met != Met::kNo) {
            matched = met == Met::kYes;
            break;
          }
        }
        if (matched) {
          if (keepFiltered) AdmitFile(entry.Path(), followUp, settings);
          if (single)
            entry.Detail = 1;
          else
            matchedIds.insert(entry.Id);
          ++takenOut;
        }
      }
      if (cancelled()) break;
    }
    list.RemoveByIds(matchedIds);
  }
  if (sortNeeded && !cancelled() && !single)
    SortList(list, settings.SortKey, settings.SortDirection == 1);
  return takenOut;
}
