// The list's indexes at sizes where their tables grow and their probe runs meet: paths, files
// (device and inode) and ids, through removal, re-adding, reordering and copies.
#include "filelist/FileList.h"
#include "filelist/Loader.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <utility>
#include <vector>

namespace {

// Many files in few folders, as a photo collection lists them.
QString PathOf(int i) {
  return QStringLiteral("/photos/%1/IMG_%2.JPG").arg(i % 3).arg(i);
}

FileEntry Entry(int32_t id, int i) {
  FileEntry e;
  e.Id = id;
  e.SetPath(PathOf(i));
  e.Device = 7;
  e.Inode = static_cast<uint64_t>(1000 + i);
  return e;
}

constexpr int kMany = 5000;  // several growths of the tables, and four chunks of entries

FileList ManyEntries() {
  FileList list;
  for (int i = 0; i < kMany; ++i) list.Append(Entry(i + 1, i));
  return list;
}

// Every entry of the list is found by path, by file and by id, and names itself.
void ExpectAllFound(const FileList& list) {
  for (const FileEntry& e : list) {
    ASSERT_EQ(list.IdOfPath(e.Path()), e.Id) << e.Path().toStdString();
    ASSERT_TRUE(list.ContainsFile(e.Device, e.Inode)) << e.Path().toStdString();
    const FileEntry* found = list.FindById(e.Id);
    ASSERT_NE(found, nullptr) << e.Id;
    ASSERT_EQ(found->Path(), e.Path());
  }
}

TEST(FileListIndex, ManyEntriesAreFoundAndOthersNot) {
  const FileList list = ManyEntries();
  ASSERT_EQ(list.Count(), kMany);
  ExpectAllFound(list);
  for (const int i : {kMany, kMany + 1, 2 * kMany}) {
    EXPECT_FALSE(list.ContainsPath(PathOf(i)));
    EXPECT_FALSE(list.ContainsFile(7, static_cast<uint64_t>(1000 + i)));
  }
  // Same name in another folder, another case, a prefix: other paths.
  EXPECT_FALSE(list.ContainsPath(QStringLiteral("/photos/2/IMG_1.JPG")));
  EXPECT_FALSE(list.ContainsPath(QStringLiteral("/photos/1/img_1.jpg")));
  EXPECT_FALSE(list.ContainsPath(QStringLiteral("/photos/1/IMG_1.JP")));
  EXPECT_FALSE(list.ContainsFile(8, 1001));
  EXPECT_FALSE(list.ContainsFile(0, 0));
  EXPECT_EQ(list.FindById(kMany + 1), nullptr);
  EXPECT_EQ(list.FindById(0), nullptr);
  EXPECT_EQ(list.FindById(-5), nullptr);
}

TEST(FileListIndex, RemovedEntriesLeaveEveryIndexAndMayComeBack) {
  // Removing every n-th entry takes slots out of the middle of probe runs: what stays must
  // still be found, what went must not, and each may be added again under a new id.
  for (const int step : {2, 3, 7}) {
    FileList list = ManyEntries();
    QSet<int32_t> gone;
    for (int i = 0; i < kMany; i += step) gone.insert(i + 1);
    // Half one by one, half in one batch.
    QSet<int32_t> batch;
    for (const int32_t id : gone) {
      if (id % 2 == 0)
        EXPECT_TRUE(list.RemoveById(id));
      else
        batch.insert(id);
    }
    EXPECT_EQ(list.RemoveByIds(batch), batch.size());
    EXPECT_EQ(list.Count(), kMany - gone.size());
    for (const int32_t id : gone) {
      const int i = id - 1;
      EXPECT_FALSE(list.ContainsPath(PathOf(i))) << step << " " << i;
      EXPECT_FALSE(list.ContainsFile(7, static_cast<uint64_t>(1000 + i)));
      EXPECT_EQ(list.FindById(id), nullptr);
      EXPECT_FALSE(list.RemoveById(id));
    }
    ExpectAllFound(list);

    int32_t next = kMany + 1;
    for (const int32_t id : gone) list.Append(Entry(next++, id - 1));
    EXPECT_EQ(list.Count(), kMany);
    ExpectAllFound(list);
  }
}

TEST(FileListIndex, MarkedEntriesLeaveEveryIndexWhateverTheirShare) {
  // A few marked entries leave the indexes one by one, a large share in one sweep of the
  // tables; either way what stays is found, what went is not and may come back, and the cursor
  // keeps to its entry.
  struct Row {
    const char* what;
    std::function<bool(int)> gone;  // by position in the full list
    int start;                      // where the cursor stands before
    int expected;                   // the position (in the full list) of its entry after
  };
  const Row rows[] = {
      {"every second", [](int i) { return i % 2 == 0; }, 0, 1},
      {"every third, the cursor on one that stays", [](int i) { return i % 3 == 0; }, 2501, 2501},
      {"every second block of 100", [](int i) { return i / 100 % 2 == 0; }, 50, 100},
      {"all but the last", [](int i) { return i != kMany - 1; }, 0, kMany - 1},
      {"all", [](int) { return true; }, 10, -1},
      {"a few, the cursor's own among them", [](int i) { return i % 997 == 3; }, 3, 4},
      {"the last ones, the cursor's among them", [](int i) { return i >= kMany - 300; }, kMany - 1,
       kMany - 301},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FileList list = ManyEntries();
    list.Current = row.start;
    std::vector<bool> marked(kMany + 1, false);
    int goneCount = 0;
    for (int i = 0; i < kMany; ++i) {
      if (!row.gone(i)) continue;
      marked[static_cast<size_t>(i + 1)] = true;
      ++goneCount;
    }
    ASSERT_EQ(list.RemoveMarked(marked), goneCount);
    ASSERT_EQ(list.Count(), kMany - goneCount);
    if (row.expected < 0)
      EXPECT_EQ(list.Current, -1);
    else
      EXPECT_EQ(list.At(list.Current).Path(), PathOf(row.expected));
    for (int i = 0; i < kMany; ++i) {
      if (!row.gone(i)) continue;
      ASSERT_FALSE(list.ContainsPath(PathOf(i))) << i;
      ASSERT_FALSE(list.ContainsFile(7, static_cast<uint64_t>(1000 + i))) << i;
      ASSERT_EQ(list.FindById(i + 1), nullptr) << i;
    }
    ExpectAllFound(list);
    int32_t next = kMany + 1;
    for (int i = 0; i < kMany; ++i)
      if (row.gone(i)) list.Append(Entry(next++, i));
    ASSERT_EQ(list.Count(), kMany);
    ExpectAllFound(list);
    EXPECT_EQ(list.RemoveMarked(marked), 0);  // those ids are gone already
  }
}

TEST(FileListIndex, IdsFoundWhateverTheirOrder) {
  struct Row {
    const char* what;
    std::function<void(FileList&)> change;
  };
  const Row rows[] = {
      {"appended in falling order",
       [](FileList& list) {
         list.Clear();
         for (int i = 0; i < kMany; ++i) list.Append(Entry(kMany - i, i));
       }},
      {"reversed",
       [](FileList& list) {
         std::vector<qsizetype> order;
         for (qsizetype i = list.Count() - 1; i >= 0; --i) order.push_back(i);
         ASSERT_TRUE(list.Reorder(order));
       }},
      {"swapped through references after a lookup",
       [](FileList& list) {
         ASSERT_NE(list.FindById(1), nullptr);
         std::swap(list.At(0), list.At(kMany - 1));
         std::swap(*(list.begin() + 10), *(list.begin() + 4000));
       }},
      {"copied",
       [](FileList& list) {
         list.RemoveById(17);
         const FileList copy = list;
         list = copy;
       }},
      {"moved",
       [](FileList& list) {
         FileList moved = std::move(list);
         list = std::move(moved);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FileList list = ManyEntries();
    row.change(list);
    ExpectAllFound(list);
    for (qsizetype pos = 0; pos < list.Count(); pos += 97)
      EXPECT_EQ(list.FindById(list.At(pos).Id), &list.At(pos));
    EXPECT_EQ(list.FindById(kMany + 1), nullptr);
  }
}

TEST(FileListIndex, EntriesStayInPlaceWhileAppended) {
  FileList list;
  list.Append(Entry(1, 0));
  const FileEntry* first = &list.At(0);
  for (int i = 1; i < kMany; ++i) list.Append(Entry(i + 1, i));
  EXPECT_EQ(&list.At(0), first);
  EXPECT_EQ(first->Path(), PathOf(0));
  EXPECT_EQ(list.end() - list.begin(), kMany);
  EXPECT_EQ(list.At(kMany - 1).Path(), PathOf(kMany - 1));
}

TEST(FileListIndex, AdmissionRefusesWhatIsLoadedAndTakesItBackAfterRemoval) {
  TempDir dir;
  const std::string file = dir.WriteFile("a/photo.jpg");
  const std::string link = dir.Bytes() + "b/photo.jpg";
  dir.MakeDir("b");
  ASSERT_EQ(::link(file.c_str(), link.c_str()), 0);
  const QString filePath = QString::fromStdString(file);
  const QString linkPath = QString::fromStdString(link);
  Preset settings;

  FileList list;
  EXPECT_EQ(AdmitFile(filePath, list, settings), 1);
  EXPECT_EQ(AdmitFile(filePath, list, settings), 0);  // the same path
  EXPECT_EQ(AdmitFile(linkPath, list, settings), 0);  // the same file under another name
  ASSERT_EQ(list.Count(), 1);
  ASSERT_TRUE(list.RemoveById(list.At(0).Id));
  EXPECT_EQ(AdmitFile(linkPath, list, settings), 1);
  EXPECT_EQ(AdmitFile(filePath, list, settings), 0);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.At(0).Path(), linkPath);
}

TEST(FileListIndex, EntriesKeepWhatARunAddedThroughGrowthCopyAndRemoval) {
  FileList list;
  for (int32_t i = 1; i <= 3000; ++i) {
    FileEntry entry;
    entry.Id = i;
    entry.SetPath(QStringLiteral("/d/%1.txt").arg(i));
    if (i % 3 == 0) entry.SetCrc32(QStringLiteral("%1").arg(i, 8, 16, QLatin1Char('0')));
    list.Append(std::move(entry));
  }
  list.RemoveById(1);
  FileList copy = list;
  for (const FileList* l : {&list, &copy}) {
    ASSERT_EQ(l->Count(), 2999);
    for (const FileEntry& entry : *l) {
      if (entry.Id % 3 == 0)
        EXPECT_EQ(entry.Crc32(), QStringLiteral("%1").arg(entry.Id, 8, 16, QLatin1Char('0')));
      else
        EXPECT_TRUE(entry.Crc32().isEmpty()) << entry.Id;
    }
  }
}

TEST(FileListIndex, PathsFoundHoweverTheEntryCutsThem) {
  // An entry keeps its path as folder and file name; a lookup has it whole. Every cut of
  // these paths must hash and compare as the whole path.
  const QString paths[] = {
      QStringLiteral("/d/x\\y.txt"),
      QStringLiteral("b.txt"),
      QStringLiteral("/a.jpg"),
      QStringLiteral("/photos/2024/Holiday Caf\u00e9 \u65e5\u672c.jpeg"),
      QStringLiteral("/") + QString(300, QLatin1Char('p')) + QStringLiteral("/q.txt"),
  };
  for (const QString& path : paths) {
    for (qsizetype cut = 0; cut <= path.size(); ++cut) {
      FileList list;
      FileEntry entry;
      entry.Id = 1;
      entry.SetLocation(path.left(cut), path.mid(cut));
      list.Append(std::move(entry));
      ASSERT_EQ(list.IdOfPath(path), 1) << path.left(40).toStdString() << " cut at " << cut;
      EXPECT_EQ(list.IdOfPath(path + QStringLiteral("x")), 0);
      EXPECT_EQ(list.IdOfPath(path.left(path.size() - 1)), 0);
      FileEntry again;
      again.Id = 2;
      again.SetPath(path);
      list.Append(std::move(again));  // the same path, cut where the path cuts it
      EXPECT_EQ(list.IdOfPath(path), 2) << "the entry appended last";
      list.RemoveById(2);
      EXPECT_EQ(list.IdOfPath(path), 0);
    }
  }
}

}  // namespace
