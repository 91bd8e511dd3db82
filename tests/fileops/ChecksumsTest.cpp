#include "fileops/Checksums.h"

#include "platform/FileName.h"
#include "support/TempDir.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>
#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace {

struct Expected {
  QString Crc, Md5, Sha1;
};

Expected Reference(const std::string& data) {
  const auto crc = static_cast<uint32_t>(
      ::crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
  const QByteArray bytes(data.data(), static_cast<qsizetype>(data.size()));
  return {QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0')).toUpper(),
          QString::fromLatin1(
              QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().toUpper()),
          QString::fromLatin1(
              QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().toUpper())};
}

std::string Pattern(size_t size) {
  std::string data(size, '\0');
  uint32_t x = 2463534242u;
  for (size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    data[i] = static_cast<char>(x);
  }
  return data;
}

TEST(ChecksumsTest, KnownVectors) {
  TempDir dir;
  struct Row {
    const char* Content;
    const char* Crc;
    const char* Md5;
    const char* Sha1;
  };
  const Row rows[] = {
      {"", "00000000", "D41D8CD98F00B204E9800998ECF8427E",
       "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
      {"abc", "352441C2", "900150983CD24FB0D6963F7D28E17F72",
       "A9993E364706816ABA3E25717850C26C9CD0D89D"},
      {"The quick brown fox jumps over the lazy dog", "414FA339",
       "9E107D9D372BB6826BD81D3542A419D6", "2FD4E1C67A2D28FCED849EE1BB76E7391B93EB12"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Content);
    const std::string path = dir.WriteFile("vector", row.Content);
    const ChecksumResult r = ComputeChecksums(DecodeFileName(path), true, true, true);
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(r.Crc32, QString::fromLatin1(row.Crc));
    EXPECT_EQ(r.Md5, QString::fromLatin1(row.Md5));
    EXPECT_EQ(r.Sha1, QString::fromLatin1(row.Sha1));
  }
}

// Every combination of wanted checksums, over sizes around the block boundaries of the
// reader, gives exactly the wanted ones and the same values as a one-shot computation.
TEST(ChecksumsTest, EveryCombinationOverBlockBoundaries) {
  TempDir dir;
  const size_t block = size_t{1} << 20;
  for (const size_t size :
       {size_t{1}, block - 1, block, block + 1, size_t{3000000}, 5 * block + 7}) {
    SCOPED_TRACE(size);
    const std::string data = Pattern(size);
    const Expected want = Reference(data);
    const std::string path = dir.WriteFile("data.bin", data);
    for (int mask = 1; mask < 8; ++mask) {
      SCOPED_TRACE(mask);
      const bool crc = (mask & 1) != 0, md5 = (mask & 2) != 0, sha1 = (mask & 4) != 0;
      const ChecksumResult r = ComputeChecksums(DecodeFileName(path), crc, md5, sha1);
      ASSERT_TRUE(r.Ok) << r.Error;
      EXPECT_EQ(r.Crc32, crc ? want.Crc : QString());
      EXPECT_EQ(r.Md5, md5 ? want.Md5 : QString());
      EXPECT_EQ(r.Sha1, sha1 ? want.Sha1 : QString());
    }
  }
}

TEST(ChecksumsTest, WhatCannotBeReadFailsWithItsReason) {
  TempDir dir;
  const std::string fifo = dir.Bytes() + "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  dir.MakeDir("folder");
  struct Row {
    const char* Why;
    std::string Path;
    int Error;
  };
  const Row rows[] = {
      {"missing file", dir.Bytes() + "missing", ENOENT},
      {"directory", dir.Bytes() + "folder", EISDIR},
      {"FIFO must not hang", fifo, EINVAL},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Why);
    for (const bool all : {false, true}) {
      const ChecksumResult r = ComputeChecksums(DecodeFileName(row.Path), true, all, all);
      EXPECT_FALSE(r.Ok);
      EXPECT_EQ(r.Error, row.Error);
      EXPECT_TRUE(r.Crc32.isEmpty());
    }
  }
}

TEST(ChecksumsTest, StopRequestEndsTheRead) {
  TempDir dir;
  const std::string path = dir.WriteFile("data.bin", Pattern(3 << 20));
  std::atomic<int32_t> stop{1};
  for (const bool all : {false, true}) {
    const ChecksumResult r = ComputeChecksums(DecodeFileName(path), true, all, all, &stop);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Error, ECANCELED);
  }
}

TEST(ChecksumsTest, ReadingKeepsTheAccessTime) {
  TempDir dir;
  const std::string path = dir.WriteFile("old.txt", "content");
  const timespec times[2] = {{1000000000, 5}, {1000000000, 5}};  // older than mtime rules allow
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const ChecksumResult r = ComputeChecksums(DecodeFileName(path), true, true, true);
  ASSERT_TRUE(r.Ok);
  ASSERT_TRUE(r.AccessTimeKept) << "the owner may always read without touching the access time";
  struct stat st {};
  ::stat(path.c_str(), &st);
  EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
  EXPECT_EQ(st.st_atim.tv_nsec, 5);
}

}  // namespace
