#pragma once

// The journal's record types and the little-endian fields of their bodies, shared by the
// writer (Journal.cpp) and the reader (JournalReader.cpp). Not for use outside the journal.

#include "journal/Journal.h"

#include <libdeflate.h>

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstring>
#include <string>

namespace journal_fields {

enum RecordType : uint8_t {
  kRecordBegin = 1,
  kRecordIntent = 2,
  kRecordOutcome = 3,
  kRecordFolder = 4,
  kRecordEnd = 5,
  kRecordUndoBegin = 6,
  kRecordUndoEntry = 7,
  kRecordUndone = 8,
  kRecordMade = 9,
};

inline constexpr uint16_t kFormat = 1;

inline uint32_t Crc(const char* data, size_t size) {
  return static_cast<uint32_t>(libdeflate_crc32(0, data, size));
}

// Little-endian fields appended to the record being built. A record is built in a buffer of
// its own (reused from record to record) and joins the encoder's bytes whole, so that a field
// costs a few stores rather than a call into QByteArray.
class Out {
 public:
  explicit Out(std::string& bytes) : bytes_(bytes) {}
  void U8(uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
  void U16(uint16_t v) { Fixed<2>(v); }
  void U32(uint32_t v) { Fixed<4>(v); }
  void U64(uint64_t v) { Fixed<8>(v); }
  void I8(int8_t v) { U8(static_cast<uint8_t>(v)); }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void I64(int64_t v) { U64(static_cast<uint64_t>(v)); }
  void Time(const FileTime& t) {
    I64(t.Seconds);
    U32(static_cast<uint32_t>(t.Nanoseconds));
  }
  void Bytes(const QByteArray& b) {
    U32(static_cast<uint32_t>(b.size()));
    bytes_.append(b.constData(), static_cast<size_t>(b.size()));
  }
  void Text(const QString& text) { Bytes(text.toUtf8()); }
  void Path(const QByteArray& path, const QByteArray& reference) {
    const qsizetype limit = std::min(path.size(), reference.size());
    const char* p = path.constData();
    const char* r = reference.constData();
    qsizetype shared = 0;
    while (shared + 8 <= limit && std::memcmp(p + shared, r + shared, 8) == 0) shared += 8;
    while (shared < limit && p[shared] == r[shared]) ++shared;
    U32(static_cast<uint32_t>(shared));
    U32(static_cast<uint32_t>(path.size() - shared));
    bytes_.append(p + shared, static_cast<size_t>(path.size() - shared));
  }

 private:
  template <size_t N>
  void Fixed(uint64_t v) {
    char b[N];
    for (size_t i = 0; i < N; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    bytes_.append(b, N);
  }
  std::string& bytes_;
};

// Reads fields from one record's body; every read past the end fails the record.
class In {
 public:
  In(const char* data, size_t size) : p_(data), end_(data + size) {}
  bool Ok() const { return ok_; }
  bool AtEnd() const { return p_ == end_; }
  uint8_t U8() { return static_cast<uint8_t>(Fixed(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Fixed(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Fixed(4)); }
  uint64_t U64() { return Fixed(8); }
  int8_t I8() { return static_cast<int8_t>(U8()); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  int64_t I64() { return static_cast<int64_t>(U64()); }
  FileTime Time() {
    FileTime t;
    t.Seconds = I64();
    t.Nanoseconds = U32();
    if (t.Nanoseconds >= 1000000000) ok_ = false;
    return t;
  }
  QByteArray Bytes() {
    const uint32_t n = U32();
    return Take(n);
  }
  QString Text() { return QString::fromUtf8(Bytes()); }
  QByteArray Path(const QByteArray& reference) {
    const uint32_t shared = U32();
    const uint32_t rest = U32();
    if (!ok_ || shared > static_cast<uint32_t>(reference.size())) {
      ok_ = false;
      return {};
    }
    QByteArray path = reference.left(shared);
    path += Take(rest);
    return path;
  }
  // A path whose reference may be lost (after damage): with a shared part longer than the
  // reference, only the part of its own, and `lost` is set.
  QByteArray PathOrRest(const QByteArray& reference, bool& lost) {
    const uint32_t shared = U32();
    const uint32_t rest = U32();
    if (!ok_) return {};
    lost = shared > static_cast<uint32_t>(reference.size());
    QByteArray path = lost ? QByteArray() : reference.left(shared);
    path += Take(rest);
    return path;
  }

 private:
  uint64_t Fixed(int n) {
    if (!ok_ || end_ - p_ < n) {
      ok_ = false;
      return 0;
    }
    uint64_t v = 0;
    for (int i = 0; i < n; ++i)
      v |= static_cast<uint64_t>(static_cast<unsigned char>(p_[i])) << (8 * i);
    p_ += n;
    return v;
  }
  QByteArray Take(uint32_t n) {
    if (!ok_ || static_cast<uint64_t>(end_ - p_) < n) {
      ok_ = false;
      return {};
    }
    QByteArray b(p_, static_cast<qsizetype>(n));
    p_ += n;
    return b;
  }
  const char* p_;
  const char* end_;
  bool ok_ = true;
};

inline void WriteIdentityCore(Out& out, const FileIdentity& id) {
  out.U64(id.Device);
  out.U64(id.Inode);
  out.I64(id.Size);
}

inline FileIdentity ReadIdentityCore(In& in) {
  FileIdentity id;
  id.Device = in.U64();
  id.Inode = in.U64();
  id.Size = in.I64();
  return id;
}

}  // namespace journal_fields
