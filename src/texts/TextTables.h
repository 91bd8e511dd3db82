#pragma once

#include <QString>

#include <array>

// Every text the user reads is addressed by table and entry number.
inline constexpr int kProductTextCount = 56;
inline constexpr int kLanguageTextCount = 371;

// Filled at start-up (empty until then); a language change overwrites LanguageTable whole.
extern std::array<QString, kProductTextCount> ProductTexts;
extern std::array<QString, kLanguageTextCount> LanguageTable;

// Language indices.
inline constexpr int kLanguageGerman = 0;
inline constexpr int kLanguageEnglish = 1;
