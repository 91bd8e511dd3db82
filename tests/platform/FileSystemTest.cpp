#include "platform/FileSystem.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QString>

namespace {

QString Q(const char* text) {
  return QString::fromUtf8(text);
}

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

}  // namespace
