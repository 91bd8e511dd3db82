#include "fileops/Dates.h"

#include "platform/FileName.h"
#include "platform/LocalTime.h"
#include "records/Preset.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

// Date arithmetic and conversions must not depend on the machine's zone.
class DatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TZ");
    hadTz_ = old != nullptr;
    if (hadTz_) oldTz_ = old;
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
  void TearDown() override {
    if (hadTz_) {
      ::setenv("TZ", oldTz_.c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  bool hadTz_ = false;
  std::string oldTz_;
};

int64_t D(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return DateFromParts({y, mo, d, h, mi, s});
}

enum Unit { kSecond, kMinute, kHour, kDay, kMonth, kYear };
enum Op { kSet, kAdd, kSubtract };

TEST_F(DatesTest, AdjustDateRows) {
  struct Row {
    const char* Why;
    int64_t Date;
    int Unit;
    int Operation;
    int64_t Amount;
    int64_t Expected;
  };
  const Row rows[] = {
      {"add a second across the year end", D(2020, 12, 31, 23, 59, 59), kSecond, kAdd, 1,
       D(2021, 1, 1)},
      {"subtract minutes across midnight", D(2021, 3, 1, 0, 10), kMinute, kSubtract, 20,
       D(2021, 2, 28, 23, 50)},
      {"add hours", D(2021, 1, 1, 20), kHour, kAdd, 5, D(2021, 1, 2, 1)},
      {"subtract a day across the year start", D(2021, 1, 1, 12), kDay, kSubtract, 1,
       D(2020, 12, 31, 12)},
      {"subtracting a negative amount adds", D(2021, 1, 1), kDay, kSubtract, -2, D(2021, 1, 3)},
      {"31 January + 1 month, common year", D(2021, 1, 31, 8), kMonth, kAdd, 1, D(2021, 2, 28, 8)},
      {"31 January + 1 month, leap year", D(2020, 1, 31), kMonth, kAdd, 1, D(2020, 2, 29)},
      {"31 March - 1 month", D(2021, 3, 31), kMonth, kSubtract, 1, D(2021, 2, 28)},
      {"31 May + 1 month lowers to 30", D(2021, 5, 31), kMonth, kAdd, 1, D(2021, 6, 30)},
      {"month carries into the next year", D(2020, 12, 15), kMonth, kAdd, 1, D(2021, 1, 15)},
      {"month borrows from the previous year", D(2021, 1, 15), kMonth, kSubtract, 1,
       D(2020, 12, 15)},
      {"25 months", D(2021, 1, 15), kMonth, kAdd, 25, D(2023, 2, 15)},
      {"-13 months", D(2021, 1, 15), kMonth, kAdd, -13, D(2019, 12, 15)},
      {"29 February + 1 year is impossible", D(2020, 2, 29), kYear, kAdd, 1, kInvalidDate},
      {"29 February - 1 year is impossible", D(2020, 2, 29), kYear, kSubtract, 1, kInvalidDate},
      {"29 February + 4 years", D(2020, 2, 29, 1, 2, 3), kYear, kAdd, 4, D(2024, 2, 29, 1, 2, 3)},
      {"set year keeps the rest", D(2019, 7, 4, 13, 14, 15), kYear, kSet, 2005,
       D(2005, 7, 4, 13, 14, 15)},
      {"set year onto 29 February of a common year", D(2020, 2, 29), kYear, kSet, 2021,
       kInvalidDate},
      {"set month", D(2021, 3, 15), kMonth, kSet, 11, D(2021, 11, 15)},
      {"set day 31 in a 30-day month", D(2021, 4, 10), kDay, kSet, 31, kInvalidDate},
      {"set day 30 in February", D(2021, 2, 10), kDay, kSet, 30, kInvalidDate},
      {"set day 0", D(2021, 2, 10), kDay, kSet, 0, kInvalidDate},
      {"set hour 24", D(2021, 2, 10), kHour, kSet, 24, kInvalidDate},
      {"set hour 23", D(2021, 2, 10, 5), kHour, kSet, 23, D(2021, 2, 10, 23)},
      {"set minute 60", D(2021, 2, 10), kMinute, kSet, 60, kInvalidDate},
      {"set second 0", D(2021, 2, 10, 1, 2, 3), kSecond, kSet, 0, D(2021, 2, 10, 1, 2)},
      {"set month 13", D(2021, 2, 10), kMonth, kSet, 13, kInvalidDate},
      {"set a negative value", D(2021, 2, 10), kSecond, kSet, -1, kInvalidDate},
      {"the invalid date stays invalid", kInvalidDate, kDay, kAdd, 1, kInvalidDate},
      {"unknown operation leaves the date", D(2021, 2, 10), kDay, 3, 1, D(2021, 2, 10)},
      {"unknown unit leaves the date", D(2021, 2, 10), 6, kAdd, 1, D(2021, 2, 10)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Why);
    EXPECT_EQ(AdjustDate(row.Date, row.Unit, row.Operation, row.Amount), row.Expected);
  }
}

DateAdjustment Rule(int code, int operation, int amount, bool active = true) {
  DateAdjustment rule;
  rule.ItemState = active ? kItemChecked : 0;
  rule.Unit = static_cast<int8_t>(code);
  rule.Operation = static_cast<int8_t>(operation);
  rule.Amount = amount;
  return rule;
}

FileEntry EntryWithDates(int64_t created, int64_t modified, int64_t access) {
  FileEntry entry;
  entry.Created = created;
  entry.Modified = modified;
  entry.LastAccess = access;
  // In UTC the local date value and the Unix time agree; the nanoseconds tell the recorded
  // time from a computed one.
  entry.CreatedTime = {created, 111};
  entry.ModifiedTime = {modified, 222};
  entry.AccessTime = {access, 333};
  return entry;
}

TEST_F(DatesTest, RulesApplyInListOrderToTheDateTheirCodeNames) {
  const int64_t c = D(2019, 7, 4, 13, 14, 15);
  const int64_t m = D(2021, 1, 31, 10);
  const int64_t a = D(2022, 3, 15, 6);
  struct Row {
    const char* Why;
    std::vector<DateAdjustment> Rules;
    int64_t Created, Modified, Access;
  };
  const std::vector<Row> rows = {
      {"code 9 is the modification day", {Rule(9, kAdd, 1)}, c, D(2021, 2, 1, 10), a},
      {"code 10 is the modification month: 31 January + 1 = end of February",
       {Rule(10, kAdd, 1)},
       c,
       D(2021, 2, 28, 10),
       a},
      {"code 17 sets the creation year", {Rule(17, kSet, 2005)}, D(2005, 7, 4, 13, 14, 15), m, a},
      {"code 2 is the access hour", {Rule(2, kSubtract, 7)}, c, m, D(2022, 3, 14, 23)},
      {"set day 1 then subtract a day",
       {Rule(9, kSet, 1), Rule(9, kSubtract, 1)},
       c,
       D(2020, 12, 31, 10),
       a},
      {"inactive rule and unknown code do nothing",
       {Rule(9, kAdd, 1, false), Rule(18, kAdd, 1)},
       c,
       m,
       a},
      {"an impossible date stays impossible through later rules",
       {Rule(16, kSet, 13), Rule(13, kAdd, 5)},
       kInvalidDate,
       m,
       a},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Why);
    Preset settings;
    settings.DateRulesActive = 1;
    settings.DateAdjustments = QList<DateAdjustment>(row.Rules.begin(), row.Rules.end());
    const DatePlan plan =
        ComputeDates(QString(), EntryWithDates(c, m, a), settings, 0, TargetTimes::AsRecorded);
    EXPECT_EQ(plan.Created.Value, row.Created);
    EXPECT_EQ(plan.Modified.Value, row.Modified);
    EXPECT_EQ(plan.LastAccess.Value, row.Access);
    // Only what a rule changed is written; the invalid date never is.
    EXPECT_EQ(plan.Created.Write, row.Created != c && row.Created != kInvalidDate);
    EXPECT_EQ(plan.Modified.Write, row.Modified != m);
    EXPECT_EQ(plan.LastAccess.Write, row.Access != a);
  }
  Preset inactive;
  inactive.DateRulesActive = 0;
  inactive.DateAdjustments = {Rule(9, kAdd, 1)};
  EXPECT_FALSE(
      ComputeDates(QString(), EntryWithDates(c, m, a), inactive, 0, TargetTimes::AsRecorded)
          .AnyWrite());
}

TEST_F(DatesTest, ModesChooseTheDatesAndKeepRecordedResolution) {
  const int64_t c = D(2019, 7, 4);
  const int64_t m = D(2020, 8, 5);
  const int64_t a = D(2021, 9, 6);
  const FileEntry entry = EntryWithDates(c, m, a);

  Preset none;
  const DatePlan renamed = ComputeDates(QString(), entry, none, 0, TargetTimes::AsRecorded);
  EXPECT_FALSE(renamed.AnyWrite()) << "a plain rename kept every time";
  const DatePlan copied = ComputeDates(QString(), entry, none, 0, TargetTimes::Fresh);
  EXPECT_TRUE(copied.Created.Write && copied.Modified.Write && copied.LastAccess.Write);
  EXPECT_EQ(copied.Modified.Time, (FileTime{m, 222}));
  EXPECT_EQ(copied.LastAccess.Time, (FileTime{a, 333}));
  EXPECT_EQ(copied.Created.Time, (FileTime{c, 111}));

  Preset fixed;
  fixed.ChangeDates = 1;
  fixed.DateMode = 1;
  const int64_t day = D(2010, 1, 2, 3, 4, 5);
  const DatePlan f = ComputeDates(QString(), entry, fixed, day, TargetTimes::AsRecorded);
  for (const DateToWrite* d : {&f.Created, &f.Modified, &f.LastAccess}) {
    EXPECT_EQ(d->Value, day);
    EXPECT_TRUE(d->Write);
    EXPECT_EQ(d->Time, (FileTime{day, 0}));
  }

  Preset copy;
  copy.ChangeDates = 1;
  copy.DateMode = 2;
  copy.DateCopySource = kDateModified;
  const DatePlan p = ComputeDates(QString(), entry, copy, 0, TargetTimes::AsRecorded);
  EXPECT_EQ(p.Created.Value, m);
  EXPECT_EQ(p.LastAccess.Value, m);
  EXPECT_EQ(p.LastAccess.Time, (FileTime{m, 222})) << "a copied date keeps its nanoseconds";
  EXPECT_FALSE(p.Modified.Write) << "the source date itself is unchanged";
  EXPECT_TRUE(p.Created.Write && p.LastAccess.Write);

  copy.DateCopySource = kDateLastAccess;
  const DatePlan q = ComputeDates(QString(), entry, copy, 0, TargetTimes::AsRecorded);
  EXPECT_EQ(q.Modified.Value, a);
  EXPECT_FALSE(q.LastAccess.Write);
}

struct stat StatOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st;
}

