#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// Every settings file of the program (the presets file and the language file) starts with the
// same header: the file-name title as a text line, the program version as a 32-bit float and two
// check bytes of 1. A file is only trusted when its header is current, so a file written by
// another program or another version is never misread.
//
// Settings files are small; they are read whole into a SettingsReader and built whole in a
// SettingsWriter, then written in one atomic step.

// Reads little-endian numbers and text lines from a byte buffer. Reading beyond the end never
// touches memory outside the buffer: missing bytes read as zero and a missing text as empty, so a
// file cut short yields the values read so far.
class SettingsReader {
 public:
  explicit SettingsReader(QByteArray bytes) : bytes_(std::move(bytes)) {}

  int8_t ReadInt8();
  int16_t ReadInt16();
  int32_t ReadInt32();
  float ReadFloat();
  // Bytes up to a line feed, a carriage return (a line feed after it is consumed too), a zero
  // byte or the end of the buffer; the terminator is not part of the result.
  QByteArray ReadLine();
  // A text line decoded as UTF-8.
  QString ReadText();

  // Moves the read position back by `count` bytes (never before the start).
  void StepBack(qsizetype count);
  void Rewind() { pos_ = 0; }
  qsizetype Position() const { return pos_; }
  bool AtEnd() const { return pos_ >= bytes_.size(); }

 private:
  uint8_t NextByte();

  QByteArray bytes_;
  qsizetype pos_ = 0;
};

// Appends little-endian numbers and text lines to a byte buffer.
class SettingsWriter {
 public:
  void WriteInt8(int8_t value);
  void WriteInt16(int16_t value);
  void WriteInt32(int32_t value);
  void WriteFloat(float value);
  // The bytes followed by one line feed.
  void WriteLine(const QByteArray& line);
  // The text as UTF-8 followed by one line feed. A line end inside the text would end the line
  // early and shift every later field, so CR and LF are written as spaces.
  void WriteText(const QString& text);

  const QByteArray& Bytes() const { return bytes_; }

 private:
  QByteArray bytes_;
};

// The numeric value of a version text such as "2.0" or "2.10 beta": the leading decimal number,
// 0 when there is none.
float HeaderVersionValue(const QString& versionText);

struct SettingsHeader {
  QByteArray Name;          // the stored name line
  float StoredVersion = 0;  // the stored version, whatever it is
  bool NameMatches = false;
  bool ChecksMatch = false;     // both check bytes are 1
  bool VersionMatches = false;  // exactly the program's version, compared as 32-bit floats

  // Written by a program of this name, but possibly by another version of it.
  bool IsOurs() const { return NameMatches && ChecksMatch; }
  // Written by exactly this version: the only header whose contents are read as current.
  bool IsCurrent() const { return IsOurs() && VersionMatches; }
};

// Writes the header for a program whose file-name title is `fileNameTitle` and whose version
// text is `versionText`.
void WriteHeader(SettingsWriter& out, const QString& fileNameTitle, const QString& versionText);
// The same with the running program's title and version (ProductTexts entries 2 and 4).
void WriteHeader(SettingsWriter& out);

// Reads the header at the reader's position. The result says both whether the header is current
// and, for an older file of the same program, which version wrote it.
SettingsHeader ReadHeader(SettingsReader& in, const QString& fileNameTitle,
                          const QString& versionText);
SettingsHeader ReadHeader(SettingsReader& in);

// The version a header names, as its version text would give it ("1.0", "2.0", "2.25"): a
// number above 0 and below 1000 with at most two decimal places, stored exactly as that text
// gives it. Empty for anything else (a damaged header, or none that any version writes).
QString StoredVersionName(float storedVersion);

// No valid settings file comes anywhere near this size (a presets file of nine presets with
// long rule lists takes some kilobytes); a larger file is damaged and never read into memory.
inline constexpr int64_t kMaxSettingsFileSize = int64_t{64} << 20;

// The whole content of a settings file; nothing when it cannot be opened or read, when it is no
// regular file (a FIFO in its place is refused at once, never waited on) or when it is larger
// than kMaxSettingsFileSize.
std::optional<QByteArray> ReadSettingsFile(const QString& path);
// Replaces a settings file in one step: the bytes go to a temporary file beside it, which is
// synced and renamed over the old one, so a crash or a full disk never leaves a half-written
// file. A link at the name is kept and the file it leads to replaced. Returns false (and leaves
// the old file as it was) when anything fails.
bool WriteSettingsFile(const QString& path, const QByteArray& bytes);
