#include "naming/Pattern.h"

#include "naming/Transform.h"

#include <algorithm>
#include <vector>

namespace {

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// Whether one pattern unit other than "*" takes the text unit.
bool UnitMatches(char16_t p, char16_t c) {
  if (p == u'?') return true;
  if (p == u'#') return IsDigit(c);
  return p == c;
}

const char16_t* Units(const QString& s) {
  return reinterpret_cast<const char16_t*>(s.utf16());
}

// Anchored match of a star-free pattern of length m at text position t (0-based).
bool FixedMatchAt(const char16_t* text, int n, const char16_t* pat, int m, int t) {
  if (t + m > n) return false;
  for (int i = 0; i < m; ++i) {
    if (!UnitMatches(pat[i], text[t + i])) return false;
  }
  return true;
}

// Longest anchored match of a pattern with stars, for every text position at once.
//
// Working from the end of the pattern, row[t] is the length that the pattern suffix takes when
// anchored at text position t, or -1 when it does not match there. A star run chooses, among all
// places where the rest of the pattern matches, the one with the longest total; best[t] keeps the
// largest q + row[q] over q >= t so that choice costs O(1). That makes the whole match
// O(pattern x text) in time and O(text) in memory, so hostile patterns like "*a*a*a*a*b" cannot
// blow up the way backtracking would.
class StarTable {
 public:
  void Build(const char16_t* text, int n, const char16_t* pat, int m) {
    const size_t cells = static_cast<size_t>(n) + 1;
    row_.assign(cells, 0);  // the empty pattern suffix matches everywhere with length 0
    best_.assign(cells, -1);
    work_.assign(cells, -1);
    for (int end = m; end > 0;) {
      int begin = end - 1;
      if (pat[begin] != u'*') {
        work_[static_cast<size_t>(n)] = -1;
        for (int t = 0; t < n; ++t) {
          const int rest = row_[static_cast<size_t>(t) + 1];
          work_[static_cast<size_t>(t)] =
              UnitMatches(pat[begin], text[t]) && rest >= 0 ? rest + 1 : -1;
        }
      } else {
        while (begin > 0 && pat[begin - 1] == u'*') --begin;
        const int run = end - begin;
        FillBest(n);
        for (int t = 0; t <= n; ++t) {
          // Every star after the first takes one character.
          const int from = t + run - 1;
          int length = -1;
          if (from <= n) {
            if (end == m) {
              length = n - t;  // a final star takes the rest of the text
            } else if (from < n && best_[static_cast<size_t>(from)] >= 0) {
              length = best_[static_cast<size_t>(from)] - t;
            }
          }
          work_[static_cast<size_t>(t)] = length;
        }
      }
      row_.swap(work_);
      end = begin;
    }
  }

  int At(int t) const { return row_[static_cast<size_t>(t)]; }

 private:
  void FillBest(int n) {
    // Only places with at least one character count as places where the rest was found.
    int running = -1;
    best_[static_cast<size_t>(n)] = -1;
    for (int t = n - 1; t >= 0; --t) {
      const int l = row_[static_cast<size_t>(t)];
      if (l >= 0) running = std::max(running, t + l);
      best_[static_cast<size_t>(t)] = running;
    }
  }

  std::vector<int> row_;
  std::vector<int> best_;
  std::vector<int> work_;
};

}  // namespace

PatternMatch FindPattern(const QString& text, const QString& pattern, int start) {
  const int n = static_cast<int>(text.size());
  const int m = static_cast<int>(pattern.size());
  if (start < 1) start = 1;
  if (m == 0 || start > n) return {};
  const char16_t* t = Units(text);
  const char16_t* p = Units(pattern);

  const bool hasStar = pattern.contains(QLatin1Char('*'));
  if (!hasStar) {
    if (!pattern.contains(QLatin1Char('?')) && !pattern.contains(QLatin1Char('#'))) {
      const qsizetype at = text.indexOf(pattern, start - 1, Qt::CaseSensitive);
      if (at < 0) return {};
      return {static_cast<int>(at) + 1, m};
    }
    for (int s = start - 1; s + m <= n; ++s) {
      if (FixedMatchAt(t, n, p, m, s)) return {s + 1, m};
    }
    return {};
  }

  // Reused between calls: ReplaceAll and the batch call this for every file.
  // A match only ever looks to the right, so the text before `start` plays no part.
  thread_local StarTable table;
  const int skipped = start - 1;
  table.Build(t + skipped, n - skipped, p, m);
  for (int s = 0; s < n - skipped; ++s) {
    const int l = table.At(s);
    if (l >= 0) return {skipped + s + 1, l};
  }
  return {};
}

QStringList SplitPatternList(const QString& patternList) {
  QStringList parts = patternList.split(QLatin1Char('|'));
  // A final "|" is implied, so a list that ends with one has no extra empty alternative.
  if (patternList.endsWith(QLatin1Char('|'))) parts.removeLast();
  return parts;
}

bool MatchWholeList(const QString& text, const QString& patternList, bool caseSensitive) {
  const QString subject = caseSensitive ? text : LowerCaseUnits(text);
  const QString list = caseSensitive ? patternList : LowerCaseUnits(patternList);
  for (const QString& alternative : SplitPatternList(list)) {
    if (alternative.isEmpty()) continue;
    const PatternMatch match = FindPattern(subject, alternative, 1);
    if (match.Position == 1 && match.Length == subject.size()) return true;
    QString withoutStars = alternative;
    withoutStars.remove(QLatin1Char('*'));
    if (subject == withoutStars) return true;
  }
  return false;
}

int FindList(const QString& text, const QString& patternList, bool caseSensitive) {
  const QString subject = caseSensitive ? text : LowerCaseUnits(text);
  const QString list = caseSensitive ? patternList : LowerCaseUnits(patternList);
  for (const QString& alternative : SplitPatternList(list)) {
    if (alternative.isEmpty()) continue;
    const PatternMatch match = FindPattern(subject, alternative, 1);
    if (match.Found()) return match.Position;
  }
  return 0;
}

QString ReplaceAll(const QString& text, const QString& patternList, const QString& replacement,
                   bool caseSensitive) {
  QString result = text;
  // The search runs on a lower-cased twin that is edited in step with the result; per-unit case
  // mapping keeps both the same length.
  QString twin = caseSensitive ? QString() : LowerCaseUnits(text);
  const QString twinReplacement = caseSensitive ? QString() : LowerCaseUnits(replacement);
  const QString list = caseSensitive ? patternList : LowerCaseUnits(patternList);
  const int step = static_cast<int>(replacement.size());
  for (const QString& alternative : SplitPatternList(list)) {
    if (alternative.isEmpty()) continue;
    int from = 1;
    for (;;) {
      const PatternMatch match = FindPattern(caseSensitive ? result : twin, alternative, from);
      if (!match.Found()) break;
      // Every match takes at least one character, so the text left after `from` shrinks with
      // each round even when the replacement is longer than the match.
      result.replace(match.Position - 1, match.Length, replacement);
      if (!caseSensitive) twin.replace(match.Position - 1, match.Length, twinReplacement);
      from = match.Position + step;
    }
  }
  return result;
}
