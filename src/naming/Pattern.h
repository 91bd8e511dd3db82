#pragma once

#include <QString>
#include <QStringList>

// The small pattern language shared by filter conditions, name replace rules and extension
// rules. One pattern is matched against a text:
//   "?"  any one character (one UTF-16 unit)
//   "#"  one digit "0".."9"
//   "*"  any run of characters, the empty run included; it takes the run that gives the longest
//        total match. In a run of several stars every star after the first takes exactly one
//        character, so "**" needs at least one.
//   anything else matches itself exactly.
// A pattern list holds alternatives separated by "|"; a final "|" is implied, so "a|b" and
// "a|b|" are the same list. Empty alternatives never match.
//
// Positions are 1-based and lengths count UTF-16 units. Case-insensitive operations lower-case
// both sides one UTF-16 unit at a time, so a text never changes its length by it.

struct PatternMatch {
  int Position = 0;  // 1-based start of the match; 0 when there is none
  int Length = 0;    // UTF-16 units taken by the match

  bool Found() const { return Position > 0; }
  bool operator==(const PatternMatch&) const = default;
};

// The leftmost match of `pattern` that starts at or after position `start` (case-sensitive).
// A match needs at least one character at its start, so the empty text never matches; a start
// beyond the end of the text finds nothing. A start below 1 counts as 1.
PatternMatch FindPattern(const QString& text, const QString& pattern, int start = 1);

// The alternatives of a pattern list in order, empty ones included ("a||b" gives "a", "", "b";
// "a|b|" gives "a", "b").
QStringList SplitPatternList(const QString& patternList);

// Whether the whole text matches one alternative of the list: the alternative is found at
// position 1 over the text's full length, or the text equals the alternative with every "*"
// removed (so the empty text matches a list that holds "*").
bool MatchWholeList(const QString& text, const QString& patternList, bool caseSensitive);

// The position at which the first alternative (in list order) that occurs in the text is found,
// even when a later alternative occurs earlier; 0 when none occurs.
int FindList(const QString& text, const QString& patternList, bool caseSensitive);

// Replaces, alternative after alternative, every match by `replacement` (inserted exactly as
// written). The search goes on after each inserted replacement, so a replacement is never
// matched again and "a" -> "aa" cannot loop; a later alternative sees what an earlier one made.
QString ReplaceAll(const QString& text, const QString& patternList, const QString& replacement,
                   bool caseSensitive);
