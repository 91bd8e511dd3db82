#include "settings/SettingsHeader.h"

#include "platform/FileOps.h"
#include "texts/TextTables.h"

#include <cmath>
#include <cstring>
#include <utility>

uint8_t SettingsReader::NextByte() {
  if (pos_ >= bytes_.size()) {
    // Keep counting past the end so that StepBack after an over-read lands where it should.
    ++pos_;
    return 0;
  }
  return static_cast<uint8_t>(bytes_[pos_++]);
}

int8_t SettingsReader::ReadInt8() {
  return static_cast<int8_t>(NextByte());
}

int16_t SettingsReader::ReadInt16() {
  uint16_t value = NextByte();
  value = static_cast<uint16_t>(value | (NextByte() << 8));
  return static_cast<int16_t>(value);
}

int32_t SettingsReader::ReadInt32() {
  uint32_t value = 0;
  for (int shift = 0; shift < 32; shift += 8) value |= static_cast<uint32_t>(NextByte()) << shift;
  return static_cast<int32_t>(value);
}

float SettingsReader::ReadFloat() {
  const int32_t raw = ReadInt32();
  float value = 0;
  std::memcpy(&value, &raw, sizeof value);
  return value;
}

QByteArray SettingsReader::ReadLine() {
  const qsizetype start = pos_;
  qsizetype end = start;
  while (end < bytes_.size()) {
    const char c = bytes_[end];
    if (c == '\n' || c == '\r' || c == '\0') break;
    ++end;
  }
  QByteArray line = start < bytes_.size() ? bytes_.mid(start, end - start) : QByteArray();
  pos_ = end;
  if (pos_ < bytes_.size()) {
    const char terminator = bytes_[pos_++];
    if (terminator == '\r' && pos_ < bytes_.size() && bytes_[pos_] == '\n') ++pos_;
  }
  return line;
}

QString SettingsReader::ReadText() {
  return QString::fromUtf8(ReadLine());
}

void SettingsReader::StepBack(qsizetype count) {
  pos_ = pos_ > count ? pos_ - count : 0;
}

void SettingsWriter::WriteInt8(int8_t value) {
  bytes_.append(static_cast<char>(value));
}

void SettingsWriter::WriteInt16(int16_t value) {
  const auto raw = static_cast<uint16_t>(value);
  bytes_.append(static_cast<char>(raw & 0xFF));
  bytes_.append(static_cast<char>(raw >> 8));
}

void SettingsWriter::WriteInt32(int32_t value) {
  const auto raw = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8)
    bytes_.append(static_cast<char>((raw >> shift) & 0xFF));
}

void SettingsWriter::WriteFloat(float value) {
  int32_t raw = 0;
  std::memcpy(&raw, &value, sizeof raw);
  WriteInt32(raw);
}

void SettingsWriter::WriteLine(const QByteArray& line) {
  bytes_.append(line);
  bytes_.append('\n');
}

void SettingsWriter::WriteText(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  // A zero byte would end the line on reading just like a line end does.
  for (char& c : utf8) {
    if (c == '\n' || c == '\r' || c == '\0') c = ' ';
  }
  WriteLine(utf8);
}

float HeaderVersionValue(const QString& versionText) {
  const QString text = versionText.trimmed();
  qsizetype end = 0;
  bool seenDot = false;
  while (end < text.size()) {
    const QChar c = text[end];
    if (c.isDigit() && c.unicode() < 128) {
      ++end;
    } else if (c == u'.' && !seenDot) {
      seenDot = true;
      ++end;
    } else {
      break;
    }
  }
  bool ok = false;
  // QString::toFloat always reads the C form ("." as decimal point), whatever the locale.
  const float value = text.left(end).toFloat(&ok);
  return ok ? value : 0.0f;
}

QString StoredVersionName(float storedVersion) {
  if (!std::isfinite(storedVersion) || storedVersion <= 0.0f || storedVersion >= 1000.0f) return {};
  const long hundredths = std::lround(static_cast<double>(storedVersion) * 100.0);
  // Only a value that a version text gives exactly: 2.0000002 is a damaged 2.0, not a version.
  const QString text = QString::number(hundredths / 100) + QLatin1Char('.') +
                       (hundredths % 10 == 0 ? QString::number(hundredths % 100 / 10)
                                             : QStringLiteral("%1").arg(hundredths % 100, 2, 10,
                                                                        QLatin1Char('0')));
  return HeaderVersionValue(text) == storedVersion ? text : QString();
}

void WriteHeader(SettingsWriter& out, const QString& fileNameTitle, const QString& versionText) {
  out.WriteLine(fileNameTitle.toUtf8());
  out.WriteFloat(HeaderVersionValue(versionText));
  out.WriteInt8(1);
  out.WriteInt8(1);
}

void WriteHeader(SettingsWriter& out) {
  WriteHeader(out, ProductTexts[2], ProductTexts[4]);
}

SettingsHeader ReadHeader(SettingsReader& in, const QString& fileNameTitle,
                          const QString& versionText) {
  SettingsHeader header;
  header.Name = in.ReadLine();
  header.StoredVersion = in.ReadFloat();
  const int8_t check1 = in.ReadInt8();
  const int8_t check2 = in.ReadInt8();
  header.NameMatches = !fileNameTitle.isEmpty() && header.Name == fileNameTitle.toUtf8();
  header.ChecksMatch = check1 == 1 && check2 == 1;
  header.VersionMatches = header.StoredVersion == HeaderVersionValue(versionText);
  return header;
}

SettingsHeader ReadHeader(SettingsReader& in) {
  return ReadHeader(in, ProductTexts[2], ProductTexts[4]);
}

std::optional<QByteArray> ReadSettingsFile(const QString& path) {
  FileReadResult read = ReadWholeFile(path, kMaxSettingsFileSize);
  if (!read.Ok()) return std::nullopt;
  return std::move(read.Bytes);
}

bool WriteSettingsFile(const QString& path, const QByteArray& bytes) {
  // A settings file kept elsewhere behind a link (dotfile managers do this) is replaced where it
  // lies, so the link survives the save.
  return WriteFileAtomically(path, bytes, LinkAtName::ReplaceWhereItPoints) == 0;
}
