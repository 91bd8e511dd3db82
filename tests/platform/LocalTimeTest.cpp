#include "platform/LocalTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

TEST(LocalTime, PartsAndValuesAgree) {
  struct Row {
    CalendarParts parts;
    int64_t value;
  };
  const Row rows[] = {
      {{1970, 1, 1, 0, 0, 0}, 0},
      {{2007, 3, 5, 9, 4, 2}, 1173085442},
      {{2000, 2, 29, 23, 59, 59}, 951868799},
      {{2038, 1, 19, 3, 14, 8}, 2147483648},  // one past the 32-bit limit
      {{1969, 12, 31, 23, 59, 59}, -1},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DateFromParts(row.parts), row.value) << row.parts.Year;
    const CalendarParts back = PartsOfDate(row.value);
    EXPECT_EQ(back.Year, row.parts.Year);
    EXPECT_EQ(back.Month, row.parts.Month);
    EXPECT_EQ(back.Day, row.parts.Day);
    EXPECT_EQ(back.Hour, row.parts.Hour);
    EXPECT_EQ(back.Minute, row.parts.Minute);
    EXPECT_EQ(back.Second, row.parts.Second);
  }
}

TEST(LocalTime, CalendarValidity) {
  EXPECT_TRUE(IsValidCalendarDate({2024, 2, 29, 0, 0, 0}));
  EXPECT_FALSE(IsValidCalendarDate({2023, 2, 29, 0, 0, 0}));
  EXPECT_FALSE(IsValidCalendarDate({2023, 4, 31, 0, 0, 0}));
  EXPECT_FALSE(IsValidCalendarDate({2023, 1, 1, 24, 0, 0}));
  EXPECT_FALSE(IsValidCalendarDate({2023, 1, 1, 0, 60, 0}));
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
}

TEST(LocalTime, RoundTripThroughTheTimeZone) {
  ::setenv("TZ", "Europe/Berlin", 1);
  ::tzset();
  // 2021-07-01 12:00:00 UTC is 14:00 summer time in Berlin.
  const int64_t local = LocalDateFromUnix(1625140800);
  const CalendarParts p = PartsOfDate(local);
  EXPECT_EQ(p.Hour, 14);
  EXPECT_EQ(UnixFromLocalDate(local), 1625140800);
  ::unsetenv("TZ");
  ::tzset();
}

}  // namespace

namespace {

// The offset cache must give what the system's own conversion gives, also across summer-time
// changes and after the zone is switched.
TEST(LocalTime, MatchesTheSystemAcrossTransitionsAndZoneChanges) {
  const char* zones[] = {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "UTC",
                         "Asia/Kolkata"};
  for (const char* zone : zones) {
    ::setenv("TZ", zone, 1);
    ::tzset();
    // Around the 2021 changes in both hemispheres, minute by minute, and a spread of years.
    std::vector<int64_t> times;
    for (int64_t base : {int64_t{1616893200}, int64_t{1635642000}, int64_t{1617465600},
                         int64_t{1633190400}})
      for (int64_t t = base - 7200; t <= base + 7200; t += 61) times.push_back(t);
    for (int64_t t = 0; t < 4102444800; t += 86399 * 37) times.push_back(t);
    for (const int64_t t : times) {
      const auto tt = static_cast<time_t>(t);
      struct tm local {};
      ASSERT_NE(::localtime_r(&tt, &local), nullptr);
      const int64_t expected =
          DateFromParts({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                         local.tm_min, local.tm_sec});
      ASSERT_EQ(LocalDateFromUnix(t), expected) << zone << " at " << t;
    }
  }
  ::unsetenv("TZ");
  ::tzset();
}

}  // namespace
