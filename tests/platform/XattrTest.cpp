#include "platform/Xattr.h"

#include "platform/Attributes.h"
#include "platform/FileName.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

bool HasXattrs(const std::string& path) {
  return SetXattr(path.c_str(), "user.mervane-probe", "1") == 0 &&
         RemoveXattr(path.c_str(), "user.mervane-probe") == 0;
}

TEST(XattrTest, ValuesOfAnySizeNamesAndErrors) {
  TempDir dir;
  const std::string path = dir.WriteFile("f", "x");
  if (!HasXattrs(path)) GTEST_SKIP() << "no user extended attributes in " << dir.Bytes();

  // Larger than the first read's buffer: the value comes whole through the retry.
  const QByteArray big(3000, 'v');
  ASSERT_EQ(SetXattr(path.c_str(), "user.big", big), 0);
  ASSERT_EQ(SetXattr(path.c_str(), "user.small", QByteArray("s")), 0);
  ASSERT_EQ(SetXattr(path.c_str(), "user.empty", QByteArray()), 0);
  EXPECT_EQ(GetXattr(path.c_str(), "user.big").Value, big);
  EXPECT_EQ(GetXattr(path.c_str(), "user.small").Value, QByteArray("s"));
  const XattrValue empty = GetXattr(path.c_str(), "user.empty");
  EXPECT_TRUE(empty.Ok());
  EXPECT_TRUE(empty.Value.isEmpty());

  const XattrValue missing = GetXattr(path.c_str(), "user.missing");
  EXPECT_EQ(missing.Error, ENODATA);
  EXPECT_EQ(RemoveXattr(path.c_str(), "user.missing"), ENODATA);
  EXPECT_EQ(GetXattr((dir.Bytes() + "none").c_str(), "user.x").Error, ENOENT);

  const XattrNames names = ListXattrs(path.c_str());
  ASSERT_EQ(names.Error, 0);
  EXPECT_TRUE(names.Names.contains("user.big"));
  EXPECT_TRUE(names.Names.contains("user.small"));
  EXPECT_TRUE(names.Names.contains("user.empty"));

  const int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(GetXattr(fd, "user.big").Value, big);
  EXPECT_EQ(ListXattrs(fd).Names.size(), names.Names.size());
  ::close(fd);
}

// Samba's binary record after the text can outgrow a small read buffer; the word still counts.
TEST(XattrTest, LongSambaRecordStillGivesTheWord) {
  TempDir dir;
  const std::string path = dir.WriteFile("f", "x");
  if (!HasXattrs(path)) GTEST_SKIP() << "no user extended attributes in " << dir.Bytes();
  QByteArray record("0x6");
  record.append('\0');
  record.append(QByteArray(400, '\x01'));
  ASSERT_EQ(SetXattr(path.c_str(), "user.DOSATTRIB", record), 0);
  EXPECT_EQ(ReadAttributes(DecodeFileName(path)), kAttrHidden | kAttrSystem);
}

}  // namespace
