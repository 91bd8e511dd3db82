// UnpackTable on containers built here with zlib, including damaged ones: every failure must
// be clean (ASan watches for reads outside the block).

#include "texts/TextLoader.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void PutLe(Bytes& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void AppendRecord(Bytes& out, const QString& text, uint8_t marker = 0xFF) {
  out.push_back(marker);
  PutLe(out, static_cast<uint32_t>(text.size() * 2), 2);
  for (const QChar c : text) PutLe(out, c.unicode(), 2);
}

Bytes Records(const QStringList& texts) {
  Bytes out;
  for (const QString& text : texts) AppendRecord(out, text);
  return out;
}

Bytes Deflate(const Bytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes out(size);
  EXPECT_EQ(compress(out.data(), &size, data.data(), static_cast<uLong>(data.size())), Z_OK);
  out.resize(size);
  return out;
}

struct Header {
  std::string magic = "ISTF";
  uint16_t version = 1;
  uint8_t enciphered = 0;
  uint8_t compressed = 1;
  std::optional<uint32_t> storedSize;    // default: the real stored size
  std::optional<uint32_t> unpackedSize;  // default: the real record size
};

Bytes Container(const Bytes& records, const Header& header = {}) {
  const Bytes stored = header.compressed == 1 ? Deflate(records) : records;
  Bytes block(header.magic.begin(), header.magic.end());
  PutLe(block, header.version, 2);
  block.push_back(header.enciphered);
  block.push_back(header.compressed);
  PutLe(block, header.storedSize.value_or(static_cast<uint32_t>(stored.size())), 4);
  PutLe(block, header.unpackedSize.value_or(static_cast<uint32_t>(records.size())), 4);
  block.insert(block.end(), stored.begin(), stored.end());
  return block;
}

struct Result {
  bool ok = false;
  std::vector<QString> entries;
};

// The target is pre-filled with a marker so a test can see which entries were written.
Result Unpack(const Bytes& block, int expected) {
  Result result;
  result.entries.assign(static_cast<size_t>(expected), QStringLiteral("<untouched>"));
  result.ok = UnpackTable(block.data(), block.size(), {}, result.entries.data(), expected);
  return result;
}

