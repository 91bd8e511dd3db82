#pragma once

#include "records/Preset.h"

#include <QList>
#include <QString>

class QRandomGenerator;

// Text transformations applied to a file's name before it enters the name template.
// Positions are 1-based; case mapping is the simple per-UTF-16-unit mapping, which never
// changes a text's length.

// Per-unit lower and upper case (QChar's simple mapping, locale-independent).
QString LowerCaseUnits(const QString& text);
QString UpperCaseUnits(const QString& text);

// Cuts `count` characters out of the name. From the start, `position` is the first character
// removed; from the end, position 1 is the last character and names the last character removed.
// A position or count below 1, or a position beyond the end, leaves the name unchanged; a count
// larger than the rest removes up to the end (from the start) or everything before the kept tail
// (from the end).
QString RemoveCharacters(const QString& name, int position, int count, bool fromEnd);

// Inserts `text` before character `position` (from the start), or before character
// length - position + 2 (from the end: position 1 appends, 2 goes before the last character).
// Insertion points below 1 insert at the start, points beyond the end append.
QString InsertIntoName(const QString& name, const QString& text, int position, bool fromEnd);

enum CaseMode : int {
  kCaseLower = 0,
  kCaseUpper = 1,
  kCaseWords = 2,     // first character and every character after a word separator upper
  kCaseSentence = 3,  // first character after the leading skip set upper, the rest lower
  kCaseSwap = 4,      // characters equal to their upper case become lower, the others upper
  kCaseRandom = 5,    // each character upper or lower with equal chance
};

// Characters after which case mode 2 starts a new word.
inline constexpr char16_t kWordSeparators[] = u" ._-+(),;&@!~#";
// Leading characters that case mode 3 leaves alone before the first character it capitalises.
inline constexpr char16_t kSentenceSkip[] = u" ._-+(),;&#~@!0123456789";

// Changes the letter case in one of the six modes; an unknown mode leaves the name unchanged.
// Mode 5 draws from `random`, or from the process-wide generator when it is null; pass a
// seeded generator for a repeatable result.
QString ChangeCase(const QString& name, int mode, QRandomGenerator* random = nullptr);

// Runs every active rule (ItemState bit value 2) in list order: a wildcard rule through a
// case-insensitive ReplaceAll with the rule's search list and replacement, a regular expression
// as NameRules does (its placeholders left as written). A name an expression gave up on stays.
QString ApplyReplacements(const QString& name, const QList<TextReplacement>& rules);

// Tries every active extension rule in list order against the whole current extension
// (case-insensitive MatchWholeList); a matching rule replaces the extension by its new extension
// as written, and later rules see the new value.
QString ApplyExtensionCorrections(const QString& extension,
                                  const QList<ExtensionCorrection>& rules);
