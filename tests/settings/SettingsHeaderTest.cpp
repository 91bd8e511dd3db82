#include "settings/SettingsHeader.h"

#include "platform/FileName.h"
#include "support/TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kTitle = QStringLiteral("Mervane");
const QString kVersion = QStringLiteral("2.0");

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray bytes;
  for (const int v : values) bytes.append(static_cast<char>(v));
  return bytes;
}

// "Mervane\n", 2.0f little-endian, check bytes 1 1.
QByteArray CurrentHeader() {
  return QByteArray("Mervane\n") + Bytes({0x00, 0x00, 0x00, 0x40, 0x01, 0x01});
}

TEST(SettingsHeader, WrittenBytesAreNameLineFloatAndTwoCheckBytes) {
  SettingsWriter out;
  WriteHeader(out, kTitle, kVersion);
  EXPECT_EQ(out.Bytes(), CurrentHeader());
}

struct HeaderRow {
  const char* label;
  QByteArray bytes;
  bool current;
  bool ours;
  float storedVersion;
};

TEST(SettingsHeader, CurrentOnlyWithExactNameVersionAndCheckBytes) {
  const QByteArray version10 = Bytes({0x00, 0x00, 0x80, 0x3F});  // 1.0f
  const QByteArray checks = Bytes({1, 1});
  const HeaderRow rows[] = {
      {"exact", CurrentHeader(), true, true, 2.0f},
      {"name ended by CR LF", QByteArray("Mervane\r\n") + CurrentHeader().mid(8), true, true, 2.0f},
      {"name ended by CR", QByteArray("Mervane\r") + CurrentHeader().mid(8), true, true, 2.0f},
      {"name ended by NUL", QByteArray("Mervane", 7) + '\0' + CurrentHeader().mid(8), true, true,
       2.0f},
      {"name in other case", QByteArray("mervane\n") + CurrentHeader().mid(8), false, false, 2.0f},
      {"name with trailing blank", QByteArray("Mervane \n") + CurrentHeader().mid(8), false, false,
       2.0f},
      {"other program", QByteArray("Other\n") + CurrentHeader().mid(8), false, false, 2.0f},
      {"version 1.0", QByteArray("Mervane\n") + version10 + checks, false, true, 1.0f},
      {"version one ulp above", QByteArray("Mervane\n") + Bytes({0x01, 0x00, 0x00, 0x40}) + checks,
       false, true, 2.0000002f},
      {"first check byte 0", CurrentHeader().left(12) + Bytes({0, 1}), false, false, 2.0f},
      {"second check byte 2", CurrentHeader().left(13) + Bytes({2}), false, false, 2.0f},
      {"empty file", QByteArray(), false, false, 0.0f},
  };
  for (const HeaderRow& row : rows) {
    SCOPED_TRACE(row.label);
    SettingsReader in(row.bytes);
    const SettingsHeader header = ReadHeader(in, kTitle, kVersion);
    EXPECT_EQ(header.IsCurrent(), row.current);
    EXPECT_EQ(header.IsOurs(), row.ours);
    EXPECT_EQ(header.StoredVersion, row.storedVersion);
  }
}

TEST(SettingsHeader, EveryTruncationIsNotCurrent) {
  const QByteArray full = CurrentHeader();
  for (qsizetype cut = 0; cut < full.size(); ++cut) {
    SCOPED_TRACE(cut);
    SettingsReader in(full.left(cut));
    EXPECT_FALSE(ReadHeader(in, kTitle, kVersion).IsCurrent());
  }
}

TEST(SettingsHeader, ReaderIsPlacedAfterTheHeader) {
  SettingsReader in(CurrentHeader() + Bytes({7}));
  ASSERT_TRUE(ReadHeader(in, kTitle, kVersion).IsCurrent());
  EXPECT_EQ(in.ReadInt8(), 7);
}

TEST(SettingsHeader, VersionValueOfVersionTexts) {
  const struct {
    const char* text;
    float value;
  } rows[] = {{"2.0", 2.0f}, {"1.0", 1.0f}, {"2.10 beta", 2.1f}, {" 3.25", 3.25f},
              {"7", 7.0f},   {"", 0.0f},    {"v2.0", 0.0f},      {"1.2.3", 1.2f}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(HeaderVersionValue(QString::fromUtf8(row.text)), row.value);
  }
}

TEST(SettingsReader, LinesEndAtLineFeedCarriageReturnOrZeroByte) {
  SettingsReader in(QByteArray("a\rb\r\nc\0d\n\ne", 12));
  EXPECT_EQ(in.ReadLine(), "a");
  EXPECT_EQ(in.ReadLine(), "b");
  EXPECT_EQ(in.ReadLine(), "c");
  EXPECT_EQ(in.ReadLine(), "d");
  EXPECT_EQ(in.ReadLine(), "");
  EXPECT_EQ(in.ReadLine(), "e");
  EXPECT_TRUE(in.AtEnd());
  EXPECT_EQ(in.ReadLine(), "");
}

TEST(SettingsReader, ReadsBeyondTheEndGiveZerosAndStepBackReturns) {
  SettingsReader in(Bytes({0x34, 0x12}));
  EXPECT_EQ(in.ReadInt32(), 0x1234);
  EXPECT_EQ(in.ReadInt32(), 0);
  EXPECT_EQ(in.ReadInt16(), 0);
  EXPECT_EQ(in.ReadText(), QString());
  in.Rewind();
  EXPECT_EQ(in.ReadInt16(), 0x1234);
  in.StepBack(2);
  EXPECT_EQ(in.ReadInt8(), 0x34);
}

