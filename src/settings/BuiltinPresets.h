#pragma once

#include "records/Preset.h"

#include <QList>

// The working preset 0: the defaults of every setting, named by the language table.
Preset WorkingPreset();

// The three presets that stand in for a missing or unusable presets file, numbered 1 to 3 and
// named by the language table. Each differs from the defaults only where its task needs it; the
// rule lists come from the shipped name and extension correction tables.
QList<Preset> BuiltinPresets();
