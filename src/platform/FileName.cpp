#include "platform/FileName.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // byte b (0x80..0xFF) becomes U+DC00 + b

// Length of the valid UTF-8 sequence at s[i], or 0 when the byte there does not start one.
// Strict: no overlong forms, no encoded surrogates, nothing above U+10FFFF.
int ValidSequenceLength(std::string_view s, size_t i, char32_t& cp) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t b0 = byte(i);
  const size_t left = s.size() - i;
  const auto cont = [&](size_t k) { return (byte(k) & 0xC0) == 0x80; };
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    if (left < 2 || !cont(i + 1)) return 0;
    cp = (char32_t(b0 & 0x1F) << 6) | (byte(i + 1) & 0x3F);
    return 2;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    if (left < 3 || !cont(i + 1) || !cont(i + 2)) return 0;
    const uint8_t b1 = byte(i + 1);
    if (b0 == 0xE0 && b1 < 0xA0) return 0;  // overlong
    if (b0 == 0xED && b1 > 0x9F) return 0;  // UTF-16 surrogate
    cp = (char32_t(b0 & 0x0F) << 12) | (char32_t(b1 & 0x3F) << 6) | (byte(i + 2) & 0x3F);
    return 3;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    if (left < 4 || !cont(i + 1) || !cont(i + 2) || !cont(i + 3)) return 0;
    const uint8_t b1 = byte(i + 1);
    if (b0 == 0xF0 && b1 < 0x90) return 0;  // overlong
    if (b0 == 0xF4 && b1 > 0x8F) return 0;  // above U+10FFFF
    cp = (char32_t(b0 & 0x07) << 18) | (char32_t(b1 & 0x3F) << 12) |
         (char32_t(byte(i + 2) & 0x3F) << 6) | (byte(i + 3) & 0x3F);
    return 4;
  }
  return 0;
}

bool IsUtf8Continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at `bytes[i]`, 0 when none starts there.
int Utf8SequenceLength(const QByteArray& bytes, qsizetype i) {
  const auto b = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = b(i);
  int length = 0;
  uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  for (int k = 1; k < length; ++k) {
    if (!IsUtf8Continuation(b(i + k))) return 0;
    code = (code << 6) | (b(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
  if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
      (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  // Control characters that a reader might take for a line end stay escaped.
  if ((code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029) return 0;
  return length;
}

}  // namespace

QString DecodeFileName(std::string_view bytes) {
  QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  char16_t* dst = reinterpret_cast<char16_t*>(out.data());
  char16_t* const begin = dst;
  size_t i = 0;
  while (i < bytes.size()) {
    const auto b = static_cast<uint8_t>(bytes[i]);
    if (b < 0x80) {
      *dst++ = b;
      ++i;
      continue;
    }
    char32_t cp = 0;
    const int n = ValidSequenceLength(bytes, i, cp);
    if (n == 0) {
      *dst++ = static_cast<char16_t>(kEscapeBase + b);
      ++i;
    } else if (cp >= 0x10000) {
      // A 4-byte sequence is one surrogate pair: never more UTF-16 units than bytes.
      cp -= 0x10000;
      *dst++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *dst++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
      i += static_cast<size_t>(n);
    } else {
      *dst++ = static_cast<char16_t>(cp);
      i += static_cast<size_t>(n);
    }
  }
  out.truncate(dst - begin);
  return out;
}

QByteArray EncodeFileName(const QString& name) {
  const char16_t* s = reinterpret_cast<const char16_t*>(name.constData());
  const qsizetype n = name.size();
  // Every path to the system passes through here, so it writes straight into the buffer: at
  // most three bytes per UTF-16 unit (a surrogate pair takes four bytes for two units).
  QByteArray out(n * 3, Qt::Uninitialized);
  char* dst = out.data();
  char* const begin = dst;
  const auto put = [&dst](char32_t cp) {
    if (cp < 0x80) {
      *dst++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
      *dst++ = static_cast<char>(0xC0 | (cp >> 6));
      *dst++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *dst++ = static_cast<char>(0xE0 | (cp >> 12));
      *dst++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *dst++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *dst++ = static_cast<char>(0xF0 | (cp >> 18));
      *dst++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *dst++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *dst++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
  };
  qsizetype i = 0;
  // Most paths are plain ASCII: eight units at a time while they are.
  for (; i + 8 <= n; i += 8) {
    uint64_t low = 0;
    uint64_t high = 0;
    std::memcpy(&low, s + i, sizeof low);
    std::memcpy(&high, s + i + 4, sizeof high);
    if (((low | high) & 0xFF80FF80FF80FF80ull) != 0) break;
    for (int k = 0; k < 8; ++k) dst[k] = static_cast<char>(s[i + k]);
    dst += 8;
  }
  for (; i < n; ++i) {
    const char16_t u = s[i];
    if (u < 0x80) {
      *dst++ = static_cast<char>(u);
    } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 &&
               s[i + 1] <= 0xDFFF) {
      put(0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00));
      ++i;
    } else if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
      *dst++ = static_cast<char>(u - kEscapeBase);  // an escaped raw byte
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      put(0xFFFD);  // any other lone surrogate has no byte form
    } else {
      put(u);
    }
  }
  out.truncate(dst - begin);
  return out;
}

QString EscapedFileName(const QString& name) {
  static const char kHex[] = "0123456789ABCDEF";
  const QByteArray bytes = EncodeFileName(name);
  QByteArray out;
  out.reserve(bytes.size());
  for (qsizetype i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte == '\\') {
      out += "\\\\";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte >= 0x20 && byte < 0x7F) {
      out += static_cast<char>(byte);
    } else if (const int length = byte >= 0x80 ? Utf8SequenceLength(bytes, i) : 0; length > 0) {
      out += bytes.mid(i, length);
      i += length;
      continue;
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
    ++i;
  }
  return QString::fromUtf8(out);
}
