#include "filelist/Loader.h"
#include "filelist/Prepare.h"

#include "platform/FileName.h"
#include "platform/LocalTime.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

FilterCondition Condition(int kind, int op, const char* values, int mode, bool active = true) {
  FilterCondition c;
  c.ItemState = active ? kItemChecked : kItemSelected;
  c.Kind = static_cast<int8_t>(kind);
  c.Operator = static_cast<int8_t>(op);
  c.Values = QString::fromUtf8(values);
  c.Mode = static_cast<int8_t>(mode);
  return c;
}

std::vector<int32_t> Ids(const FileList& list) {
  std::vector<int32_t> ids;
  for (const FileEntry& e : list) ids.push_back(e.Id);
  return ids;
}

TEST(Prepare, ReadConditionNumberTable) {
  struct Row {
    const char* text;
    int32_t expected;
  };
  const Row rows[] = {
      {"", 0},
      {"42", 42},
      {" \t-17", -17},
      {"+8", 8},
      {"$ff", 255},
      {"$FF", 255},
      {"-$10", -16},
      {"12abc", 12},
      {"abc", 0},
      {"$", 0},
      {"4294967297", 1},
      {"$FFFFFFFF", -1},
      {"2147483648", INT32_MIN},
      {" 5 6", 5},
      {"--5", 0},
      {"$1g", 1},
      {"0x10", 0},
      {"\xd9\xa1\xd9\xa2", 0},  // Arabic-Indic digits
      {"\n5", 0},
      {"007", 7},
  };
  for (const Row& row : rows)
    EXPECT_EQ(ReadConditionNumber(QString::fromUtf8(row.text)), row.expected) << row.text;
}

TEST(Prepare, ConditionIsValidTable) {
  struct Row {
    int kind;
    const char* values;
    bool valid;
  };
  const Row rows[] = {
      {0, "", false},     {0, "x", true},     {1, "", false},         {2, "jpg", true},
      {3, "0", false},    {3, "1", true},     {3, "999999999", true}, {3, "1000000000", false},
      {3, "-1", false},   {3, "abc", false},  {4, "0", true},         {4, "59", true},
      {4, "60", false},   {5, "-1", false},   {6, "23", true},        {6, "24", false},
      {7, "0", false},    {7, "31", true},    {7, "32", false},       {8, "12", true},
      {8, "13", false},   {9, "1969", false}, {9, "1970", true},      {9, "2037", true},
      {9, "2038", false}, {12, "", true},     {14, "anything", true},
  };
  for (const Row& row : rows) {
    const int mode = row.kind <= 2 ? 2 : 1;
    EXPECT_EQ(ConditionIsValid(Condition(row.kind, 0, row.values, mode)), row.valid)
        << row.kind << " " << row.values;
    // Validity does not depend on the tick.
    EXPECT_EQ(ConditionIsValid(Condition(row.kind, 0, row.values, mode, false)), row.valid);
  }
}

FileEntry Sample() {
  FileEntry e;
  e.Id = 1;
  e.SetPath(QStringLiteral("/photos/2024/Holiday.JPG"));
  e.SetDirectory(QStringLiteral("/photos/2024/"));
  e.SetName(QStringLiteral("Holiday"));
  e.Size = 3000;  // 2 whole KB
  e.Modified = DateFromParts({2021, 7, 14, 13, 45, 30});
  e.LastAccess = DateFromParts({2022, 1, 2, 3, 4, 5});
  e.Created = DateFromParts({2020, 12, 31, 23, 59, 58});
  return e;
}

