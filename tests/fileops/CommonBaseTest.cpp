#include "fileops/CommonBase.h"

#include "filelist/FileList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

QString BaseOf(const std::vector<const char*>& paths) {
  FileList list;
  int32_t id = 1;
  for (const char* path : paths) {
    FileEntry entry;
    entry.Id = id++;
    entry.SetPath(QString::fromUtf8(path));
    list.Append(entry);
  }
  return CommonBaseDirectory(list);
}

TEST(CommonBaseTest, DeepestDirectoryHoldingEveryEntry) {
  struct Row {
    std::vector<const char*> Paths;
    const char* Expected;
  };
  const std::vector<Row> rows = {
      {{}, ""},
      {{"/a/b/x.txt"}, "/a/b/"},
      {{"/a/b/x.txt", "/a/b/y.txt"}, "/a/b/"},
      {{"/a/b/x.txt", "/a/c/d/y.txt"}, "/a/"},
      {{"/a/c/d/y.txt", "/a/b/x.txt"}, "/a/"},
      {{"/a/b/c/x", "/a/b/y", "/a/b/c/d/e/z"}, "/a/b/"},
      // A common start of a name is not a common directory.
      {{"/a/bc/x", "/a/b/y"}, "/a/"},
      {{"/data/photos/x.jpg", "/data/photos2/y.jpg"}, "/data/"},
      // Only the root is shared: subfolders are recreated from the top.
      {{"/x/1", "/y/2"}, "/"},
      // Names are compared exactly.
      {{"/Data/x", "/data/y"}, "/"},
      {{"relative.txt", "/a/b"}, ""},
      // A backslash is part of a name, never a separator.
      {{"/a\\b\\x", "/a/b/y"}, "/"},
      {{"/d/x\\y.txt", "/d/x\\z.txt"}, "/d/"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Expected);
    EXPECT_EQ(BaseOf(row.Paths), QString::fromUtf8(row.Expected));
  }
}

}  // namespace
