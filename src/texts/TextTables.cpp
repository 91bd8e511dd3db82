#include "texts/TextTables.h"

#include "texts/PackedData.h"
#include "texts/TextLoader.h"

#include <QtEndian>

#include <zlib.h>

#include <atomic>
#include <cstring>
#include <vector>

// Both tables start with every entry empty; LoadProductTexts and LoadLanguageTable fill them.
std::array<QString, kProductTextCount> ProductTexts;
std::array<QString, kLanguageTextCount> LanguageTable;

namespace {

// The language of the additions follows the language table; set only when a table loaded.
std::atomic<int> gAdditionsLanguage{kLanguageEnglish};

// zlib cannot expand data by more than about 1032:1; a header that claims more is damaged,
// and believing it would make us allocate whatever it says.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kMaxInflateSlack = 64;

constexpr uint8_t kRecordMarker = 0xFF;
constexpr size_t kRecordHeaderSize = 3;

uint16_t ReadLe16(const uint8_t* p) {
  return qFromLittleEndian<quint16>(p);
}
uint32_t ReadLe32(const uint8_t* p) {
  return qFromLittleEndian<quint32>(p);
}

// Inflates a zlib stream into exactly `unpackedSize` bytes. The stream must end there: data
// that stops short or would run on past it means the container is damaged.
bool InflateExactly(const uint8_t* stored, size_t storedSize, std::vector<uint8_t>& out) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  stream.next_in = const_cast<Bytef*>(stored);
  stream.avail_in = static_cast<uInt>(storedSize);
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = inflate(&stream, Z_FINISH);
  const bool complete = result == Z_STREAM_END && stream.total_out == out.size();
  inflateEnd(&stream);
  return complete;
}

}  // namespace

bool UnpackTable(const uint8_t* block, size_t blockSize, QByteArrayView key, QString* target,
                 int expectedCount) {
  Q_UNUSED(key);
  if (block == nullptr || target == nullptr || expectedCount <= 0) return false;
  if (blockSize <= kTableHeaderSize) return false;
  if (std::memcmp(block, "ISTF", 4) != 0) return false;
  if (ReadLe16(block + 4) != kTableVersion) return false;
  const uint8_t enciphered = block[6];
  const uint8_t compressed = block[7];
  const uint32_t storedSize = ReadLe32(block + 8);
  const uint32_t unpackedSize = ReadLe32(block + 12);
  if (storedSize < 1 || storedSize > blockSize - kTableHeaderSize) return false;
  if (unpackedSize < 4) return false;
  // No cipher is built in, so an enciphered block cannot be read.
  if (enciphered == 1) return false;

  const uint8_t* stored = block + kTableHeaderSize;
  std::vector<uint8_t> data;
  if (compressed == 1) {
    if (unpackedSize > uint64_t{storedSize} * kMaxInflateRatio + kMaxInflateSlack) return false;
    data.resize(unpackedSize);
    if (!InflateExactly(stored, storedSize, data)) return false;
  } else {
    if (storedSize != unpackedSize) return false;
    data.assign(stored, stored + storedSize);
  }

  int count = 0;
  size_t offset = 0;
  const size_t size = data.size();
  while (offset < size && count < expectedCount) {
    if (data[offset] != kRecordMarker) break;
    if (size - offset < kRecordHeaderSize) return false;
    const size_t length = ReadLe16(&data[offset + 1]);
    if (length % 2 != 0) return false;
    if (size - offset - kRecordHeaderSize < length) return false;
    const uint8_t* text = &data[offset + kRecordHeaderSize];
    QString entry(static_cast<qsizetype>(length / 2), Qt::Uninitialized);
    QChar* units = entry.data();
    for (size_t i = 0; i < length / 2; ++i) units[i] = QChar(ReadLe16(text + 2 * i));
    target[count++] = std::move(entry);
    offset += kRecordHeaderSize + length;
    // An empty record ends the table.
    if (length == 0) break;
  }
  return count == expectedCount;
}

bool LoadProductTexts() {
  const PackedBlob blob = PackedProductTexts();
  return UnpackTable(blob.Data, blob.Size, {}, ProductTexts.data(), kProductTextCount);
}

bool LoadLanguageTable(int languageIndex) {
  if (languageIndex != kLanguageGerman && languageIndex != kLanguageEnglish) return false;
  const PackedBlob blob = PackedLanguageTexts(languageIndex);
  if (!UnpackTable(blob.Data, blob.Size, {}, LanguageTable.data(), kLanguageTextCount))
    return false;
  gAdditionsLanguage.store(languageIndex, std::memory_order_relaxed);
  return true;
}

QString AdditionText(int entry) {
  const PackedAdditions additions =
      PackedAdditionTexts(gAdditionsLanguage.load(std::memory_order_relaxed));
  if (entry < 0 || entry >= additions.Count || additions.Texts[entry] == nullptr) return {};
  return QString::fromUtf16(additions.Texts[entry]);
}
