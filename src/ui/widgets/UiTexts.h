#pragma once

#include <QString>

// Captions of the window come from the language table by entry number.

// The text of a language-table entry as it stands (menu captions keep their "&" mnemonics).
QString Caption(int entry);

// The text with every "&" removed: for titles, tooltips and texts that are no captions.
QString PlainCaption(int entry);
QString WithoutMnemonics(QString text);

// A key combination written with the language table's word for the Control key (entry 0),
// e.g. "Ctrl+D" or "Strg+D".
QString CtrlKeyText(const QString& key);
