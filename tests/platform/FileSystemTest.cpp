#include "platform/FileSystem.h"

#include "support/TempDir.h"
#include "support/Texts.h"

#include <gtest/gtest.h>

#include <QString>

namespace {

TEST(CreateDirectoryPath, CreatesEveryMissingLevel) {
  TempDir dir;
  EXPECT_TRUE(CreateDirectoryPath(dir.Path() + Q("a/b/c")));
  EXPECT_TRUE(PathExists(dir.Bytes() + "a/b/c/"));
  EXPECT_TRUE(CreateDirectoryPath(dir.Path() + Q("a/b/c/")));  // all there already
  EXPECT_TRUE(CreateDirectoryPath(dir.Path() + Q("a//d/")));   // a doubled separator
  EXPECT_TRUE(PathExists(dir.Bytes() + "a/d/"));
  EXPECT_TRUE(CreateDirectoryPath(dir.Path() + Q("ünï cødé/x")));
  EXPECT_TRUE(PathExists(dir.Bytes() + "ünï cødé/x"));

  dir.WriteFile("file");
  EXPECT_FALSE(CreateDirectoryPath(dir.Path() + Q("file/sub/")));  // a file blocks the way
  EXPECT_FALSE(CreateDirectoryPath(QString()));
}

// The disk-full question names the mount point of the target's file system.
TEST(MountPointOf, ClimbsToWhereTheFileSystemIsMounted) {
  struct Row {
    const char* Path;
    const char* Expected;
  };
  for (const Row& row : std::initializer_list<Row>{
           {"/proc/version", "/proc"},         // a file on another file system than "/"
           {"/proc/self/status", "/proc"},     // through a link
           {"/proc/no/such/file", "/proc"},    // a target not there yet: its nearest folder
           {"/", "/"},
           {"relative/path", ""},
           {"", ""},
       }) {
    EXPECT_EQ(MountPointOf(Q(row.Path)), Q(row.Expected)) << row.Path;
  }
  TempDir dir;
  const QString mount = MountPointOf(dir.Path() + Q("new/file.txt"));
  ASSERT_FALSE(mount.isEmpty());
  EXPECT_TRUE(dir.Path().startsWith(mount)) << mount.toStdString();
}

}  // namespace
