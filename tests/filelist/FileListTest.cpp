#include "filelist/FileList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

FileEntry Entry(int32_t id, const QString& path, int64_t size = 0) {
  FileEntry e;
  e.Id = id;
  e.SetPath(path);
  e.Size = size;
  return e;
}

std::vector<int32_t> Ids(const FileList& list) {
  std::vector<int32_t> ids;
  for (const FileEntry& e : list) ids.push_back(e.Id);
  return ids;
}

FileList ListOf(int count) {
  FileList list;
  for (int i = 1; i <= count; ++i) list.Append(Entry(i, QStringLiteral("/d/f%1.txt").arg(i)));
  return list;
}

TEST(FileList, AppendIndexesPathAndIdAndMovesCursor) {
  FileList list;
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.Current, -1);
  list.Append(Entry(5, QStringLiteral("/a/x.txt")));
  list.Append(Entry(9, QStringLiteral("/a/X.TXT")));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Current, 1);
  EXPECT_TRUE(list.ContainsPath(QStringLiteral("/a/x.txt")));
  EXPECT_TRUE(list.ContainsPath(QStringLiteral("/a/X.TXT")));
  EXPECT_FALSE(list.ContainsPath(QStringLiteral("/a/X.txt")));
  ASSERT_NE(list.FindById(9), nullptr);
  EXPECT_EQ(list.FindById(9)->Path(), QStringLiteral("/a/X.TXT"));
  EXPECT_EQ(list.FindById(7), nullptr);
}

TEST(FileList, RemovalKeepsOrderPositionsAndIndexes) {
  struct Row {
    std::vector<int32_t> remove;
    std::vector<int32_t> expected;
  };
  const Row rows[] = {
      {{1}, {2, 3, 4, 5, 6}},   {{6}, {1, 2, 3, 4, 5}},        {{2, 4}, {1, 3, 5, 6}},
      {{6, 5, 4, 3, 2, 1}, {}}, {{3, 99, 3}, {1, 2, 4, 5, 6}},  // unknown and repeated ids change
                                                                // nothing more
  };
  for (const Row& row : rows) {
    FileList list = ListOf(6);
    for (const int32_t id : row.remove) list.RemoveById(id);
    EXPECT_EQ(list.Count(), static_cast<qsizetype>(row.expected.size()));
    EXPECT_EQ(Ids(list), row.expected);
    for (size_t i = 0; i < row.expected.size(); ++i) {
      EXPECT_EQ(list.At(static_cast<qsizetype>(i)).Id, row.expected[i]);
      ASSERT_NE(list.FindById(row.expected[i]), nullptr);
    }
    for (const int32_t id : row.remove) {
      EXPECT_EQ(list.FindById(id), nullptr);
      EXPECT_FALSE(list.ContainsPath(QStringLiteral("/d/f%1.txt").arg(id)));
    }
  }
}

TEST(FileList, RemovedPathCanBeAddedAgainAndBatchRemoval) {
  FileList list = ListOf(5);
  EXPECT_TRUE(list.RemoveById(2));
  EXPECT_FALSE(list.RemoveById(2));
  list.Append(Entry(10, QStringLiteral("/d/f2.txt")));
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{1, 3, 4, 5, 10}));
  EXPECT_EQ(list.Current, 4);
  EXPECT_EQ(list.RemoveByIds({1, 5, 42}), 2);
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{3, 4, 10}));
  EXPECT_EQ(list.FindById(10)->Path(), QStringLiteral("/d/f2.txt"));
  EXPECT_FALSE(list.ContainsPath(QStringLiteral("/d/f1.txt")));
}

