#include "fileops/ZoneMark.h"

#include "platform/FileName.h"
#include "support/TempDir.h"
#include "support/FileChecks.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>

#include <string>
#include <vector>

namespace {

bool HasXattr(const std::string& path, const char* name) {
  return ::getxattr(path.c_str(), name, nullptr, 0) >= 0;
}

constexpr const char* kOrigin = "user.xdg.origin.url";
constexpr const char* kReferrer = "user.xdg.referrer.url";
constexpr const char* kZoneStream = "user.DosStream.Zone.Identifier:$DATA";

TEST(ZoneMarkTest, RemovesEveryKindOfMarkAndNothingElse) {
  TempDir dir;
  const bool xattrs = HasXattrs(dir.WriteFile("probe"));
  struct Row {
    const char* Why;
    std::vector<const char*> Attributes;
    bool Sibling;
    mode_t Mode;
    int Result;
  };
  const std::vector<Row> rows = {
      {"browser download", {kOrigin, kReferrer}, false, 0644, 1},
      {"only the referrer", {kReferrer}, false, 0644, 1},
      {"Windows mark stored by Samba", {kZoneStream}, false, 0644, 1},
      {"all three on a read-only file", {kOrigin, kReferrer, kZoneStream}, false, 0444, 1},
      {"sibling file left by a Windows copy", {}, true, 0644, 1},
      {"no mark", {}, false, 0644, -1},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Why);
    if (!row.Attributes.empty() && !xattrs) continue;
    const std::string name = "download" + std::to_string(n++) + ".zip";
    const std::string path = dir.WriteFile(name, "content");
    for (const char* attribute : row.Attributes) {
      ASSERT_EQ(::setxattr(path.c_str(), attribute, "http://example.org/", 19, 0), 0);
    }
    if (xattrs) ::setxattr(path.c_str(), "user.DOSATTRIB", "0x20", 4, 0);
    const std::string sibling = path + ":Zone.Identifier";
    if (row.Sibling) dir.WriteFile(name + ":Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
    ::chmod(path.c_str(), row.Mode);

    EXPECT_EQ(HasZoneMark(DecodeFileName(path)), row.Result == 1);
    EXPECT_EQ(ClearZoneMark(DecodeFileName(path)), row.Result);
    EXPECT_FALSE(HasZoneMark(DecodeFileName(path)));
    EXPECT_FALSE(HasXattr(path, kOrigin));
    EXPECT_FALSE(HasXattr(path, kReferrer));
    EXPECT_FALSE(HasXattr(path, kZoneStream));
    EXPECT_FALSE(PathExists(sibling));
    if (xattrs) {
      EXPECT_TRUE(HasXattr(path, "user.DOSATTRIB")) << "other attributes stay";
    }
    EXPECT_EQ(ReadFileBytes(path), "content");
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, row.Mode);
    // A second pass finds nothing left.
    EXPECT_EQ(ClearZoneMark(DecodeFileName(path)), -1);
  }
}

TEST(ZoneMarkTest, NothingToDoForMissingOrEmptyPaths) {
  TempDir dir;
  EXPECT_EQ(ClearZoneMark(QString()), -1);
  EXPECT_EQ(ClearZoneMark(dir.Path() + QStringLiteral("missing.zip")), -1);
  // The sibling of a missing file is not touched either.
  const std::string sibling = dir.WriteFile("gone.zip:Zone.Identifier", "x");
  EXPECT_EQ(ClearZoneMark(dir.Path() + QStringLiteral("gone.zip")), -1);
  EXPECT_FALSE(HasZoneMark(dir.Path() + QStringLiteral("gone.zip")));
  EXPECT_TRUE(PathExists(sibling));
}

}  // namespace
