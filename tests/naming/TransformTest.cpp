#include "naming/Transform.h"

#include "support/QtPrinters.h"
#include "support/Texts.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QString>

namespace {

struct RemoveRow {
  const char* name;
  int position;
  int count;
  bool fromEnd;
  const char* expected;
};

TEST(RemoveCharacters, Table) {
  const RemoveRow rows[] = {
      {"abcdef", 2, 2, false, "adef"},
      {"abcdef", 2, 2, true, "abcf"},
      {"abcdef", 1, 1, true, "abcde"},
      {"abcdef", 1, 1, false, "bcdef"},
      {"abcdef", 4, 99, false, "abc"},    // count beyond the rest: up to the end
      {"abcdef", 2, 99, true, "f"},       // everything before the kept tail
      {"abcdef", 7, 1, false, "abcdef"},  // position beyond the end
      {"abcdef", 7, 1, true, "abcdef"},
      {"abcdef", 0, 1, false, "abcdef"},
      {"abcdef", 1, 0, false, "abcdef"},
      {"abcdef", -3, 2, true, "abcdef"},
      {"", 1, 1, false, ""},
      {"abcdef", 6, 6, true, "bcdef"},  // nothing lies before the first character
      {"abcdef", 6, 1, true, "bcdef"},
  };
  for (const RemoveRow& row : rows) {
    EXPECT_EQ(RemoveCharacters(Q(row.name), row.position, row.count, row.fromEnd), Q(row.expected))
        << row.name << " pos " << row.position << " count " << row.count << " end " << row.fromEnd;
  }
}

struct InsertRow {
  const char* name;
  const char* text;
  int position;
  bool fromEnd;
  const char* expected;
};

TEST(InsertIntoName, Table) {
  const InsertRow rows[] = {
      {"abc", "X", 1, false, "Xabc"},   {"abc", "X", 1, true, "abcX"},
      {"abc", "X", 2, true, "abXc"},    {"abc", "X", 2, false, "aXbc"},
      {"abc", "X", 999, false, "abcX"}, {"abc", "X", 999, true, "Xabc"},
      {"abc", "X", 0, false, "Xabc"},   {"abc", "X", 0, true, "abcX"},
      {"abc", "X", 4, false, "abcX"},   {"", "X", 3, false, "X"},
      {"abc", "", 2, false, "abc"},
  };
  for (const InsertRow& row : rows) {
    EXPECT_EQ(InsertIntoName(Q(row.name), Q(row.text), row.position, row.fromEnd), Q(row.expected))
        << row.name << " pos " << row.position << " end " << row.fromEnd;
  }
}

struct CaseRow {
  const char* name;
  int mode;
  const char* expected;
};

TEST(ChangeCase, Table) {
  const CaseRow rows[] = {
      {"MiXeD ÄÖÜ", 0, "mixed äöü"},
      {"MiXeD äöü", 1, "MIXED ÄÖÜ"},
      {"2nd file", 2, "2nd File"},  // a digit is no separator
      {"o'neil-smith", 2, "O'neil-Smith"},
      {"HELLO wORLD", 2, "Hello World"},
      {"a.b_c-d+e(f)g,h;i&j@k!l~m#n", 2, "A.B_C-D+E(F)G,H;I&J@K!L~M#N"},
      {"über straße", 2, "Über Straße"},
      {"12 monkeys.ABC", 3, "12 Monkeys.abc"},
      {"  --hello World", 3, "  --Hello world"},
      {"(1) THE END", 3, "(1) The end"},
      {"123", 3, "123"},
      {"aBc1", 4, "AbC1"},
      {"ÄbÇ-ß", 4, "äBç-ß"},
      {"", 2, ""},
      {"KeepMe", 9, "KeepMe"},
  };
  for (const CaseRow& row : rows) {
    EXPECT_EQ(ChangeCase(Q(row.name), row.mode), Q(row.expected))
        << row.name << " mode " << row.mode;
  }
}

TEST(ChangeCase, KeepsTheLengthWhereFullMappingWouldNot) {
  // Full case mapping turns "ß" into "SS" and "ŉ" into two characters; names must keep their
  // length so that positions stay valid.
  const QString name = Q("straße ŉ ﬁ");
  for (int mode = 0; mode <= 5; ++mode) {
    EXPECT_EQ(ChangeCase(name, mode).size(), name.size()) << "mode " << mode;
  }
  EXPECT_EQ(ChangeCase(name, kCaseUpper), Q("STRAßE ŉ ﬁ"));
}

TEST(ChangeCase, RandomModeIsRepeatableWithASeedAndMixesCase) {
  const QString name(200, QLatin1Char('m'));
  QRandomGenerator first(42);
  QRandomGenerator second(42);
  const QString a = ChangeCase(name, kCaseRandom, &first);
  const QString b = ChangeCase(name, kCaseRandom, &second);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.toLower(), name);
  const auto upper = a.count(QLatin1Char('M'));
  EXPECT_GT(upper, 50);
  EXPECT_LT(upper, 150);
  QRandomGenerator third(43);
  EXPECT_NE(ChangeCase(name, kCaseRandom, &third), a);
}

TEST(ApplyReplacements, RunsOnlyActiveRulesInOrderIgnoringCase) {
  const QList<TextReplacement> rules = {
      {kItemChecked, Q("Draft"), Q("final")},
      {0, Q("final"), Q("never")},
      {kItemChecked | kItemSelected, Q("FINAL"), Q("done")},
      {kItemSelected, Q("x"), Q("y")},
  };
  EXPECT_EQ(ApplyReplacements(Q("my DRAFT x"), rules), Q("my done x"));
  EXPECT_EQ(ApplyReplacements(Q("plain"), {}), Q("plain"));
}

TEST(ApplyExtensionCorrections, LaterRulesSeeEarlierResults) {
  const QList<ExtensionCorrection> rules = {
      {kItemChecked, Q("jpeg|jpe"), Q("jpg")},
      {0, Q("jpg"), Q("never")},
      {kItemChecked, Q("JPG"), Q("JPEG-final")},
  };
  EXPECT_EQ(ApplyExtensionCorrections(Q("JPE"), rules), Q("JPEG-final"));
  EXPECT_EQ(ApplyExtensionCorrections(Q("jpeg2"), rules), Q("jpeg2"));
  EXPECT_EQ(ApplyExtensionCorrections(QString(), rules), QString());
}

}  // namespace
