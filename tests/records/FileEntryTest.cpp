#include "records/FileEntry.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <utility>
#include <vector>

namespace {

// An entry with everything a run can add to it after loading.
FileEntry Worked() {
  FileEntry entry;
  entry.Id = 7;
  entry.SetPath(QStringLiteral("/photos/a.jpg"));
  entry.SetCrc32(QStringLiteral("0A1B2C3D"));
  entry.SetMd5(QString(32, QLatin1Char('E')));
  entry.SetSha1(QString(40, QLatin1Char('F')));
  entry.SetContentValue(3, QStringLiteral("Canon"));
  entry.SetContentValue(5, QStringLiteral("2011"));
  entry.SetNewPath(QStringLiteral("/out/a.jpg"));
  return entry;
}

void ExpectWorked(const FileEntry& entry, const char* how) {
  EXPECT_EQ(entry.Id, 7) << how;
  EXPECT_EQ(entry.Path(), QStringLiteral("/photos/a.jpg")) << how;
  EXPECT_EQ(entry.Crc32(), QStringLiteral("0A1B2C3D")) << how;
  EXPECT_EQ(entry.Md5(), QString(32, QLatin1Char('E'))) << how;
  EXPECT_EQ(entry.Sha1(), QString(40, QLatin1Char('F'))) << how;
  EXPECT_EQ(entry.ContentValues().size(), 2) << how;
  EXPECT_EQ(entry.ContentValues().value(3), QStringLiteral("Canon")) << how;
  EXPECT_EQ(entry.ContentValues().value(5), QStringLiteral("2011")) << how;
  EXPECT_EQ(entry.NewPath(), QStringLiteral("/out/a.jpg")) << how;
}

void ExpectBare(const FileEntry& entry, const char* how) {
  EXPECT_TRUE(entry.Crc32().isNull()) << how;
  EXPECT_TRUE(entry.Md5().isNull()) << how;
  EXPECT_TRUE(entry.Sha1().isNull()) << how;
  EXPECT_TRUE(entry.ContentValues().isEmpty()) << how;
  EXPECT_TRUE(entry.NewPath().isNull()) << how;
}

TEST(FileEntry, WhatARunAddsTravelsWithTheEntry) {
  struct Case {
    const char* how;
    std::function<FileEntry(FileEntry&)> take;  // makes the target from the source
    bool sourceKeeps;
  };
  const Case cases[] = {
      {"copied", [](FileEntry& s) { return FileEntry(s); }, true},
      {"copy-assigned over a worked entry",
       [](FileEntry& s) {
         FileEntry t = Worked();
         t.SetCrc32(QStringLiteral("FFFFFFFF"));
         t = s;
         return t;
       },
       true},
      {"copy-assigned to itself",
       [](FileEntry& s) {
         FileEntry& same = s;
         s = same;
         return FileEntry(s);
       },
       true},
      {"moved", [](FileEntry& s) { return FileEntry(std::move(s)); }, false},
      {"move-assigned",
       [](FileEntry& s) {
         FileEntry t;
         t = std::move(s);
         return t;
       },
       false},
  };
  for (const Case& c : cases) {
    FileEntry source = Worked();
    const FileEntry target = c.take(source);
    ExpectWorked(target, c.how);
    if (c.sourceKeeps) ExpectWorked(source, c.how);
  }
}

TEST(FileEntry, CopiesDoNotShareWhatIsSetLater) {
  const FileEntry source = Worked();
  FileEntry copy = source;
  copy.SetCrc32(QStringLiteral("12345678"));
  copy.SetContentValue(3, QStringLiteral("Nikon"));
  copy.SetNewPath(QString());
  ExpectWorked(source, "source after the copy changed");
  EXPECT_EQ(copy.Crc32(), QStringLiteral("12345678"));
  EXPECT_EQ(copy.ContentValues().value(3), QStringLiteral("Nikon"));
  EXPECT_TRUE(copy.NewPath().isNull());

  // An entry without them, assigned over one with them, leaves none behind.
  copy = FileEntry();
  ExpectBare(copy, "assigned a new entry");
  FileEntry other = Worked();
  const FileEntry bare;
  other = bare;
  ExpectBare(other, "copy-assigned a new entry");
}

TEST(FileEntry, EmptyAndNullTextsReadBackAsSet) {
  FileEntry entry;
  ExpectBare(entry, "new");
  entry.SetCrc32(QString());  // nothing to keep
  ExpectBare(entry, "set to a null text");
  entry.SetMd5(QStringLiteral(""));
  EXPECT_TRUE(entry.Md5().isEmpty());
  EXPECT_FALSE(entry.Md5().isNull());  // an empty text is kept as such
  EXPECT_TRUE(entry.Crc32().isNull());
  entry.SetContentValue(9, QString());
  EXPECT_TRUE(entry.ContentValues().contains(9));
}

TEST(FileEntry, PathKeptAsFolderAndNameReadsBackWhole) {
  const QString longPath = QStringLiteral("/deep") + QString(4000, QLatin1Char('d')) +
                           QStringLiteral("/") + QString(255, QLatin1Char('n')) +
                           QStringLiteral(".txt");
  struct Case {
    QString path;
    QString folder;  // what PathFolder() holds
    QString file;    // and FileName()
  };
  const Case cases[] = {
      {QStringLiteral("/photos/a.jpg"), QStringLiteral("/photos/"), QStringLiteral("a.jpg")},
      {QStringLiteral("a.jpg"), QString(), QStringLiteral("a.jpg")},  // no folder at all
      {QStringLiteral("/a.jpg"), QStringLiteral("/"), QStringLiteral("a.jpg")},
      {QStringLiteral("/"), QStringLiteral("/"), QString()},
      {QStringLiteral("/d/sub/"), QStringLiteral("/d/sub/"), QString()},
      {QStringLiteral("/d/x\\y.txt"), QStringLiteral("/d/"), QStringLiteral("x\\y.txt")},
      {QStringLiteral("/d/.hidden"), QStringLiteral("/d/"), QStringLiteral(".hidden")},
      {QStringLiteral("/d/a.tar.gz"), QStringLiteral("/d/"), QStringLiteral("a.tar.gz")},
      {QStringLiteral("/d/..."), QStringLiteral("/d/"), QStringLiteral("...")},
      {longPath, longPath.left(longPath.lastIndexOf(u'/') + 1),
       longPath.mid(longPath.lastIndexOf(u'/') + 1)},
  };
  for (const Case& c : cases) {
    FileEntry entry;
    entry.SetPath(c.path);
    EXPECT_EQ(entry.Path(), c.path);
    EXPECT_EQ(entry.PathFolder(), c.folder) << c.path.left(40).toStdString();
    EXPECT_EQ(entry.FileName(), c.file) << c.path.left(40).toStdString();
    // Set on their own, Directory and Name stay as they were: here never set.
    EXPECT_TRUE(entry.Directory().isEmpty());
    EXPECT_TRUE(entry.Name().isEmpty());
    const FileEntry copy = entry;
    EXPECT_EQ(copy.Path(), c.path);
  }
  FileEntry empty;
  EXPECT_TRUE(empty.Path().isNull());
  empty.SetPath(QStringLiteral(""));
  EXPECT_TRUE(empty.Path().isEmpty());
  EXPECT_FALSE(empty.Path().isNull());  // an empty path is kept as such
}

TEST(FileEntry, LoadedEntryTakesFolderAndStemFromItsLocation) {
  struct Case {
    const char* file;
    const char* name;
  };
  const Case cases[] = {
      {"a.jpg", "a"},         {"a.b.c", "a.b"},
      {".bashrc", ".bashrc"}, {"noext", "noext"},
      {"x\\y.txt", "x\\y"},   {"a.", "a"},
      {"..txt", "."},         {"Caf\xc3\xa9.txt", "Caf\xc3\xa9"},
  };
  const QString folder = QStringLiteral("/photos/2024/");
  for (const Case& c : cases) {
    FileEntry entry;
    entry.SetLocation(folder, QString::fromUtf8(c.file));
    EXPECT_EQ(entry.Path(), folder + QString::fromUtf8(c.file));
    EXPECT_EQ(entry.Directory(), folder);
    EXPECT_EQ(entry.Directory().constData(), folder.constData());  // shared, not copied
    EXPECT_EQ(entry.Name(), QString::fromUtf8(c.name)) << c.file;
    EXPECT_EQ(entry.PathAfterDirectory(), QString::fromUtf8(c.file));
  }
}

TEST(FileEntry, DirectoryAndNameSetOnTheirOwnOutlastAPathChange) {
  FileEntry entry;
  entry.SetLocation(QStringLiteral("/photos/"), QStringLiteral("a.jpg"));
  entry.SetName(QStringLiteral("renamed"));
  EXPECT_EQ(entry.Name(), QStringLiteral("renamed"));
  EXPECT_EQ(entry.Path(), QStringLiteral("/photos/a.jpg"));

  // A new path leaves Directory and Name as they were, as two separate fields would.
  entry.SetPath(QStringLiteral("/elsewhere/b.png"));
  EXPECT_EQ(entry.Path(), QStringLiteral("/elsewhere/b.png"));
  EXPECT_EQ(entry.Directory(), QStringLiteral("/photos/"));
  EXPECT_EQ(entry.Name(), QStringLiteral("renamed"));
  EXPECT_EQ(entry.PathAfterDirectory(), QStringLiteral("re/b.png"));  // Path after 8 chars

  const FileEntry copy = entry;
  EXPECT_EQ(copy.Directory(), QStringLiteral("/photos/"));
  EXPECT_EQ(copy.Name(), QStringLiteral("renamed"));

  // Set back to what the path gives, they follow the path again.
  entry.SetDirectory(QStringLiteral("/elsewhere/"));
  entry.SetName(QStringLiteral("b"));
  entry.SetPath(QStringLiteral("/elsewhere/c.gif"));
  EXPECT_EQ(entry.Directory(), QStringLiteral("/elsewhere/"));
  EXPECT_EQ(entry.Name(), QStringLiteral("b"));  // kept: the path changed, the name did not
  entry.SetLocation(QStringLiteral("/x/"), QStringLiteral("d.txt"));
  EXPECT_EQ(entry.Directory(), QStringLiteral("/x/"));
  EXPECT_EQ(entry.Name(), QStringLiteral("d"));
}

// Entries of one folder share its text however they were made, on whichever thread, and each
// still reads back its own path when folders alternate, when the entry is copied or given a
// new path, and after the thread that made it has ended.
TEST(FileEntry, EntriesOfAFolderShareItsTextAndKeepTheirOwnPaths) {
  const QString folders[] = {QStringLiteral("/a/"), QStringLiteral("/b/sub/"),
                             QStringLiteral("/a/"), QString(), QStringLiteral("")};
  std::vector<FileEntry> made;
  std::vector<QString> expected;
  std::thread worker([&] {
    for (int round = 0; round < 3; ++round) {
      for (const QString& folder : folders) {
        const QString file = QStringLiteral("f%1.txt").arg(made.size());
        FileEntry entry;
        entry.SetLocation(folder, file);
        made.push_back(std::move(entry));
        expected.push_back(folder + file);
      }
    }
  });
  worker.join();  // the thread's own note of the last folder is gone now
  ASSERT_EQ(made.size(), expected.size());
  for (size_t i = 0; i < made.size(); ++i) {
    EXPECT_EQ(made[i].Path(), expected[i]) << i;
    const FileEntry copy = made[i];
    EXPECT_EQ(copy.Path(), expected[i]) << i;
    EXPECT_EQ(copy.PathFolder().isNull(), made[i].PathFolder().isNull()) << i;
  }
  EXPECT_TRUE(made[3].PathFolder().isNull());   // no folder at all
  EXPECT_FALSE(made[4].PathFolder().isNull());  // an empty folder is kept as such
  EXPECT_EQ(made[0].PathFolder().constData(), folders[0].constData());  // the caller's text

  // Paths set whole: consecutive entries of one folder share one text, whatever was between.
  std::vector<FileEntry> set(6);
  const char* paths[] = {"/x/1.jpg", "/x/2.jpg", "/y/3.jpg", "/y/4.jpg", "/x/5.jpg", "/x/6.jpg"};
  for (size_t i = 0; i < set.size(); ++i) set[i].SetPath(QString::fromLatin1(paths[i]));
  for (size_t i = 0; i < set.size(); ++i) EXPECT_EQ(set[i].Path(), QString::fromLatin1(paths[i]));
  EXPECT_EQ(set[0].PathFolder().constData(), set[1].PathFolder().constData());
  EXPECT_EQ(set[2].PathFolder().constData(), set[3].PathFolder().constData());
  EXPECT_EQ(set[4].PathFolder().constData(), set[5].PathFolder().constData());
  EXPECT_NE(set[1].PathFolder().constData(), set[2].PathFolder().constData());

  // A new path moves one entry to another folder and leaves the others where they were.
  set[1].SetPath(QStringLiteral("/z/2.jpg"));
  EXPECT_EQ(set[0].Path(), QStringLiteral("/x/1.jpg"));
  EXPECT_EQ(set[1].Path(), QStringLiteral("/z/2.jpg"));
  set[0] = set[1];
  EXPECT_EQ(set[0].Path(), QStringLiteral("/z/2.jpg"));
  EXPECT_EQ(set[5].Path(), QStringLiteral("/x/6.jpg"));
}

}  // namespace
