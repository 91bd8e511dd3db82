#include "settings/Corrections.h"

#include "naming/Transform.h"

#include "support/QtPrinters.h"
#include "support/Texts.h"

#include <gtest/gtest.h>

#include <QString>

namespace {

TEST(CorrectionTables, RowsAndStates) {
  const QList<ExtensionCorrection> extensions = ExtensionCorrectionTable();
  ASSERT_EQ(extensions.size(), 5);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(extensions[i].ItemState, kItemChecked) << i;
  EXPECT_EQ(extensions[4].ItemState, 0);
  const QList<TextReplacement> names = NameCorrectionTable();
  ASSERT_EQ(names.size(), 16);
  EXPECT_EQ(names[0].ItemState, 0);
  for (int i = 1; i < 16; ++i) EXPECT_EQ(names[i].ItemState, kItemChecked) << i;
}

// The name-correction preset: the name lower-cased, then the table.
QString CorrectName(const QString& name, bool lowerCase = true,
                    QList<TextReplacement> rules = NameCorrectionTable()) {
  return ApplyReplacements(lowerCase ? ChangeCase(name, kCaseLower) : name, rules);
}

TEST(NameCorrectionTable, SampleNames) {
  const std::pair<const char*, const char*> rows[] = {
      {"Crème Brûlée_final!", "creme-brulee-final-"},
      {"a - b", "a-b"},
      {"a----b", "a-b"},
      {"Ärger über Straße", "aerger-ueber-strasse"},
      {"50% off = deal", "50-off-deal"},
      {"Tom's ~file~", "toms-file"},
      {"naïve façade ñandú", "naive-facade-nandu"},
      {"Øre ýÿ", "ore-yy"},
      {"the end", "the-end"},  // the article row is off
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(CorrectName(Q(in)), Q(out)) << in;
}

TEST(NameCorrectionTable, UpperCaseLettersMatchWithoutACaseChange) {
  EXPECT_EQ(CorrectName(Q("Ärger"), false), Q("aerger"));
  EXPECT_EQ(CorrectName(Q("ÉCOLE"), false), Q("eCOLE"));
}

TEST(NameCorrectionTable, ArticleRowWhenSwitchedOn) {
  QList<TextReplacement> rules = NameCorrectionTable();
  rules[0].ItemState = kItemChecked;
  EXPECT_EQ(CorrectName(Q("The Cat and the Hat"), true, rules), Q("cat-hat"));
  // The words carry no leading blank, so they also go at the end of longer words: "hund und "
  // loses "und " twice.
  EXPECT_EQ(CorrectName(Q("Der Hund und die Katze"), true, rules), Q("hkatze"));
}

TEST(ExtensionCorrectionTable, SampleExtensions) {
  const QList<ExtensionCorrection> table = ExtensionCorrectionTable();
  const std::pair<const char*, const char*> rows[] = {
      {"jpeg", "jpg"}, {"JPEG", "jpg"},   {"jpe", "jpg"}, {"jpeg2", "jpeg2"},
      {"htm", "html"}, {"XHTML", "html"}, {"log", "txt"}, {"readme", "txt"},
      {"jpx", "jp2"},  {"r00", "r00"},    {"jpg", "jpg"}, {"", ""},
  };
  for (const auto& [in, out] : rows) {
    EXPECT_EQ(ApplyExtensionCorrections(Q(in), table), Q(out)) << in;
  }
}

TEST(ExtensionCorrectionTable, SplitArchiveRowWhenSwitchedOn) {
  QList<ExtensionCorrection> table = ExtensionCorrectionTable();
  table[4].ItemState = kItemChecked;
  const std::pair<const char*, const char*> rows[] = {
      {"r00", "rar"}, {"r99", "rar"}, {"R42", "rar"},
      {"r1", "r1"},   {"rxx", "rxx"}, {"r001", "r001"},
  };
  for (const auto& [in, out] : rows) {
    EXPECT_EQ(ApplyExtensionCorrections(Q(in), table), Q(out)) << in;
  }
}

}  // namespace
