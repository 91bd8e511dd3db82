#include "naming/NameRules.h"
#include "naming/RuleRegex.h"
#include "naming/Transliteration.h"

#include "texts/TextTables.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <vector>

namespace {

TextReplacement Regex(const char* pattern, const char* replacement,
                      int8_t expression = kExpressionRegex) {
  return {kItemChecked, QString::fromUtf8(pattern), QString::fromUtf8(replacement), expression};
}

struct ReplaceRow {
  const char* what;
  TextReplacement rule;
  const char* name;
  const char* expected;
};

TEST(RuleRegex, ReplaceRulesFillGroupsAndKeepCaseAsTheRuleSays) {
  const std::vector<ReplaceRow> rows = {
      {"numbered groups swap", Regex("(\\w+)-(\\w+)", "$2-$1"), "left-right", "right-left"},
      {"named group", Regex("(?<year>\\d{4})_(?<rest>.*)", "${rest} ${year}"), "2021_trip",
       "trip 2021"},
      {"group by number in braces", Regex("(a)(b)", "${2}${1}"), "xaby", "xbay"},
      {"whole match", Regex("\\d+", "[$0]"), "a1b22", "a[1]b[22]"},
      {"dollar written twice", Regex("usd", "$$"), "10usd", "10$"},
      {"lone dollar stays", Regex("x", "$ "), "axb", "a$ b"},
      {"two digits only when the group exists", Regex("(a)", "$10"), "a", "a0"},
      {"no group in the replacement", Regex("[aeiou]", ""), "banana", "bnn"},
      {"every match, not only the first", Regex("a", "o"), "banana", "bonono"},
      {"case ignored by default", Regex("ABC", "x"), "abc-ABC", "x-x"},
      {"case significant when asked", Regex("ABC", "x", kExpressionRegexCaseSensitive), "abc-ABC",
       "abc-x"},
      {"unicode letters are word characters", Regex("\\w+", "w"), "Łódź Москва", "w w"},
      {"empty matches between characters, as Perl", Regex("x*", "-"), "ab", "-a-b-"},
      {"no match leaves the name", Regex("zzz", "y"), "name", "name"},
      {"anchors see the whole name", Regex("^(.)", "[$1]"), "abc", "[a]bc"},
  };
  for (const ReplaceRow& row : rows) {
    SCOPED_TRACE(row.what);
    const NameRules rules({row.rule}, {}, false);
    const NameRules::Result result = rules.ApplyReplacements(QString::fromUtf8(row.name));
    EXPECT_FALSE(result.GaveUp());
    EXPECT_EQ(RestoreDataPercent(result.Text).toStdString(), row.expected);
  }
}

TEST(RuleRegex, PlaceholdersOfTheReplacementExpandBeforeTheGroupsWhoseTextIsData) {
  // The expander stands for the run's placeholder expansion: it must see the literal parts
  // only, never a group's text.
  std::vector<QString> seen;
  const NameRules rules({Regex("^(.*)$", "%DY%-$1")}, {}, false);
  const NameRules::Result result =
      rules.ApplyReplacements(QStringLiteral("50%DY%"), [&](const QString& literal) {
        seen.push_back(literal);
        return QString(literal).replace(QStringLiteral("%DY%"), QStringLiteral("2024"));
      });
  ASSERT_FALSE(result.GaveUp());
  ASSERT_FALSE(seen.empty());
  for (const QString& literal : seen) EXPECT_FALSE(literal.contains(QStringLiteral("50")));
  // The group's "%" is protected until the templates are expanded, then restored.
  EXPECT_FALSE(result.Text.contains(u'%'));
  EXPECT_EQ(RestoreDataPercent(result.Text), QStringLiteral("2024-50%DY%"));
}

TEST(RuleRegex, ExtensionRulesMatchTheWholeExtension) {
  const struct {
    const char* what;
    ExtensionCorrection rule;
    const char* extension;
    const char* expected;
  } rows[] = {
      {"whole extension", {kItemChecked, "jpe?g", "jpg", kExpressionRegex}, "JPEG", "jpg"},
      {"a part is no match", {kItemChecked, "jpe?g", "jpg", kExpressionRegex}, "jpeg2", "jpeg2"},
      {"groups in the new extension", {kItemChecked, "r(\\d\\d)", "part$1", kExpressionRegex},
       "r07", "part07"},
      {"case significant", {kItemChecked, "TXT", "text", kExpressionRegexCaseSensitive}, "txt",
       "txt"},
      {"wildcard rule as before", {kItemChecked, "r##", "rar", kExpressionWildcards}, "r00", "rar"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const NameRules rules({}, {row.rule}, false);
    EXPECT_EQ(rules.ApplyExtensionCorrections(QString::fromUtf8(row.extension)).Text.toStdString(),
              row.expected);
  }
}

TEST(RuleRegex, InvalidExpressionsAndReplacementsNameTheirProblemAndPosition) {
  const struct {
    const char* what;
    TextReplacement rule;
    qsizetype offset;
  } rows[] = {
      {"unclosed group", Regex("ab(c", "x"), 4},
      {"nothing to repeat", Regex("*a", "x"), 0},
      {"empty expression", Regex("", "x"), 0},
      {"group the expression lacks", Regex("(a)", "$2"), 0},
      {"named group the expression lacks", Regex("(?<y>a)", "x${z}"), 1},
      {"unclosed name", Regex("(?<y>a)", "${y"), 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const RegexProblem problem = ReplaceRuleProblem(row.rule);
    EXPECT_TRUE(problem.Found());
    EXPECT_EQ(problem.Offset, row.offset) << problem.Message.toStdString();
    // A rule with a problem changes no name.
    EXPECT_EQ(NameRules({row.rule}, {}, false).ApplyReplacements(QStringLiteral("abc")).Text,
              QStringLiteral("abc"));
  }
  // Wildcard rules never have a regular expression problem.
  EXPECT_FALSE(ReplaceRuleProblem({kItemChecked, "(", "", kExpressionWildcards}).Found());
  EXPECT_FALSE(ReplaceRuleProblem(Regex("(?<y>a)", "${y}$1$0$$")).Found());
}

TEST(RuleRegex, AHostileExpressionGivesUpInsteadOfHanging) {
  const QString name(250, u'a');
  for (const char* pattern : {"(a+)+b", "(a|aa)+$x", "((a*)*)*c", "(*LIMIT_MATCH=100000000)(a+)+b"}) {
    SCOPED_TRACE(pattern);
    const RuleRegex regex(QString::fromUtf8(pattern), false, RuleRegex::Scope::kAnywhere);
    ASSERT_TRUE(regex.IsValid()) << regex.Problem().Message.toStdString();
    EXPECT_EQ(regex.Match(name), RegexOutcome::kGaveUp);
    // A rule that gives up says which one, and the name stays as it was.
    const NameRules rules({Regex("x", "y"), Regex(pattern, "z")}, {}, false);
    const NameRules::Result result = rules.ApplyReplacements(name + u'x');
    EXPECT_EQ(result.GaveUpRule, 1);
    EXPECT_EQ(result.Text, name + u'x');
  }
  // The same expression on a short name just finds nothing.
  const RuleRegex regex(QStringLiteral("(a+)+b"), false, RuleRegex::Scope::kAnywhere);
  EXPECT_EQ(regex.Match(QStringLiteral("aaaa")), RegexOutcome::kNoMatch);
  EXPECT_EQ(regex.Match(QStringLiteral("aaab")), RegexOutcome::kMatched);
}

TEST(Transliteration, EveryScriptBecomesAsciiAndNothingIsLost) {
  const AsciiTransliterator ascii;
  ASSERT_TRUE(ascii.Available());
  const struct {
    const char* what;
    const char* text;
    const char* expected;
  } rows[] = {
      {"Latin with diacritics", "Łódź čőşœ", "Lodz cosoe"},
      {"Cyrillic", "Москва", "Moskva"},
      {"Greek", "Αθήνα", "Athena"},
      {"plain ASCII", "report-2024", "report-2024"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(ascii.Apply(QString::fromUtf8(row.text)).toStdString(), row.expected);
  }
  // Symbols ICU has no Latin for stay as they are rather than vanish.
  const QString symbols = QString::fromUtf8("☃✓");
  EXPECT_FALSE(ascii.Apply(symbols).isEmpty());
  EXPECT_EQ(ascii.Apply(QString::fromUtf8("a☃")).size() >= 2, true);
}

}  // namespace
