#pragma once

#include "support/QtPrinters.h"

#include <QString>

#include <string>

// A text written in a test as UTF-8.
inline QString Q(const char* text) {
  return QString::fromUtf8(text);
}

// A text as UTF-8 bytes: the arguments and the output of the real program.
inline std::string Utf8(const QString& text) {
  return text.toUtf8().toStdString();
}
