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
