#include "platform/LocalTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

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
