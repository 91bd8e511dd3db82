#include "settings/Preset.h"

void Preset::CopySettingsFrom(const Preset& from) {
  // QList and QString have value semantics (copy on write), so the assignment is a deep copy:
  // editing a rule of one preset is never seen through another.
  const int8_t number = PresetNumber;
  const QString name = PresetName;
  *this = from;
  PresetNumber = number;
  PresetName = name;
}
