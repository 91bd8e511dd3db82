#include "fileops/DiskLookup.h"

#include "platform/FileName.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// A folder read whole answers every question as the disk does, name by name: files, folders,
// links (followed for the kind, not for existence), and names in folders that are not there.
TEST(FolderSnapshots, AnswerAsTheDiskDoes) {
  TempDir dir;
  dir.WriteFile("f/file.txt", "x");
  dir.WriteFile("f/other.TXT", "x");
  dir.MakeDir("f/sub");
  dir.WriteFile("f/sub/inner.txt", "x");
  dir.WriteFile("target.txt", "x");
  ASSERT_EQ(::symlink((dir.Bytes() + "target.txt").c_str(), (dir.Bytes() + "f/link").c_str()), 0);
  ASSERT_EQ(::symlink((dir.Bytes() + "f/sub").c_str(), (dir.Bytes() + "f/folderlink").c_str()), 0);
  ASSERT_EQ(::symlink((dir.Bytes() + "nothing").c_str(), (dir.Bytes() + "f/dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo((dir.Bytes() + "f/fifo").c_str(), 0600), 0);
  dir.WriteFile("f/name\xff\xfe.txt", "x");  // not UTF-8

  const std::vector<std::string> names = {
      "f/file.txt", "f/other.TXT", "f/other.txt", "f/sub", "f/link", "f/folderlink",
      "f/dangling", "f/fifo", "f/missing", "f/name\xff\xfe.txt", "f/name.txt",
      "f/sub/deeper", "nofolder/x.txt", "f/file.txt/x",
      // Asked right after names of "f/": a name further down is not one of "f/".
      "f/sub/inner.txt", "f/file.txt", "f//file.txt", "f/sub/inner.txt"};
  FolderSnapshots snapshots;
  DirectLookup direct;
  // Twice over: the first questions go to the disk, then the folder is read.
  for (int round = 0; round < 3; ++round) {
    for (const std::string& name : names) {
      SCOPED_TRACE(name + " round " + std::to_string(round));
      const QString path = DecodeFileName(dir.Bytes() + name);
      EXPECT_EQ(snapshots.Exists(path), direct.Exists(path));
      EXPECT_EQ(snapshots.Kind(path), direct.Kind(path));
    }
  }
  EXPECT_GE(snapshots.FoldersRead(), 1) << "the folder asked about most was read";
}

TEST(FolderSnapshots, AFolderIsReadOnlyWhenAskedAboutOften) {
  TempDir dir;
  dir.WriteFile("f/a.txt");
  FolderSnapshots snapshots;
  for (int i = 1; i < FolderSnapshots::kListAfter; ++i)
    EXPECT_TRUE(snapshots.Exists(dir.Path() + "f/a.txt"));
  EXPECT_EQ(snapshots.FoldersRead(), 0);
  // Read now; a file made afterwards is not seen: the answers are of the folder as it was read.
  EXPECT_FALSE(snapshots.Exists(dir.Path() + "f/b.txt"));
  EXPECT_EQ(snapshots.FoldersRead(), 1);
  dir.WriteFile("f/b.txt");
  EXPECT_FALSE(snapshots.Exists(dir.Path() + "f/b.txt"));
  EXPECT_TRUE(snapshots.Exists(dir.Path() + "f/a.txt"));
  // A folder that is not there holds nothing, also once it is made.
  for (int i = 0; i < FolderSnapshots::kListAfter; ++i)
    EXPECT_FALSE(snapshots.Exists(dir.Path() + "new/x.txt"));
  dir.WriteFile("new/x.txt");
  EXPECT_FALSE(snapshots.Exists(dir.Path() + "new/x.txt"));
  EXPECT_EQ(snapshots.FoldersRead(), 2);
}

}  // namespace
