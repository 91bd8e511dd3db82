#pragma once

#include <QString>

#include <ostream>

// Lets failing expectations show texts as text rather than as arrays of 2-byte objects.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toUtf8().constData() << '"';
}