TEST(FileList, RemovingMarkedIdsAgreesWithRemovingASetOfThem) {
  // Marks past the list's ids, an id marked twice over a gap, a list with gaps already.
  const std::vector<std::vector<int32_t>> cases = {{},      {1},   {5}, {2, 4}, {1, 2, 3, 4, 5},
                                                   {3, 42}, {0, 6}};
  for (const std::vector<int32_t>& remove : cases) {
    FileList bySet = ListOf(5);
    FileList byMark = ListOf(5);
    bySet.RemoveById(3);
    byMark.RemoveById(3);
    bySet.Current = byMark.Current = 2;
    std::vector<bool> marked(remove.empty() ? 0 : 43, false);
    QSet<int32_t> ids;
    for (const int32_t id : remove) {
      marked[static_cast<size_t>(id)] = true;
      ids.insert(id);
    }
    SCOPED_TRACE(remove.size());
    EXPECT_EQ(byMark.RemoveMarked(marked), bySet.RemoveByIds(ids));
    EXPECT_EQ(Ids(byMark), Ids(bySet));
    EXPECT_EQ(byMark.Current, bySet.Current);
    for (int32_t id = 1; id <= 5; ++id)
      EXPECT_EQ(byMark.ContainsPath(QStringLiteral("/d/f%1.txt").arg(id)),
                bySet.ContainsPath(QStringLiteral("/d/f%1.txt").arg(id)));
  }
}

TEST(FileList, CursorFollowsItsEntry) {
  // The cursor stays on its entry when others go, and moves to the entry that followed a
  // removed current entry.
  FileList list = ListOf(5);
  list.Current = 3;  // id 4
  list.RemoveById(1);
  EXPECT_EQ(list.At(list.Current).Id, 4);
  list.RemoveById(4);
  EXPECT_EQ(list.At(list.Current).Id, 5);
  list.RemoveById(5);
  EXPECT_EQ(list.At(list.Current).Id, 3);  // nothing followed: the new last entry
  list.RemoveByIds({2, 3});
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Current, -1);
}

TEST(FileList, CursorSetBetweenRemovalsIsAPositionInListOrder) {
  // The window walks rows from the last to the first and may move the cursor meanwhile; every
  // reading of At(Current) must name the entry at that position of the list as it is now.
  FileList list = ListOf(8);
  list.RemoveById(2);
  list.RemoveById(3);
  list.Current = 2;  // id 5 in the list 1 4 5 6 7 8
  EXPECT_EQ(list.At(list.Current).Id, 5);
  list.RemoveById(8);
  list.RemoveById(1);
  EXPECT_EQ(list.At(list.Current).Id, 5);
  list.Current = 0;
  list.RemoveById(6);
  EXPECT_EQ(list.At(list.Current).Id, 4);
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{4, 5, 7}));
}

TEST(FileList, ReorderAppliesPermutationAndRejectsOthers) {
  FileList list = ListOf(5);
  list.Current = 1;  // id 2
  EXPECT_TRUE(list.Reorder({4, 2, 0, 1, 3}));
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{5, 3, 1, 2, 4}));
  EXPECT_EQ(list.At(list.Current).Id, 2);
  EXPECT_EQ(list.FindById(1)->Path(), QStringLiteral("/d/f1.txt"));
  EXPECT_FALSE(list.Reorder({0, 0, 1, 2, 3}));
  EXPECT_FALSE(list.Reorder({0, 1, 2}));
  EXPECT_FALSE(list.Reorder({0, 1, 2, 3, 5}));
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{5, 3, 1, 2, 4}));
}

TEST(FileList, LookupSurvivesReorderingThroughIterators) {
  FileList list = ListOf(4);
  ASSERT_NE(list.FindById(1), nullptr);  // builds the id index
  std::swap(*list.begin(), *(list.begin() + 3));
  ASSERT_NE(list.FindById(1), nullptr);
  EXPECT_EQ(list.FindById(1)->Path(), QStringLiteral("/d/f1.txt"));
  EXPECT_EQ(list.FindById(4)->Path(), QStringLiteral("/d/f4.txt"));
}

TEST(FileList, ClearEmptiesEverything) {
  FileList list = ListOf(3);
  list.RemoveById(2);
  list.Clear();
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.Current, -1);
  EXPECT_FALSE(list.ContainsPath(QStringLiteral("/d/f1.txt")));
  EXPECT_EQ(list.FindById(1), nullptr);
  EXPECT_EQ(list.begin(), list.end());
}

}  // namespace
