#pragma once

#include <QByteArray>
#include <QString>

#include <string_view>

// A Linux file name is any byte string, not always UTF-8. Every name passes through this one
// pair of functions so that each existing file can be loaded, renamed and found again: valid
// UTF-8 decodes as usual, every other byte becomes the lone surrogate U+DC80 + byte, and
// encoding turns such a surrogate back into its byte. Text a user typed is written as UTF-8.

QString DecodeFileName(std::string_view bytes);
inline QString DecodeFileName(const QByteArray& bytes) {
  return DecodeFileName(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}
QByteArray EncodeFileName(const QString& name);

// The last part of a path, case-folded: how a name the run may have written to is remembered,
// so that a file of that name is found in any folder (a link may lead there) and under any
// spelling (a file system may ignore case).
inline QString FoldedFileName(const QString& path) {
  return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toCaseFolded();
}

// A name or path in a form that is safe to show in a line of text (a report, a listing): valid
// UTF-8 once encoded, and nothing in it can end the line or hide a character. A backslash is
// written "\\", a tab, line feed or carriage return "\t", "\n" or "\r", and every other
// control character (C0, DEL, C1, the Unicode line and paragraph separators) and every byte that
// is not UTF-8 "\xHH", byte by byte, so that the form reads back to exactly one name.
QString EscapedFileName(const QString& name);
