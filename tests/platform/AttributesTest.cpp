#include "platform/Attributes.h"

#include "platform/FileName.h"
#include "platform/Xattr.h"
#include "support/TempDir.h"
#include "support/FileChecks.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

bool XattrsSupported(const std::string& path) {
  if (::setxattr(path.c_str(), "user.mervane-probe", "1", 1, 0) != 0) return false;
  ::removexattr(path.c_str(), "user.mervane-probe");
  return true;
}

// The stored value as Samba reads it: the hex text with its terminating NUL.
std::string StoredWord(const std::string& path) {
  const XattrValue value = GetXattr(path.c_str(), "user.DOSATTRIB");
  if (!value.Ok()) return "<none>";
  std::string text = value.Value.toStdString();
  if (text.empty() || text.back() != '\0') return "<no NUL: " + text + ">";
  text.pop_back();
  return text;
}

TEST(AttributesTest, ReadsTheWordFromPermissionsNameAndStoredWord) {
  TempDir dir;
  struct Row {
    const char* Name;
    mode_t Mode;
    const char* Stored;  // nullptr: no stored word
    int32_t Expected;
  };
  const Row rows[] = {
      {"plain.txt", 0644, nullptr, kAttrNormal},
      {"readonly.txt", 0444, nullptr, kAttrReadOnly},
      {".dotfile", 0644, nullptr, kAttrHidden},
      {"group-write-only.txt", 0464, nullptr, kAttrReadOnly},  // no owner write: read-only
      {"archived.txt", 0644, "0x20", kAttrArchive},
      {"system-hidden.txt", 0644, "0x6", kAttrHidden | kAttrSystem},
      {"upper-hex.txt", 0644, "0X2020", kAttrArchive | kAttrNotIndexed},
      // Samba's newer form: the text, a NUL, then its binary record.
      {"samba-record.txt", 0644, "0x22\0\3\0\0\0\x22\0\0\0", kAttrHidden | kAttrArchive},
      // The stored read-only and normal bits do not count: the permission bits decide.
      {"stored-ro.txt", 0644, "0x81", kAttrNormal},
      {"garbage.txt", 0644, "hello", kAttrNormal},
      {"too-long.txt", 0644, "0x123456789", kAttrNormal},
  };
  const std::string probe = dir.WriteFile("probe");
  const bool xattrs = XattrsSupported(probe);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    const std::string path = dir.WriteFile(row.Name, "x");
    ::chmod(path.c_str(), row.Mode);
    if (row.Stored != nullptr) {
      if (!xattrs) continue;
      // The Samba record holds NULs: its length is spelled out.
      const size_t length =
          std::string(row.Name) == "samba-record.txt" ? 12 : std::strlen(row.Stored);
      ASSERT_EQ(::setxattr(path.c_str(), "user.DOSATTRIB", row.Stored, length, 0), 0);
    }
    EXPECT_EQ(ReadAttributes(DecodeFileName(path)), row.Expected);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(AttributesFromStat(path.c_str(), st, QString::fromUtf8(row.Name)), row.Expected);
  }
}

TEST(AttributesTest, MissingFileIsUnreadable) {
  TempDir dir;
  EXPECT_EQ(ReadAttributes(dir.Path() + QStringLiteral("nothing-here")), -1);
  EXPECT_NE(WriteAttributes(dir.Path() + QStringLiteral("nothing-here"), kAttrArchive), 0);
}

