#include "fileops/Attributes.h"

#include "platform/Attributes.h"
#include "platform/FileName.h"
#include "records/Preset.h"
#include "support/TempDir.h"
#include "support/FileChecks.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>

#include <cstring>
#include <string>

namespace {

std::string Stored(const std::string& path) {
  char value[64];
  const ssize_t n = ::getxattr(path.c_str(), "user.DOSATTRIB", value, sizeof value);
  if (n <= 0) return "-";
  return std::string(value, static_cast<size_t>(n - 1));  // without Samba's closing NUL
}

TEST(AttributeRequestsTest, FromTheSwitchPairs) {
  Preset settings;
  settings.HiddenChange = 1;
  settings.HiddenClear = 0;
  settings.ReadOnlyChange = 1;
  settings.ReadOnlyClear = 1;
  settings.ArchiveChange = 0;
  settings.ArchiveClear = 1;  // no change switch: the clear switch does not matter
  settings.NotIndexedChange = 1;
  settings.NotIndexedClear = 0;
  const AttributeRequests r = AttributeRequestsFrom(settings);
  EXPECT_EQ(r.Hidden, 1);
  EXPECT_EQ(r.ReadOnly, -1);
  EXPECT_EQ(r.Archive, 0);
  EXPECT_EQ(r.NotIndexed, 1);
  EXPECT_TRUE(r.Any());
  EXPECT_FALSE(AttributeRequests{}.Any());
}

TEST(ApplyAttributesTest, RequestsOnTopOfTheBaseWord) {
  TempDir dir;
  if (!HasXattrs(dir.WriteFile("probe"))) {
    GTEST_SKIP() << "no user extended attributes in " << dir.Bytes();
  }
  struct Row {
    const char* Why;
    const char* StoredBefore;  // nullptr: none
    mode_t ModeBefore;
    AttributeRequests Requests;
    int32_t Base;
    int Result;
    std::string StoredAfter;
    mode_t ModeAfter;
  };
  const Row rows[] = {
      {"set hidden on a plain file", nullptr, 0644, {1, 0, 0, 0}, kAttrNormal, 1, "0x2", 0644},
      {"set read-only and archive", nullptr, 0664, {0, 1, 1, 0}, kAttrNormal, 1, "0x21", 0444},
      {"clear archive keeps the rest of the base",
       "0x20",
       0644,
       {0, 0, -1, 0},
       kAttrArchive | kAttrSystem,
       1,
       "0x4",
       0644},
      // The base is the word recorded at load: a copy gets the source's bits.
      {"base bits are written to the target",
       nullptr,
       0644,
       {1, 0, 0, 0},
       kAttrArchive | kAttrSystem,
       1,
       "0x26",
       0644},
      {"base 0 reads the file first", "0x20", 0644, {1, 0, 0, 0}, 0, 1, "0x22", 0644},
      {"clearing read-only gives owner write back",
       nullptr,
       0444,
       {0, -1, 0, 0},
       kAttrReadOnly,
       1,
       "-",
       0644},
      {"no request writes nothing, even with a stale base",
       nullptr,
       0644,
       {0, 0, 0, 0},
       kAttrReadOnly | kAttrHidden,
       1,
       "-",
       0644},
      // Only not-indexed: the word is read from the file, not taken from the base.
      {"not-indexed alone ignores a stale base",
       "0x20",
       0644,
       {0, 0, 0, 1},
       kAttrHidden | kAttrSystem,
       1,
       "0x2020",
       0644},
      {"not-indexed cleared", "0x2020", 0644, {0, 0, 0, -1}, kAttrNormal, 1, "0x20", 0644},
      {"everything at once", "0x2000", 0644, {1, 1, 1, -1}, kAttrNotIndexed, 1, "0x23", 0444},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Why);
    const std::string path = dir.WriteFile("f" + std::to_string(n++), "data");
    if (row.StoredBefore != nullptr) {
      ::setxattr(path.c_str(), "user.DOSATTRIB", row.StoredBefore, std::strlen(row.StoredBefore),
                 0);
    }
    ::chmod(path.c_str(), row.ModeBefore);
    EXPECT_EQ(ApplyAttributes(DecodeFileName(path), row.Requests, row.Base), row.Result);
    EXPECT_EQ(Stored(path), row.StoredAfter);
    EXPECT_EQ(Mode(path), row.ModeAfter);
    EXPECT_EQ(ReadFileBytes(path), "data");
  }
}

TEST(ApplyAttributesTest, FailuresAreReported) {
  TempDir dir;
  const QString missing = dir.Path() + QStringLiteral("missing");
  EXPECT_EQ(ApplyAttributes(missing, {1, 0, 0, 0}, 0), -1) << "unreadable path";
  EXPECT_EQ(ApplyAttributes(missing, {1, 0, 0, 0}, kAttrNormal), 0) << "write to missing path";
  EXPECT_EQ(ApplyAttributes(missing, {0, 0, 0, 1}, kAttrNormal), -1) << "re-read for not-indexed";
  const std::string fifo = dir.Bytes() + "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_EQ(ApplyAttributes(DecodeFileName(fifo), {0, 0, 1, 0}, kAttrNormal), 0)
      << "archive cannot be stored on a FIFO";
  const std::string dotted = dir.WriteFile(".config", "x");
  EXPECT_EQ(ApplyAttributes(DecodeFileName(dotted), {-1, 0, 0, 0}, kAttrHidden), 0)
      << "a leading dot keeps the file hidden";
  EXPECT_EQ(ApplyAttributes(DecodeFileName(dotted), {1, 0, 0, 0}, kAttrHidden), 1);
  EXPECT_EQ(ApplyAttributes(DecodeFileName(dotted), {0, 0, 0, 0}, kAttrHidden), 1);
}

TEST(ClearReadOnlyTest, Rows) {
  TempDir dir;
  struct Row {
    const char* Why;
    mode_t ModeBefore;
    int32_t Base;
    bool Missing;
    int Result;
    mode_t ModeAfter;
  };
  const Row rows[] = {
      {"read-only base on a read-only file", 0444, kAttrReadOnly | kAttrArchive, false, 1, 0644},
      {"base 0 reads the file", 0444, 0, false, 1, 0644},
      {"base without read-only writes nothing", 0444, kAttrNormal, false, 1, 0444},
      {"writable file stays as it is", 0640, 0, false, 1, 0640},
      {"missing path counts as normal", 0, 0, true, 1, 0},
      {"missing path with a read-only base cannot be written", 0, kAttrReadOnly, true, 0, 0},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Why);
    std::string path = dir.Bytes() + "missing" + std::to_string(n);
    if (!row.Missing) {
      path = dir.WriteFile("f" + std::to_string(n), "x");
      ::chmod(path.c_str(), row.ModeBefore);
    }
    ++n;
    EXPECT_EQ(ClearReadOnly(DecodeFileName(path), row.Base), row.Result);
    if (!row.Missing) {
      EXPECT_EQ(Mode(path), row.ModeAfter);
    }
  }
}

}  // namespace
