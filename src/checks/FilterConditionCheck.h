#pragma once

#include "records/Preset.h"

#include <QString>

// The language-table entry that names what a filter condition of this kind tests (the folder,
// the name, the extension, the size, a part of the date); -1 for kinds that name nothing.
int ConditionKindCaptionEntry(int kind);
// The caption itself, empty for kinds that name nothing.
QString ConditionKindCaption(int kind);