TEST(AttributesTest, WriteRoundTripsThroughPermissionsAndStoredWord) {
  TempDir dir;
  const std::string probe = dir.WriteFile("probe");
  if (!XattrsSupported(probe)) GTEST_SKIP() << "no user extended attributes in " << dir.Bytes();
  struct Row {
    int32_t Written;
    int32_t ReadBack;
    std::string Stored;
  };
  const Row rows[] = {
      {kAttrArchive, kAttrArchive, "0x20"},
      {kAttrHidden | kAttrSystem | kAttrNotIndexed, kAttrHidden | kAttrSystem | kAttrNotIndexed,
       "0x2006"},
      // Read-only goes to the permission bits and, for Samba, into the stored word.
      {kAttrReadOnly | kAttrArchive, kAttrReadOnly | kAttrArchive, "0x21"},
      {kAttrReadOnly, kAttrReadOnly, "0x1"},
      // Nothing left to store: the stored word goes away.
      {kAttrNormal, kAttrNormal, "<none>"},
      {0, kAttrNormal, "<none>"},
  };
  const std::string path = dir.WriteFile("file.txt", "content");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Written);
    ASSERT_EQ(WriteAttributes(DecodeFileName(path), row.Written), 0);
    EXPECT_EQ(ReadAttributes(DecodeFileName(path)), row.ReadBack);
    EXPECT_EQ(StoredWord(path), row.Stored);
    const bool readOnly = (row.Written & kAttrReadOnly) != 0;
    EXPECT_EQ((Mode(path) & 0222) == 0, readOnly);
  }
  EXPECT_EQ(ReadFileBytes(path), "content");
}

TEST(AttributesTest, ReadOnlyRemovesAllWriteBitsAndClearingAddsOwnerWrite) {
  TempDir dir;
  const std::string path = dir.WriteFile("shared.txt", "x");
  ::chmod(path.c_str(), 0666);
  ASSERT_EQ(WriteAttributes(DecodeFileName(path), kAttrReadOnly), 0);
  EXPECT_EQ(Mode(path), mode_t{0444});
  ASSERT_EQ(WriteAttributes(DecodeFileName(path), kAttrNormal), 0);
  EXPECT_EQ(Mode(path), mode_t{0644});
}

TEST(AttributesTest, StoredBitsChangeOnReadOnlyFile) {
  TempDir dir;
  const std::string path = dir.WriteFile("locked.txt", "x");
  if (!XattrsSupported(path)) GTEST_SKIP() << "no user extended attributes in " << dir.Bytes();
  ::chmod(path.c_str(), 0444);
  ASSERT_EQ(WriteAttributes(DecodeFileName(path), kAttrReadOnly | kAttrHidden), 0);
  EXPECT_EQ(ReadAttributes(DecodeFileName(path)), kAttrReadOnly | kAttrHidden);
  EXPECT_EQ(Mode(path), mode_t{0444});
}

TEST(AttributesTest, HiddenNameNeedsNoStoredWord) {
  TempDir dir;
  const std::string path = dir.WriteFile(".profile", "x");
  ASSERT_EQ(WriteAttributes(DecodeFileName(path), kAttrHidden), 0);
  EXPECT_EQ(ReadAttributes(DecodeFileName(path)), kAttrHidden);
}

TEST(AttributesTest, NonUtf8NameIsFound) {
  TempDir dir;
  const std::string path = dir.WriteFile("caf\xe9.txt", "x");
  if (!XattrsSupported(path)) GTEST_SKIP() << "no user extended attributes in " << dir.Bytes();
  ASSERT_EQ(WriteAttributes(DecodeFileName(path), kAttrArchive | kAttrHidden), 0);
  EXPECT_EQ(StoredWord(path), "0x22");
  EXPECT_EQ(ReadAttributes(DecodeFileName(path)), kAttrArchive | kAttrHidden);
}

}  // namespace

namespace {

// A FIFO keeps no user extended attributes: a bit that must be stored cannot be, and that is
// reported, while what needs no stored word still works.
TEST(AttributesTest, BitThatCannotBeStoredFailsTheWrite) {
  TempDir dir;
  const std::string fifo = dir.Bytes() + "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_NE(WriteAttributes(DecodeFileName(fifo), kAttrArchive), 0);
  EXPECT_NE(WriteAttributes(DecodeFileName(fifo), kAttrSystem | kAttrReadOnly), 0);
  EXPECT_EQ(Mode(fifo), mode_t{0644}) << "a failed write must not half-apply";
  EXPECT_EQ(WriteAttributes(DecodeFileName(fifo), kAttrReadOnly), 0);
  EXPECT_EQ(Mode(fifo), mode_t{0444});
  EXPECT_EQ(ReadAttributes(DecodeFileName(fifo)), kAttrReadOnly);
}

}  // namespace