TEST(Prepare, ConditionKindsAndOperators) {
  struct Row {
    int kind;
    int op;
    const char* values;
    int mode;
    int dateSource;
    bool met;
  };
  const Row rows[] = {
      // Extension, case ignored by 0..3 and significant by 4..7.
      {2, 0, "jpg|png", 2, 1, true},
      {2, 4, "jpg|png", 2, 1, false},
      {2, 4, "JPG", 2, 1, true},
      {2, 1, "jpg|png", 2, 1, false},
      {2, 5, "jpg|png", 2, 1, true},
      {2, 0, "j*", 2, 1, true},
      {2, 0, "jp", 2, 1, false},  // the whole text must match
      // Name: contained or not.
      {1, 2, "LID", 2, 1, true},
      {1, 3, "lid", 2, 1, false},
      {1, 6, "Lid", 2, 1, false},
      {1, 7, "Lid", 2, 1, true},
      {1, 6, "xyz|lid", 2, 1, true},
      {1, 0, "h?liday", 2, 1, true},
      {1, 4, "h*", 2, 1, false},
      {1, 0, "H*DAY", 2, 1, true},
      // Directory.
      {0, 2, "2024", 2, 1, true},
      {0, 0, "/photos/####/", 2, 1, true},
      {0, 0, "/photos/###/", 2, 1, false},
      // Size in whole KB: 3000 bytes is 2.
      {3, 0, "2", 1, 1, true},
      {3, 1, "2", 1, 1, false},
      {3, 2, "3", 1, 1, true},
      {3, 2, "2", 1, 1, false},
      {3, 3, "1", 1, 1, true},
      {3, 3, "2", 1, 1, false},
      {3, 0, "$2", 1, 1, true},
      {3, 0, " +2KB", 1, 1, true},
      {3, 4, "2", 1, 1, false},
      {3, 7, "2", 1, 1, false},
      // Parts of the modified date 2021-07-14 13:45:30.
      {4, 0, "30", 1, 1, true},
      {5, 0, "45", 1, 1, true},
      {6, 0, "13", 1, 1, true},
      {7, 0, "14", 1, 1, true},
      {8, 0, "7", 1, 1, true},
      {9, 0, "2021", 1, 1, true},
      {9, 2, "2021", 1, 1, false},
      // The other date sources.
      {9, 0, "2022", 1, 0, true},
      {4, 0, "5", 1, 0, true},
      {9, 0, "2020", 1, 2, true},
      {8, 0, "12", 1, 2, true},
      // Kinds without a property and modes that do not fit are never met, whatever the
      // operator (a "not equal" would otherwise be met by anything).
      {10, 1, "1", 1, 1, false},
      {14, 5, "x", 2, 1, false},
      {12, 3, "-5", 1, 1, false},
      {3, 1, "x", 2, 1, false},
      {3, 5, "x", 2, 1, false},
      {1, 1, "5", 1, 1, false},
      {1, 0, "Holiday", 0, 1, false},
      {1, 0, "Holiday", 3, 1, false},
  };
  const FileEntry entry = Sample();
  for (const Row& row : rows) {
    EXPECT_EQ(
        ConditionIsMet(Condition(row.kind, row.op, row.values, row.mode), entry, row.dateSource),
        row.met)
        << "kind " << row.kind << " op " << row.op << " values " << row.values;
  }
}

// A loaded folder of real files for the preparation pass.
struct Loaded {
  TempDir dir;
  FileList list;
  FileList followUp;
  Preset settings;
  RunFlags flags;

