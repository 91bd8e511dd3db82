#pragma once

#include <cstdint>

// Date values are local calendar time counted as seconds since 1970-01-01 00:00:00, as if the
// local wall-clock parts were UTC. -1 is the invalid date.
inline constexpr int64_t kInvalidDate = -1;

struct CalendarParts {
  int Year = 1970;
  int Month = 1;  // 1..12
  int Day = 1;    // 1..31
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
};

// A file or system time (seconds since the epoch, UTC) as a local date value.
int64_t LocalDateFromUnix(int64_t unixSeconds);
// Back to seconds since the epoch (UTC) through mktime with DST left to the system.
int64_t UnixFromLocalDate(int64_t dateValue);

// The calendar parts of a date value, and a date value from parts (no range check beyond
// what the arithmetic needs; use IsValidCalendarDate first where it matters).
CalendarParts PartsOfDate(int64_t dateValue);
int64_t DateFromParts(const CalendarParts& parts);
bool IsValidCalendarDate(const CalendarParts& parts);
int DaysInMonth(int year, int month);

// The current local date and time as a date value.
int64_t NowAsLocalDate();
