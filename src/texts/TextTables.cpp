#include "texts/TextTables.h"

// Both tables start with every entry empty; LoadProductTexts and LoadLanguageTable fill them.
std::array<QString, kProductTextCount> ProductTexts;
std::array<QString, kLanguageTextCount> LanguageTable;