  explicit Loaded(const std::vector<std::pair<std::string, size_t>>& files) {
    for (const auto& [name, size] : files) dir.WriteFile(name, std::string(size, 'x'));
    LoadFlags loadFlags;
    LoadPaths(dir.Path(), list, settings, loadFlags);
    settings.FilterActive = 1;
  }
  std::vector<std::string> Names(const FileList& l) const {
    std::vector<std::string> names;
    for (const FileEntry& e : l) names.push_back(EncodeFileName(e.Name()).toStdString());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST(Prepare, FilterTakesOutMatchesOfAnyTickedCondition) {
  Loaded l({{"a.jpg", 100}, {"b.png", 2000}, {"c.txt", 5000}, {"d.JPG", 10}, {"e.doc", 3000}});
  l.settings.FilterConditions = {
      Condition(2, 0, "jpg|png", 2),
      Condition(3, 3, "1", 1, false),  // not ticked: would take out everything over 1 KB
      Condition(1, 4, "e", 2),
  };
  EXPECT_EQ(PrepareList(l.list, l.followUp, l.settings, l.flags), 4);
  EXPECT_EQ(l.Names(l.list), std::vector<std::string>{"c"});
  EXPECT_TRUE(l.followUp.IsEmpty());
}

TEST(Prepare, KeptFilteredFilesReturnWithNewIds) {
  Loaded l({{"a.jpg", 1}, {"b.txt", 1}, {"c.jpg", 1}});
  l.settings.FilterConditions = {Condition(2, 0, "jpg", 2)};
  l.settings.ListKeepFiltered = 1;
  int32_t highest = 0;
  for (const FileEntry& e : l.list) highest = std::max(highest, e.Id);
  EXPECT_EQ(PrepareList(l.list, l.followUp, l.settings, l.flags), 2);
  EXPECT_EQ(l.Names(l.followUp), (std::vector<std::string>{"a", "c"}));
  for (const FileEntry& e : l.followUp) EXPECT_GT(e.Id, highest);

  // Not when the program quits after the run: nobody would see the list.
  Loaded q({{"a.jpg", 1}});
  q.settings.FilterConditions = {Condition(2, 0, "jpg", 2)};
  q.settings.ListKeepFiltered = 1;
  q.settings.QuitAfterRun = 1;
  PrepareList(q.list, q.followUp, q.settings, q.flags);
  EXPECT_TRUE(q.list.IsEmpty());
  EXPECT_TRUE(q.followUp.IsEmpty());
}

TEST(Prepare, ProcessedEntriesAndInactiveFilterStay) {
  Loaded l({{"a.jpg", 1}, {"b.jpg", 1}});
  l.settings.FilterConditions = {Condition(2, 0, "jpg", 2)};
  l.list.At(0).Status = kStatusDone;
  EXPECT_EQ(PrepareList(l.list, l.followUp, l.settings, l.flags), 1);
  ASSERT_EQ(l.list.Count(), 1);
  EXPECT_EQ(l.list.At(0).Status, kStatusDone);

  Loaded off({{"a.jpg", 1}});
  off.settings.FilterConditions = {Condition(2, 0, "jpg", 2)};
  off.settings.FilterActive = 0;
  EXPECT_EQ(PrepareList(off.list, off.followUp, off.settings, off.flags), 0);
  EXPECT_EQ(off.list.Count(), 1);
}

TEST(Prepare, SingleFileRunMarksOnlyTheCurrentEntry) {
  Loaded l({{"a.jpg", 1}, {"b.jpg", 1}, {"c.jpg", 1}});
  l.settings.FilterConditions = {Condition(2, 0, "jpg", 2)};
  l.settings.SortActive = 1;
  l.settings.SortKey = 1;
  l.settings.SortDirection = 0;
  l.flags.RunSingle = 1;
  l.flags.RunCancelled = 1;  // a test run examines one entry only
  l.list.Current = 1;
  const std::vector<int32_t> before = Ids(l.list);
  EXPECT_EQ(PrepareList(l.list, l.followUp, l.settings, l.flags), 1);
  EXPECT_EQ(Ids(l.list), before);  // nothing taken out, nothing sorted
  EXPECT_EQ(l.list.At(0).Detail, 0);
  EXPECT_EQ(l.list.At(1).Detail, 1);
  EXPECT_EQ(l.list.At(2).Detail, 0);
}

TEST(Prepare, CancelledRunNeitherFiltersNorSorts) {
  Loaded l({{"a.jpg", 1}, {"b.jpg", 1}, {"c.txt", 1}});
  l.settings.FilterConditions = {Condition(2, 0, "jpg", 2)};
  l.settings.SortActive = 1;
  l.settings.SortKey = 2;
  l.settings.SortDirection = 0;
  l.flags.RunCancelled = 1;
  const std::vector<int32_t> before = Ids(l.list);
  EXPECT_EQ(PrepareList(l.list, l.followUp, l.settings, l.flags), 0);
  EXPECT_EQ(Ids(l.list), before);
}

FileEntry Keyed(int32_t id, const char* name, const char* path, int64_t size, int64_t access,
                int64_t modified, int64_t created) {
  FileEntry e;
  e.Id = id;
  e.SetName(QString::fromUtf8(name));
  e.SetPath(QString::fromUtf8(path));
  e.Size = size;
  e.LastAccess = access;
  e.Modified = modified;
  e.Created = created;
  return e;
}

TEST(Prepare, StableSortOnEveryKeyBothWays) {
  struct Row {
    int key;
    int direction;
    std::vector<int32_t> expected;
  };
  const Row rows[] = {
      {1, 1, {2, 3, 5, 1, 4}},  // "B" before "a": case significant
      {1, 0, {1, 4, 3, 5, 2}}, {2, 1, {5, 3, 2, 4, 1}}, {2, 0, {1, 4, 2, 3, 5}},
      {3, 1, {4, 1, 3, 2, 5}}, {3, 0, {2, 5, 1, 3, 4}}, {4, 1, {2, 4, 3, 1, 5}},
      {4, 0, {1, 5, 3, 2, 4}}, {5, 1, {3, 5, 1, 2, 4}}, {5, 0, {4, 1, 2, 3, 5}},
      {6, 1, {5, 1, 2, 4, 3}}, {6, 0, {3, 1, 2, 4, 5}},
  };
  for (const Row& row : rows) {
    FileList list;
    list.Append(Keyed(1, "b", "/x/b.txt", 10, 300, 100, 5));
    list.Append(Keyed(2, "B", "/x/B.txt", 20, 100, 100, 5));
    list.Append(Keyed(3, "a", "/a/a.txt", 10, 200, 50, 9));
    list.Append(Keyed(4, "b", "/x/b.dat", 5, 100, 200, 5));
    list.Append(Keyed(5, "a", "/a/a.bin", 20, 300, 50, 1));
    FileList followUp;
    Preset settings;
    settings.SortActive = 1;
    settings.SortKey = static_cast<int8_t>(row.key);
    settings.SortDirection = static_cast<int8_t>(row.direction);
    RunFlags flags;
    PrepareList(list, followUp, settings, flags);
    EXPECT_EQ(Ids(list), row.expected) << "key " << row.key << " direction " << row.direction;
  }
}

TEST(Prepare, LongListSortKeepsTiesInOrder) {
  // Long enough that an unstable sort would reorder equal keys.
  for (const int direction : {0, 1}) {
    FileList list;
    for (int32_t id = 1; id <= 300; ++id)
      list.Append(Keyed(id, "n", qPrintable(QStringLiteral("/p/%1").arg(id)), id % 3, 0, 0, 0));
    SortList(list, 3, direction == 1);
    for (qsizetype i = 1; i < list.Count(); ++i) {
      const FileEntry& a = list.At(i - 1);
      const FileEntry& b = list.At(i);
      if (a.Size == b.Size)
        EXPECT_LT(a.Id, b.Id);
      else
        EXPECT_EQ(a.Size < b.Size, direction == 1);
    }
    EXPECT_NE(list.FindById(150), nullptr);
  }
}

TEST(Prepare, RandomOrderIsAShuffle) {
  FileList list;
  for (int32_t id = 1; id <= 60; ++id)
    list.Append(Keyed(id, "n", qPrintable(QStringLiteral("/p/%1").arg(id)), 0, 0, 0, 0));
  std::vector<int32_t> original = Ids(list);
  bool changed = false;
  for (int run = 0; run < 3; ++run) {
    SortList(list, 0, true);
    std::vector<int32_t> now = Ids(list);
    changed = changed || now != original;
    std::sort(now.begin(), now.end());
    EXPECT_EQ(now, original);
  }
  EXPECT_TRUE(changed);
  for (int32_t id = 1; id <= 60; ++id)
    EXPECT_EQ(list.FindById(id)->Path(), QStringLiteral("/p/%1").arg(id));
}

}  // namespace