// The entry as the loader records it.
FileEntry EntryOf(const std::string& path) {
  const struct stat st = StatOf(path);
  FileEntry entry;
  entry.SetPath(DecodeFileName(path));
  entry.ModifiedTime = {st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
  entry.AccessTime = {st.st_atim.tv_sec, st.st_atim.tv_nsec};
  entry.CreatedTime = entry.ModifiedTime;
  entry.Modified = LocalDateFromUnix(st.st_mtim.tv_sec);
  entry.LastAccess = LocalDateFromUnix(st.st_atim.tv_sec);
  entry.Created = entry.Modified;
  return entry;
}

void SetTimes(const std::string& path, timespec access, timespec modified) {
  const timespec times[2] = {access, modified};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST_F(DatesTest, WritesToTheFileKeepNanosecondsAndSkipTheInvalidDate) {
  TempDir dir;
  const std::string path = dir.WriteFile("photo.jpg", "x");
  SetTimes(path, {1600000000, 123456789}, {1500000000, 987654321});
  const FileEntry entry = EntryOf(path);

  // A copy got new times: the recorded ones go back with their full resolution.
  SetTimes(path, {1700000000, 5}, {1700000000, 6});
  Preset none;
  WriteDates(DecodeFileName(path), entry, none, 0, TargetTimes::Fresh);
  EXPECT_EQ(StatOf(path).st_mtim.tv_sec, 1500000000);
  EXPECT_EQ(StatOf(path).st_mtim.tv_nsec, 987654321);
  EXPECT_EQ(StatOf(path).st_atim.tv_sec, 1600000000);
  EXPECT_EQ(StatOf(path).st_atim.tv_nsec, 123456789);

  // One rule on the modification date: only that date is written, as whole seconds.
  Preset oneDay;
  oneDay.DateRulesActive = 1;
  oneDay.DateAdjustments = {Rule(9, kAdd, 1)};
  const DatePlan plan =
      ComputeDates(DecodeFileName(path), entry, oneDay, 0, TargetTimes::AsRecorded);
  EXPECT_FALSE(plan.LastAccess.Write);
  EXPECT_EQ(WriteDatePlan(DecodeFileName(path), plan), 0);
  EXPECT_EQ(StatOf(path).st_mtim.tv_sec, 1500000000 + 86400);
  EXPECT_EQ(StatOf(path).st_mtim.tv_nsec, 0);
  EXPECT_EQ(StatOf(path).st_atim.tv_nsec, 123456789) << "untouched access time not rewritten";

  // 29 February + 1 year is impossible: nothing is written, not even in the copy mode.
  SetTimes(path, {1600000000, 1}, {D(2020, 2, 29, 12), 42});
  const FileEntry leap = EntryOf(path);
  Preset plusYear;
  plusYear.DateRulesActive = 1;
  plusYear.DateAdjustments = {Rule(11, kAdd, 1)};
  const DatePlan leapPlan =
      ComputeDates(DecodeFileName(path), leap, plusYear, 0, TargetTimes::Fresh);
  EXPECT_EQ(leapPlan.Modified.Value, kInvalidDate);
  EXPECT_FALSE(leapPlan.Modified.Write);
  WriteDatePlan(DecodeFileName(path), leapPlan);
  EXPECT_EQ(StatOf(path).st_mtim.tv_sec, D(2020, 2, 29, 12));
  EXPECT_EQ(StatOf(path).st_mtim.tv_nsec, 42);
}

TEST_F(DatesTest, CurrentTimeModeStampsModificationNow) {
  TempDir dir;
  const std::string path = dir.WriteFile("doc.txt", "x");
  SetTimes(path, {1600000000, 7}, {1500000000, 8});
  const FileEntry entry = EntryOf(path);
  Preset now;
  now.ChangeDates = 1;
  now.DateMode = 0;
  const int64_t before = static_cast<int64_t>(::time(nullptr));
  WriteDates(DecodeFileName(path), entry, now, 0, TargetTimes::AsRecorded);
  const int64_t after = static_cast<int64_t>(::time(nullptr));
  EXPECT_GE(StatOf(path).st_mtim.tv_sec, before);
  EXPECT_LE(StatOf(path).st_mtim.tv_sec, after);
  EXPECT_EQ(StatOf(path).st_atim.tv_nsec, 7) << "last access stays the recorded one";
}

TEST_F(DatesTest, LocalDatesAreConvertedThroughTheZone) {
  ::setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
  ::tzset();
  TempDir dir;
  const std::string path = dir.WriteFile("f", "x");
  FileEntry entry = EntryOf(path);
  Preset fixed;
  fixed.ChangeDates = 1;
  fixed.DateMode = 1;
  // 1 July 2021 12:00 local summer time is 16:00 UTC.
  WriteDates(DecodeFileName(path), entry, fixed, D(2021, 7, 1, 12), TargetTimes::AsRecorded);
  EXPECT_EQ(StatOf(path).st_mtim.tv_sec, D(2021, 7, 1, 16));
}

}  // namespace

namespace {

// When summer time ends an hour repeats: its local date values are ambiguous. A recorded time
// written back must stay the very second it was, not the first of the two.
TEST_F(DatesTest, RecordedTimeInTheRepeatedHourIsKept) {
  ::setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
  ::tzset();
  TempDir dir;
  const std::string path = dir.WriteFile("f", "x");
  const time_t secondOneThirty = 1636270200;  // 2021-11-07 01:30 EST, after 01:30 EDT
  SetTimes(path, {secondOneThirty, 0}, {secondOneThirty, 0});
  const FileEntry entry = EntryOf(path);
  SetTimes(path, {1700000000, 0}, {1700000000, 0});
  Preset none;
  WriteDates(DecodeFileName(path), entry, none, 0, TargetTimes::Fresh);
  EXPECT_EQ(StatOf(path).st_mtim.tv_sec, secondOneThirty);
  EXPECT_EQ(StatOf(path).st_atim.tv_sec, secondOneThirty);
}

}  // namespace