const QStringList kThree = {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")};

TEST(UnpackTable, RecordLayoutsDecideSuccess) {
  const QString untouched = QStringLiteral("<untouched>");
  struct Row {
    const char* name;
    Bytes records;
    bool ok;
    QStringList after;  // the three target entries afterwards
  };
  Bytes wrongMarkerInside = Records({"one"});
  AppendRecord(wrongMarkerInside, "two", 0xFE);
  AppendRecord(wrongMarkerInside, "three");
  Bytes wrongMarkerAfter = Records(kThree);
  AppendRecord(wrongMarkerAfter, "four", 0x00);
  Bytes trailingGarbage = Records(kThree);
  trailingGarbage.insert(trailingGarbage.end(), {1, 2, 3, 4, 5});

  const std::vector<Row> rows = {
      {"exact count", Records(kThree), true, kThree},
      {"extra records are ignored", Records({"one", "two", "three", "four", "five"}), true, kThree},
      {"one record too few", Records({"one", "two"}), false, {"one", "two", untouched}},
      {"empty record before the last entry",
       Records({"one", "", "three"}),
       false,
       {"one", "", untouched}},
      {"empty record as the last entry", Records({"one", "two", ""}), true, {"one", "two", ""}},
      {"wrong marker stops reading", wrongMarkerInside, false, {"one", untouched, untouched}},
      {"wrong marker after the last entry", wrongMarkerAfter, true, kThree},
      {"data after the last entry", trailingGarbage, true, kThree},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Result result = Unpack(Container(row.records), 3);
    EXPECT_EQ(result.ok, row.ok);
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(result.entries[static_cast<size_t>(i)], row.after[i]) << "entry " << i;
  }
}

TEST(UnpackTable, DamagedHeadersFail) {
  const Bytes records = Records(kThree);
  const uint32_t storedSize = static_cast<uint32_t>(Deflate(records).size());
  struct Row {
    const char* name;
    Header header;
  };
  const std::vector<Row> rows = {
      {"wrong magic", {.magic = "ISTX"}},
      {"lower-case magic", {.magic = "istf"}},
      {"version 0", {.version = 0}},
      {"version 2", {.version = 2}},
      {"enciphered", {.enciphered = 1}},
      {"stored size 0", {.storedSize = 0}},
      {"stored size past the block", {.storedSize = storedSize + 1}},
      {"stored size far past the block", {.storedSize = 0xFFFFFFFFu}},
      {"stored size short of the stream", {.storedSize = storedSize - 2}},
      {"unpacked size below 4", {.unpackedSize = 3}},
      {"unpacked size larger than the data",
       {.unpackedSize = static_cast<uint32_t>(records.size() + 1)}},
      {"unpacked size smaller than the data",
       {.unpackedSize = static_cast<uint32_t>(records.size() - 1)}},
      {"absurd unpacked size", {.unpackedSize = 0xFFFFFFFFu}},
      {"plain data with a different unpacked size",
       {.compressed = 0, .unpackedSize = static_cast<uint32_t>(records.size() - 3)}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Result result = Unpack(Container(records, row.header), 3);
    EXPECT_FALSE(result.ok);
  }
}

TEST(UnpackTable, PlainContainerIsRead) {
  const Result result = Unpack(Container(Records(kThree), {.compressed = 0}), 3);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.entries[2], QStringLiteral("three"));
  // Any compressed value other than 1 means "stored as they are".
  EXPECT_TRUE(Unpack(Container(Records(kThree), {.compressed = 7}), 3).ok);
}

TEST(UnpackTable, DamagedRecordsFailCleanly) {
  struct Row {
    const char* name;
    Bytes records;
  };
  Bytes oddLength = Records({"one"});
  oddLength.insert(oddLength.end(), {0xFF, 3, 0, 'a', 0, 'b'});
  oddLength.insert(oddLength.end(), 8, 0);
  Bytes pastEnd = Records({"one", "two"});
  pastEnd.insert(pastEnd.end(), {0xFF, 40, 0, 'a', 0});
  Bytes cutHeader = Records({"one", "two"});
  cutHeader.insert(cutHeader.end(), {0xFF, 6});
  Bytes onlyMarker = Records({"one", "two"});
  onlyMarker.push_back(0xFF);
  const std::vector<Row> rows = {
      {"odd length", oddLength},
      {"record running past the end", pastEnd},
      {"length cut off", cutHeader},
      {"marker at the very end", onlyMarker},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    for (const uint8_t compressed : {uint8_t{0}, uint8_t{1}}) {
      const Result result = Unpack(Container(row.records, {.compressed = compressed}), 3);
      EXPECT_FALSE(result.ok);
      EXPECT_EQ(result.entries[0], QStringLiteral("one"));
    }
  }
}

TEST(UnpackTable, EveryTruncationFailsWithoutReadingPastTheBlock) {
  for (const uint8_t compressed : {uint8_t{0}, uint8_t{1}}) {
    const Bytes full = Container(Records(kThree), {.compressed = compressed});
    ASSERT_TRUE(Unpack(full, 3).ok);
    for (size_t size = 0; size < full.size(); ++size) {
      // A separate allocation of exactly `size` bytes, so ASan sees any read beyond it.
      const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
      std::vector<QString> target(3);
      EXPECT_FALSE(
          UnpackTable(cut.empty() ? nullptr : cut.data(), cut.size(), {}, target.data(), 3))
          << "cut to " << size << " bytes";
    }
  }
}

TEST(UnpackTable, CorruptStreamFails) {
  Bytes block = Container(Records(kThree));
  block[block.size() / 2 + 8] ^= 0x5A;
  block[block.size() - 2] ^= 0xFF;  // the stream's own checksum
  EXPECT_FALSE(Unpack(block, 3).ok);
}

TEST(UnpackTable, TextsKeepEveryUtf16Unit) {
  const QStringList texts = {QStringLiteral("Größe ändern"), QStringLiteral("\u20AC 5"),
                             QString::fromUtf8("\xF0\x9F\x93\x81 folder"),
                             QStringLiteral("tab\tand \"quotes\"")};
  const Result result = Unpack(Container(Records(texts)), 4);
  ASSERT_TRUE(result.ok);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(result.entries[static_cast<size_t>(i)], texts[i]);
}

TEST(UnpackTable, RefusesMissingArguments) {
  const Bytes block = Container(Records(kThree));
  std::vector<QString> target(3);
  EXPECT_FALSE(UnpackTable(nullptr, block.size(), {}, target.data(), 3));
  EXPECT_FALSE(UnpackTable(block.data(), block.size(), {}, nullptr, 3));
  EXPECT_FALSE(UnpackTable(block.data(), block.size(), {}, target.data(), 0));
  EXPECT_FALSE(UnpackTable(block.data(), block.size(), {}, target.data(), -1));
}

}  // namespace
