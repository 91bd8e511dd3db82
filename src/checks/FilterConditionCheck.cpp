#include "checks/FilterConditionCheck.h"

#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"

#include <array>

namespace {

// Kinds 0..9: folder, name, extension, size in KB, second, minute, hour, day, month, year.
constexpr std::array<int, 10> kKindCaptionEntries = {
    kTextWordFolder, kTextWordFileName, kTextWordExtension, kTextWordSizeKB, kTextWordSecond,
    kTextWordMinute, kTextWordHour,     kTextWordDay,       kTextWordMonth,  kTextWordYear};

}  // namespace

int ConditionKindCaptionEntry(int kind) {
  return kind >= 0 && kind < static_cast<int>(kKindCaptionEntries.size())
             ? kKindCaptionEntries[static_cast<size_t>(kind)]
             : -1;
}

QString ConditionKindCaption(int kind) {
  return LanguageText(ConditionKindCaptionEntry(kind));
}
