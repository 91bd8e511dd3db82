#include "fileops/Dates.h"

#include "naming/PlaceholderTable.h"
#include "platform/FileTimes.h"
#include "platform/LocalTime.h"
#include "records/Preset.h"

#include <algorithm>

namespace {

// One date on its way to the file.
struct Working {
  int64_t Value = 0;
  const FileTime* Recorded = nullptr;  // the full-resolution time the value stands for
  bool OnTarget = false;               // the target carries exactly this time already
};

Working FromEntry(int64_t value, const FileTime& time, bool onTarget) {
  return {value, &time, onTarget};
}

Working Computed(int64_t value) {
  return {value, nullptr, false};
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

constexpr int kMinYear = 1;
constexpr int kMaxYear = 9999;

DateToWrite Finish(const Working& w) {
  DateToWrite out;
  out.Value = w.Value;
  if (w.Value == kInvalidDate) return out;  // an impossible date is never written
  if (w.Recorded != nullptr) {
    // A recorded date of 0 could not be read at load: nothing sensible to write back.
    if (w.Value == 0 && *w.Recorded == FileTime{}) return out;
    out.Time = *w.Recorded;
  } else {
    out.Time = {UnixFromLocalDate(w.Value), 0};
  }
  out.Write = !w.OnTarget;
  return out;
}

const FileTime* TimeToWrite(const DateToWrite& date) {
  return date.Write ? &date.Time : nullptr;
}

}  // namespace

int64_t AdjustDate(int64_t date, int unit, int operation, int64_t amount) {
  if (date == kInvalidDate) return kInvalidDate;
  if (operation == kDateSet) {
    CalendarParts parts = PartsOfDate(date);
    if (amount < kMinYear - 1 || amount > kMaxYear) return kInvalidDate;
    const int value = static_cast<int>(amount);
    switch (unit) {
      case kUnitSecond:
        parts.Second = value;
        break;
      case kUnitMinute:
        parts.Minute = value;
        break;
      case kUnitHour:
        parts.Hour = value;
        break;
      case kUnitDay:
        parts.Day = value;
        break;
      case kUnitMonth:
        parts.Month = value;
        break;
      case kUnitYear:
        parts.Year = value;
        break;
      default:
        return date;
    }
    if (parts.Year < kMinYear || !IsValidCalendarDate(parts)) return kInvalidDate;
    return DateFromParts(parts);
  }
  if (operation != kDateAdd && operation != kDateSubtract) return date;
  const int64_t delta = operation == kDateSubtract ? -amount : amount;
  static constexpr int64_t kSeconds[] = {1, 60, 3600, 86400};
  if (unit >= kUnitSecond && unit <= kUnitDay) return date + delta * kSeconds[unit];
  CalendarParts parts = PartsOfDate(date);
  if (unit == kUnitMonth) {
    const int64_t months = int64_t{parts.Year} * 12 + (parts.Month - 1) + delta;
    const int64_t year = FloorDiv(months, 12);
    if (year < kMinYear || year > kMaxYear) return kInvalidDate;
    parts.Year = static_cast<int>(year);
    parts.Month = static_cast<int>(months - year * 12) + 1;
    // 31 January + 1 month is the last day of February.
    parts.Day = std::min(parts.Day, DaysInMonth(parts.Year, parts.Month));
    return DateFromParts(parts);
  }
  if (unit == kUnitYear) {
    const int64_t year = parts.Year + delta;
    if (year < kMinYear || year > kMaxYear) return kInvalidDate;
    parts.Year = static_cast<int>(year);
    if (!IsValidCalendarDate(parts)) return kInvalidDate;  // 29 February into a common year
    return DateFromParts(parts);
  }
  return date;
}

DatePlan ComputeDates(const QString& targetPath, const FileEntry& entry, const Preset& settings,
                      int64_t resolvedFixedDate, TargetTimes targetTimes) {
  const bool kept = targetTimes == TargetTimes::AsRecorded;
  Working created = FromEntry(entry.Created, entry.CreatedTime, kept);
  Working modified = FromEntry(entry.Modified, entry.ModifiedTime, kept);
  Working access = FromEntry(entry.LastAccess, entry.AccessTime, kept);
  FileTime currentCreation;
  FileTime now;

  if (settings.ChangeDates == 1) {
    switch (settings.DateMode) {
      case kDateModeNow:
        if (ReadCreationTime(targetPath, currentCreation)) {
          created = {LocalDateFromUnix(currentCreation.Seconds), &currentCreation, true};
        } else {
          created = Computed(0);
          created.OnTarget = true;  // unreadable: leave whatever the file has
        }
        // The clock's own time, not a round trip through the local calendar, which is
        // ambiguous in the hour that repeats when summer time ends.
        now = {CurrentUnixTime(), 0};
        modified = {LocalDateFromUnix(now.Seconds), &now, false};
        break;
      case kDateModeFixed:
        created = modified = access = Computed(resolvedFixedDate);
        break;
      case kDateModeCopy: {
        Working source;
        if (settings.DateCopySource == kDateLastAccess) {
          source = access;
        } else if (settings.DateCopySource == kDateModified) {
          source = modified;
        } else if (settings.DateCopySource == kDateCreated) {
          source = created;
        } else if (settings.DateCopySource == kDateSourceTaken) {
          // When the photo was shot; a file without a date taken keeps its modification date.
          const int64_t taken = DateTaken(entry);
          source = taken != kInvalidDate ? Computed(taken) : modified;
        } else {
          break;
        }
        // The copy is on the target already only where it is the date's own recorded time.
        created = {source.Value, source.Recorded, kept && source.Recorded == &entry.CreatedTime};
        modified = {source.Value, source.Recorded, kept && source.Recorded == &entry.ModifiedTime};
        access = {source.Value, source.Recorded, kept && source.Recorded == &entry.AccessTime};
        break;
      }
      default:
        break;
    }
  }

  if (settings.DateRulesActive == 1) {
    for (const DateAdjustment& rule : settings.DateAdjustments) {
      if (!rule.IsActive() || rule.Unit < 0 || rule.Unit > kLastRuleUnit) continue;
      const int which = rule.Unit / kUnitsPerDate;  // 0 last access, 1 modified, 2 created
      Working& date = which == 0 ? access : (which == 1 ? modified : created);
      const int64_t adjusted =
          AdjustDate(date.Value, rule.Unit % kUnitsPerDate, rule.Operation, rule.Amount);
      if (adjusted != date.Value) date = Computed(adjusted);
    }
  }

  DatePlan plan;
  plan.Created = Finish(created);
  plan.LastAccess = Finish(access);
  plan.Modified = Finish(modified);
  return plan;
}

int WriteDatePlan(const QString& targetPath, const DatePlan& plan) {
  if (!plan.AnyWrite()) return 0;
  if (plan.Created.Write) WriteCreationTime(targetPath, plan.Created.Time);
  return WriteAccessAndModificationTimes(targetPath, TimeToWrite(plan.LastAccess),
                                         TimeToWrite(plan.Modified));
}

void WriteDates(const QString& targetPath, const FileEntry& entry, const Preset& settings,
                int64_t resolvedFixedDate, TargetTimes targetTimes) {
  WriteDatePlan(targetPath,
                ComputeDates(targetPath, entry, settings, resolvedFixedDate, targetTimes));
}
