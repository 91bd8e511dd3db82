#pragma once

#include <QString>

#include <array>

// Every text the user reads is addressed by table and entry number.
inline constexpr int kProductTextCount = 56;
inline constexpr int kLanguageTextCount = 371;

// Filled at start-up (empty until then); a language change overwrites LanguageTable whole.
extern std::array<QString, kProductTextCount> ProductTexts;
extern std::array<QString, kLanguageTextCount> LanguageTable;

// The text of an entry; empty for a number outside the table (a caption lookup that found none).
inline QString LanguageText(int entry) {
  return entry >= 0 && entry < kLanguageTextCount ? LanguageTable[static_cast<size_t>(entry)]
                                                  : QString();
}
inline QString ProductText(int entry) {
  return entry >= 0 && entry < kProductTextCount ? ProductTexts[static_cast<size_t>(entry)]
                                                 : QString();
}

// A text of Mervane's own additions (kAdd... of texts/AdditionEntries.h) in the language of the
// loaded language table; empty for a number that names none. Before a language table is loaded:
// English.
QString AdditionText(int entry);

// Language indices.
inline constexpr int kLanguageGerman = 0;
inline constexpr int kLanguageEnglish = 1;