TEST(SettingsWriter, NumbersAreLittleEndianAndTextsUtf8Lines) {
  SettingsWriter out;
  out.WriteInt16(-2);
  out.WriteInt32(0x0A0D0201);
  out.WriteText(QStringLiteral("Grüße %FN%"));
  out.WriteText(QStringLiteral("line\r\nbreak"));
  out.WriteText(QString());
  const QByteArray expected =
      Bytes({0xFE, 0xFF, 0x01, 0x02, 0x0D, 0x0A}) + QByteArray(
                                                        "Gr\xC3\xBC\xC3\x9F"
                                                        "e %FN%\nline  break\n\n");
  EXPECT_EQ(out.Bytes(), expected);
  SettingsReader in(out.Bytes());
  in.ReadInt16();
  in.ReadInt32();
  EXPECT_EQ(in.ReadText(), QStringLiteral("Grüße %FN%"));
  EXPECT_EQ(in.ReadText(), QStringLiteral("line  break"));
}

TEST(SettingsFile, WriteReplacesTheFileAndKeepsItsMode) {
  TempDir dir;
  const QString path = dir.Path() + QStringLiteral("settings.dat");
  const std::string bytesPath = dir.Bytes() + "settings.dat";
  EXPECT_FALSE(ReadSettingsFile(path).has_value());
  ASSERT_TRUE(WriteSettingsFile(path, QByteArray("first")));
  ASSERT_EQ(::chmod(bytesPath.c_str(), 0640), 0);
  ASSERT_TRUE(WriteSettingsFile(path, QByteArray("second")));
  EXPECT_EQ(ReadSettingsFile(path).value_or(QByteArray()), QByteArray("second"));
  struct stat info {};
  ASSERT_EQ(::stat(bytesPath.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(ReadFileBytes(bytesPath), "second");
}

TEST(SettingsFile, FailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  TempDir dir;
  const QString path = dir.Path() + QStringLiteral("settings.dat");
  ASSERT_TRUE(WriteSettingsFile(path, QByteArray("old content")));

  // A file-size limit makes the write fail part-way, as a full disk would.
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = WriteSettingsFile(path, QByteArray(5000, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(ReadSettingsFile(path).value_or(QByteArray()), QByteArray("old content"));
  int files = 0;
  for (const QString& name : QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden)) {
    ++files;
    EXPECT_EQ(name, QStringLiteral("settings.dat"));
  }
  EXPECT_EQ(files, 1);
}

TEST(SettingsFile, WriteIntoMissingFolderFails) {
  TempDir dir;
  EXPECT_FALSE(WriteSettingsFile(dir.Path() + QStringLiteral("missing/settings.dat"), "x"));
}

TEST(SettingsFile, NonUtf8PathIsFoundAgain) {
  TempDir dir;
  const std::string name = "caf\xE9.dat";
  dir.WriteFile(name, "bytes");
  const QString path = dir.Path() + DecodeFileName(std::string_view(name));
  EXPECT_EQ(ReadSettingsFile(path).value_or(QByteArray()), QByteArray("bytes"));
  ASSERT_TRUE(WriteSettingsFile(path, "new"));
  EXPECT_EQ(ReadFileBytes(dir.Bytes() + name), "new");
}

TEST(SettingsFile, WriteThroughALinkReplacesTheLinkedFile) {
  TempDir dir;
  const std::string real = dir.WriteFile("store/real.dat", "old");
  const std::string link = dir.Bytes() + "link.dat";
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  ASSERT_TRUE(WriteSettingsFile(dir.Path() + QStringLiteral("link.dat"), "new"));
  struct stat info {};
  ASSERT_EQ(::lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadFileBytes(real), "new");
}

}  // namespace

namespace {

TEST(SettingsFile, OnlySmallRegularFilesAreRead) {
  TempDir dir;
  dir.WriteFile("plain", "content");
  ASSERT_EQ(::mkfifo((dir.Bytes() + "fifo").c_str(), 0600), 0);
  dir.MakeDir("folder");
  // Larger than any valid settings file could be: treated as damaged, never read into memory.
  const std::string huge = dir.WriteFile("huge");
  ASSERT_EQ(::truncate(huge.c_str(), kMaxSettingsFileSize + 1), 0);
  const std::string limit = dir.WriteFile("limit");
  ASSERT_EQ(::truncate(limit.c_str(), kMaxSettingsFileSize), 0);
  ASSERT_EQ(::symlink("plain", (dir.Bytes() + "link").c_str()), 0);
  ASSERT_EQ(::symlink("fifo", (dir.Bytes() + "fifolink").c_str()), 0);
  struct Row {
    const char* name;
    bool read;
  };
  const Row rows[] = {
      {"plain", true},     {"link", true},    {"limit", true}, {"fifo", false},
      {"fifolink", false}, {"folder", false}, {"huge", false}, {"missing", false},
  };
  for (const Row& row : rows) {
    // A FIFO would block a plain open until a writer came: this must return at once.
    const std::optional<QByteArray> bytes =
        ReadSettingsFile(dir.Path() + QString::fromLatin1(row.name));
    EXPECT_EQ(bytes.has_value(), row.read) << row.name;
  }
  EXPECT_EQ(ReadSettingsFile(dir.Path() + QStringLiteral("link")).value_or(QByteArray()),
            QByteArray("content"));
}

}  // namespace
