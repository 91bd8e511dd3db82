#include "naming/Pattern.h"

#include "support/QtPrinters.h"
#include "support/Texts.h"

#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <random>
#include <set>
#include <string>

namespace {

struct FindRow {
  const char* text;
  const char* pattern;
  int start;
  int position;
  int length;
};

TEST(FindPattern, Table) {
  const FindRow rows[] = {
      // "?" and "#"
      {"file7a", "#", 1, 5, 1},
      {"file7a", "##", 1, 0, 0},
      {"file07a", "##", 1, 5, 2},
      {"abc", "?", 1, 1, 1},
      {"abc", "b?", 1, 2, 2},
      {"abc", "c?", 1, 0, 0},  // "?" needs a character
      {"abc", "", 1, 0, 0},
      {"", "*", 1, 0, 0},  // the empty text never matches here
      // "*" is greedy over the total match
      {"abcbc", "a*c", 1, 1, 5},
      {"ab", "a**b", 1, 0, 0},
      {"axb", "a**b", 1, 1, 3},
      {"abc", "*", 1, 1, 3},
      {"abc", "b*", 1, 2, 2},
      {"abc", "***", 1, 1, 3},
      {"ab", "***", 1, 1, 2},
      {"a", "***", 1, 0, 0},
      {"x(a)y(b)z", "(*)", 1, 2, 7},
      {"aaa", "*aa", 1, 1, 3},  // every place of the rest counts, not only after a found match
      {"aXbYb", "*b", 1, 1, 5},
      {"a1b22c", "*#", 1, 1, 5},
      {"xyz", "*q", 1, 0, 0},
      // start position
      {"banana", "an", 3, 4, 2},
      {"banana", "an", 5, 0, 0},
      {"banana", "a", 7, 0, 0},
      {"banana", "a", 0, 2, 1},
      {"banana", "n*", 4, 5, 2},
      // case-sensitive here
      {"ABC", "b", 1, 0, 0},
  };
  for (const FindRow& row : rows) {
    const PatternMatch m = FindPattern(Q(row.text), Q(row.pattern), row.start);
    EXPECT_EQ(m.Position, row.position) << row.text << " / " << row.pattern << " @" << row.start;
    EXPECT_EQ(m.Length, row.length) << row.text << " / " << row.pattern << " @" << row.start;
  }
}

// An independent reference: simulate the pattern as a nondeterministic automaton (each star after
// the first in a run is rewritten to "?") and take the longest reachable end at the leftmost start
// that reaches any end. The greedy rule of the matcher must give exactly that.
PatternMatch Reference(const std::u16string& text, std::u16string pattern, int start) {
  for (size_t i = 1; i < pattern.size(); ++i) {
    if (pattern[i] == u'*' && (pattern[i - 1] == u'*' || pattern[i - 1] == u'\x01')) {
      pattern[i] = u'\x01';  // "one character" stand-in
    }
  }
  for (char16_t& c : pattern) {
    if (c == u'\x01') c = u'?';
  }
  const size_t m = pattern.size();
  const int n = static_cast<int>(text.size());
  if (m == 0) return {};
  auto closure = [&](std::set<size_t> states) {
    std::set<size_t> out;
    while (!states.empty()) {
      const size_t p = *states.begin();
      states.erase(states.begin());
      if (!out.insert(p).second) continue;
      if (p < m && pattern[p] == u'*') states.insert(p + 1);
    }
    return out;
  };
  for (int s = std::max(start, 1) - 1; s < n; ++s) {
    std::set<size_t> states = closure({0});
    int best = -1;
    for (int t = s;; ++t) {
      if (states.count(m)) best = t - s;
      if (t == n || states.empty()) break;
      std::set<size_t> next;
      for (size_t p : states) {
        if (p == m) continue;
        const char16_t c = pattern[p];
        const char16_t x = text[static_cast<size_t>(t)];
        if (c == u'*') {
          next.insert(p);
        } else if (c == u'?' || (c == u'#' && x >= u'0' && x <= u'9') || c == x) {
          next.insert(p + 1);
        }
      }
      states = closure(next);
    }
    if (best >= 0) return {s + 1, best};
  }
  return {};
}

TEST(FindPattern, AgreesWithReferenceOnRandomInputs) {
  std::mt19937 rng(20240607);
  const std::u16string textAlphabet = u"ab1";
  const std::u16string patternAlphabet = u"ab1?#***";
  for (int round = 0; round < 20000; ++round) {
    std::u16string text(rng() % 9, u' ');
    for (char16_t& c : text) c = textAlphabet[rng() % textAlphabet.size()];
    std::u16string pattern(1 + rng() % 6, u' ');
    for (char16_t& c : pattern) c = patternAlphabet[rng() % patternAlphabet.size()];
    const int start = 1 + static_cast<int>(rng() % 3);
    const QString qText = QString::fromStdU16String(text);
    const QString qPattern = QString::fromStdU16String(pattern);
    const PatternMatch expected = Reference(text, pattern, start);
    const PatternMatch got = FindPattern(qText, qPattern, start);
    ASSERT_EQ(got, expected) << "text '" << qText.toStdString() << "' pattern '"
                             << qPattern.toStdString() << "' start " << start;
  }
}

TEST(FindPattern, HostilePatternGivesTheRightAnswer) {
  const QString as(250, QLatin1Char('a'));
  EXPECT_FALSE(FindPattern(as, Q("*a*a*a*a*a*a*b")).Found());
  const PatternMatch m = FindPattern(as + QLatin1Char('b'), Q("*a*a*a*a*a*a*b"));
  EXPECT_EQ(m, (PatternMatch{1, 251}));
  EXPECT_TRUE(MatchWholeList(as + QLatin1Char('b'), Q("x|*a*a*a*a*a*a*a*a*a*a*b"), true));
}

struct WholeRow {
  const char* text;
  const char* list;
  bool caseSensitive;
  bool expected;
};

TEST(MatchWholeList, Table) {
  const WholeRow rows[] = {
      {"jpeg", "jif|jiff|jpe|jpeg|jps", false, true},
      {"jpeg2", "jif|jiff|jpe|jpeg|jps", false, false},
      {"JPEG", "jif|jiff|jpe|jpeg|jps", false, true},
      {"JPEG", "jif|jiff|jpe|jpeg|jps", true, false},
      {"jp", "jif|jiff|jpe|jpeg|jps", false, false},
      {"", "x|*", false, true},
      {"", "x|**", false, true},
      {"", "a||b", false, false},  // an empty alternative matches nothing
      {"", "", false, false},
      {"a", "a**", false, true},  // equal once the stars are gone
      {"r00", "r##", false, true},
      {"r1", "r##", false, false},
      {"rxx", "r##", false, false},
      {"photo.jpg", "*.jpg", false, true},
      {"photo.jpg.bak", "*.jpg", false, false},
      {"abab", "*b", true, true},
      {"abc", "a?c|zz", true, true},
  };
  for (const WholeRow& row : rows) {
    EXPECT_EQ(MatchWholeList(Q(row.text), Q(row.list), row.caseSensitive), row.expected)
        << row.text << " / " << row.list;
  }
}

TEST(FindList, FirstAlternativeInListOrderWins) {
  EXPECT_EQ(FindList(Q("xxbxa"), Q("a|b"), true), 5);
  EXPECT_EQ(FindList(Q("xxbxa"), Q("q||b"), true), 3);
  EXPECT_EQ(FindList(Q("xxBxa"), Q("b"), false), 3);
  EXPECT_EQ(FindList(Q("xxBxa"), Q("b"), true), 0);
  EXPECT_EQ(FindList(Q("abc"), Q(""), true), 0);
}

struct ReplaceRow {
  const char* text;
  const char* list;
  const char* replacement;
  bool caseSensitive;
  const char* expected;
};

TEST(ReplaceAll, Table) {
  const ReplaceRow rows[] = {
      {"banana", "a", "aa", true, "baanaanaa"},  // continues after the replacement
      {"banana", "an", "n", true, "bnna"},
      {"my_file.name", ".| |_", " ", false, "my file name"},
      {"my_file.name", ".| |_", "", false, "myfilename"},
      {"x(a)y(b)z", "(*)", "", true, "xz"},  // greedy: first "(" to last ")"
      {"abc", "b|c", "x", true, "axx"},
      {"abc", "b|x", "c", true, "acc"},
      {"abc", "b|c", "c", true, "acc"},  // a later alternative sees earlier results
      {"Hello HELLO hello", "hello", "bye", false, "bye bye bye"},
      {"Hello HELLO hello", "hello", "bye", true, "Hello HELLO bye"},
      {"AbAb", "a", "X", false, "XbXb"},
      {"keepCase", "CASE", "Case", false, "keepCase"},
      {"img001", "###", "n", true, "imgn"},
      {"a----b", "---|--", "-", true, "a-b"},
      {"aaa", "a", "", true, ""},
      {"abc", "", "x", true, "abc"},
      {"abc", "a||c", "x", true, "xbx"},
      {"", "*", "x", true, ""},
  };
  for (const ReplaceRow& row : rows) {
    EXPECT_EQ(ReplaceAll(Q(row.text), Q(row.list), Q(row.replacement), row.caseSensitive),
              Q(row.expected))
        << row.text << " / " << row.list << " -> " << row.replacement;
  }
}

}  // namespace
