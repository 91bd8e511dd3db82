#include "records/Preset.h"

#include "records/PresetFields.h"

#include <type_traits>

namespace {

// True when every number of `record` lies in its row's range, the rules of its lists included.
template <typename Record>
bool FieldsInRange(const Record& record) {
  bool inRange = true;
  ForEachField(record, [&inRange](const auto& row, const auto& value) {
    using Value = std::remove_cvref_t<decltype(value)>;
    if constexpr (std::is_integral_v<Value>) {
      if (value < row.Low || value > row.High) inRange = false;
    } else if constexpr (!std::is_same_v<Value, QString>) {
      for (const auto& rule : value)
        if (!FieldsInRange(rule)) inRange = false;
    }
  });
  return inRange;
}

}  // namespace

void Preset::CopySettingsFrom(const Preset& from) {
  // QList and QString have value semantics (copy on write), so the assignment is a deep copy:
  // editing a rule of one preset is never seen through another.
  const int8_t number = PresetNumber;
  const QString name = PresetName;
  *this = from;
  PresetNumber = number;
  PresetName = name;
}

int ValidateRanges(const Preset& s) {
  return FieldsInRange(s) ? 1 : 0;
}
