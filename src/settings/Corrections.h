#pragma once

#include "records/Preset.h"

#include <QList>

// The two rule tables that ship with the program, as ready-made rule lists for the built-in
// presets. Rows marked active carry ItemState 2 (in force), the others 0. Row order is the order
// of application.

// Unifies variant extensions (jpeg -> jpg, htm -> html, ...). Five rows; the split-archive row
// "r##" -> "rar" is present but off.
QList<ExtensionCorrection> ExtensionCorrectionTable();

// Turns names into plain, web-safe names: removes special characters, unifies separators to "-",
// spells out accented letters. Sixteen rows; the first (articles and conjunctions) is off.
QList<TextReplacement> NameCorrectionTable();
