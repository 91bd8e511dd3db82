#include "platform/LocalTime.h"

#include <climits>
#include <cstdint>
#include <ctime>

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian); exact for all years.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

bool IsValidCalendarDate(const CalendarParts& p) {
  return p.Month >= 1 && p.Month <= 12 && p.Day >= 1 && p.Day <= DaysInMonth(p.Year, p.Month) &&
         p.Hour >= 0 && p.Hour <= 23 && p.Minute >= 0 && p.Minute <= 59 && p.Second >= 0 &&
         p.Second <= 59;
}

CalendarParts PartsOfDate(int64_t dateValue) {
  CalendarParts p;
  const int64_t days = FloorDiv(dateValue, 86400);
  int64_t rest = dateValue - days * 86400;
  CivilFromDays(days, p.Year, p.Month, p.Day);
  p.Hour = static_cast<int>(rest / 3600);
  rest %= 3600;
  p.Minute = static_cast<int>(rest / 60);
  p.Second = static_cast<int>(rest % 60);
  return p;
}

int64_t DateFromParts(const CalendarParts& p) {
  return DaysFromCivil(p.Year, static_cast<unsigned>(p.Month), static_cast<unsigned>(p.Day)) *
             86400 +
         p.Hour * 3600 + p.Minute * 60 + p.Second;
}

namespace {

// The wall-clock offset from UTC at `unixSeconds`, from the system's zone rules.
bool OffsetAt(int64_t unixSeconds, int64_t& offset) {
  const auto t = static_cast<time_t>(unixSeconds);
  struct tm local {};
  if (::localtime_r(&t, &local) == nullptr) return false;
  offset = local.tm_gmtoff;
  return true;
}

}  // namespace

int64_t LocalDateFromUnix(int64_t unixSeconds) {
  // localtime_r searches the zone's transition table on every call, which made it a third of
  // the work of loading a large tree (three dates per file). Offsets change only at zone
  // transitions, so the offset of a quarter hour is kept once both its ends agree on it. The
  // cache belongs to the zone that was in force when it was filled: tzset() with another TZ
  // gives other zone names or another base offset, and the cache starts again.
  constexpr int64_t kBucket = 900;
  constexpr int kSlots = 64;
  struct Slot {
    int64_t Bucket = INT64_MIN;
    int64_t Offset = 0;
  };
  thread_local Slot slots[kSlots];
  thread_local const char* zoneNames[2] = {nullptr, nullptr};
  thread_local long zoneBase = 0;
  if (zoneNames[0] != tzname[0] || zoneNames[1] != tzname[1] || zoneBase != timezone) {
    for (Slot& slot : slots) slot.Bucket = INT64_MIN;
    zoneNames[0] = tzname[0];
    zoneNames[1] = tzname[1];
    zoneBase = timezone;
  }

  const int64_t bucket = FloorDiv(unixSeconds, kBucket);
  Slot& slot = slots[static_cast<uint64_t>(bucket) % kSlots];
  if (slot.Bucket == bucket) return unixSeconds + slot.Offset;

  int64_t offset = 0;
  if (!OffsetAt(unixSeconds, offset)) return 0;
  int64_t first = 0;
  int64_t last = 0;
  if (OffsetAt(bucket * kBucket, first) && OffsetAt(bucket * kBucket + kBucket - 1, last) &&
      first == offset && last == offset) {
    slot.Bucket = bucket;
    slot.Offset = offset;
  }
  return unixSeconds + offset;
}

int64_t UnixFromLocalDate(int64_t dateValue) {
  const CalendarParts p = PartsOfDate(dateValue);
  struct tm local {};
  local.tm_year = p.Year - 1900;
  local.tm_mon = p.Month - 1;
  local.tm_mday = p.Day;
  local.tm_hour = p.Hour;
  local.tm_min = p.Minute;
  local.tm_sec = p.Second;
  local.tm_isdst = -1;
  return static_cast<int64_t>(::mktime(&local));
}

int64_t NowAsLocalDate() { return LocalDateFromUnix(static_cast<int64_t>(::time(nullptr))); }
