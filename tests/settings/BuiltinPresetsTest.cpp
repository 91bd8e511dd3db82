#include "settings/BuiltinPresets.h"

#include "checks/Validation.h"
#include "settings/Corrections.h"
#include "settings/PresetsFile.h"
#include "support/TempDir.h"
#include "texts/TextTables.h"

#include <gtest/gtest.h>

namespace {

class BuiltinPresetsTest : public testing::Test {
 protected:
  void SetUp() override {
    ProductTexts[2] = QStringLiteral("Mervane");
    ProductTexts[4] = QStringLiteral("2.0");
    for (int i = 245; i <= 248; ++i) LanguageTable[i] = QStringLiteral("Name %1").arg(i);
  }
};

TEST_F(BuiltinPresetsTest, WorkingPresetHoldsTheDefaults) {
  const Preset p = WorkingPreset();
  EXPECT_EQ(p.PresetNumber, 0);
  EXPECT_EQ(p.PresetName, QStringLiteral("Name 245"));
  // With every default the files are copied, names unchanged, into "output" on the desktop.
  EXPECT_EQ(p.TargetDirActive, 1);
  EXPECT_EQ(p.TargetMove, 0);
  EXPECT_EQ(p.NameTemplateActive, 0);
  EXPECT_EQ(p.TargetDirTemplate, QStringLiteral("%PD%\\output\\"));
  EXPECT_EQ(p.NameTemplate, QStringLiteral("(%001%) %FN%"));
  EXPECT_EQ(p.RemovePosition, 1);
  EXPECT_EQ(p.CaseMode, 2);
  EXPECT_EQ(p.SortKey, 1);
  EXPECT_EQ(p.CounterPerDirectory, 1);
  EXPECT_TRUE(p.FilterConditions.isEmpty());
  EXPECT_TRUE(p.DateAdjustments.isEmpty());
  EXPECT_TRUE(p.TextReplacements.isEmpty());
  EXPECT_TRUE(p.ExtensionCorrections.isEmpty());
}

// Each built-in preset is the default record changed only in the fields its task needs; the
// expected records are spelt out here field by field from the preset table.
TEST_F(BuiltinPresetsTest, PresetsDifferFromDefaultsOnlyInTheirListedFields) {
  const QList<Preset> presets = BuiltinPresets();
  ASSERT_EQ(presets.size(), 3);

  Preset one;
  one.PresetNumber = 1;
  one.PresetName = QStringLiteral("Name 246");
  one.ListKeepFiltered = 1;
  const char* extensions[] = {
      "abw|doc|docx|log|odt|pdf|rtf|txt|wpd",
      "bmp|dds|dib|gif|jp2|jpeg|jpg|jpx|png|svg|tga|tif|tiff",
      "3g2|3gp|asf|avi|divx|f4v|flv|m4v|mkv|mov|mp4|mpa|mpeg|mpg|ogv|rm|wmv|xvid",
      "aif|flac|ogg|m4a|mid|mp2|mp3|mpa|ra|wav|wma",
      "ahk|bat|cmd|com|exe|jar|scr|vb|vbs|wsf",
      "7z|alz|arc|bz|bz2|gz|rar|sfx|sit|sitx|tgz|zip|zipx",
      "asp|aspx|atom|cer|csr|css|htm|html|js|jsp|php|rss|wml|xhtm|xhtml|xml",
      "bas|bat|c|class|cpp|cs|fla|fs|fsx|h|hpp|java|js|jspf|lua|m|mm|ocx|pas|pb|php|pl|py|rb|sh|"
      "src|vb|vbs"};
  for (const char* values : extensions) {
    one.FilterConditions.append({0, 2, 1, QString::fromUtf8(values), 2});
  }
  one.HiddenChange = one.HiddenClear = one.ReadOnlyChange = one.ReadOnlyClear = 1;
  one.ArchiveChange = one.ArchiveClear = one.NotIndexedChange = one.NotIndexedClear = 1;
  one.CaseActive = 1;
  one.ExtCaseActive = 1;
  one.ExtensionCorrections = {
      {2, QStringLiteral("asc|log|lst|nfo|readme|text|utxt|utf8|wtx"), QStringLiteral("txt")},
      {2, QStringLiteral("jif|jiff|jpe|jpeg|jps"), QStringLiteral("jpg")},
      {2, QStringLiteral("j2k|jpf|jpx"), QStringLiteral("jp2")},
      {2, QStringLiteral("htm|xhtm|xhtml"), QStringLiteral("html")},
      {0, QStringLiteral("r##"), QStringLiteral("rar")}};
  one.SortKey = 2;
  one.RemoveZoneMark = 1;
  one.TargetDirActive = 0;
  one.KeepSubfolders = 1;

  Preset two;
  two.PresetNumber = 2;
  two.PresetName = QStringLiteral("Name 247");
  two.SelectedPage = 10;
  two.DateMode = 2;
  two.DatePlaceholderSource = 3;  // the date taken
  two.SortKey = 5;
  two.NameTemplateActive = 1;
  two.NameTemplate = QStringLiteral("%DY%-%DM%-%DD%_%DH%-%DI%-%DS% %FN%");
  two.TargetDirTemplate = QStringLiteral("%PD%\\output\\%DY%\\%DM%\\");
  two.TargetMove = 1;

  Preset three;
  three.PresetNumber = 3;
  three.PresetName = QStringLiteral("Name 248");
  three.SelectedPage = 6;
  three.ChangeDates = 1;
  three.DateMode = 2;
  three.DateCopySource = 2;
  three.ReadOnlyChange = 1;
  three.ReadOnlyClear = 1;
  three.CaseActive = 1;
  three.CaseMode = 0;
  three.ReplaceActive = 1;
  three.TextReplacements = NameCorrectionTable();
  three.ExtCaseActive = 1;
  three.TransliterateToAscii = 1;
  three.RemoveZoneMark = 1;

  const Preset* expected[] = {&one, &two, &three};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i + 1);
    EXPECT_EQ(presets[i].FilterConditions, expected[i]->FilterConditions);
    EXPECT_EQ(presets[i].ExtensionCorrections, expected[i]->ExtensionCorrections);
    EXPECT_TRUE(presets[i] == *expected[i]);
  }
}

TEST_F(BuiltinPresetsTest, NameCorrectionRowsOfPresetThree) {
  const QList<TextReplacement> rules = BuiltinPresets()[2].TextReplacements;
  ASSERT_EQ(rules.size(), 16);
  EXPECT_EQ(rules[0].ItemState, 0);
  EXPECT_EQ(rules[0].SearchList, QStringLiteral("the |and |der |die |das |und |ein |eine "));
  EXPECT_EQ(rules[0].Replacement, QString());
  EXPECT_EQ(rules[1].ItemState, 2);
  EXPECT_EQ(rules[1].Replacement, QString());
  EXPECT_EQ(rules[2].SearchList, QStringLiteral(".| |_|!|&|@|+|;|,"));
  EXPECT_EQ(rules[2].Replacement, QStringLiteral("-"));
  EXPECT_EQ(rules[3].SearchList, QStringLiteral("---|--"));
  EXPECT_EQ(rules[12].SearchList, QStringLiteral("ß"));
  EXPECT_EQ(rules[12].Replacement, QStringLiteral("ss"));
  EXPECT_EQ(rules[15].SearchList, QStringLiteral("ý|ÿ"));
  EXPECT_EQ(rules[15].Replacement, QStringLiteral("y"));
  for (int i = 1; i < 16; ++i) EXPECT_EQ(rules[i].ItemState, 2) << i;
}

TEST_F(BuiltinPresetsTest, EveryBuiltInPresetPassesTheRangeCheckAndActivates) {
  QList<Preset> list = {WorkingPreset()};
  list.append(BuiltinPresets());
  for (int32_t position = 0; position < list.size(); ++position) {
    SCOPED_TRACE(position);
    EXPECT_EQ(ValidateRanges(list[position]), 1);
    Preset working = WorkingPreset();
    EXPECT_EQ(ActivatePreset(position, list, working), position);
  }
}

TEST_F(BuiltinPresetsTest, FirstStartGivesFourPresetsAndTheyRoundTripThroughTheFile) {
  TempDir dir;
  const QString path = dir.Path() + QStringLiteral("presets.dat");
  QList<Preset> list;
  int32_t defaultIndex = 7;
  LoadPresets(path, list, defaultIndex);
  ASSERT_EQ(list.size(), 4);
  EXPECT_EQ(defaultIndex, 0);

  ASSERT_TRUE(SavePresets(path, list, 2));
  QList<Preset> again;
  LoadPresets(path, again, defaultIndex);
  EXPECT_EQ(defaultIndex, 2);
  ASSERT_EQ(again.size(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(again[i] == list[i]) << i;
}

}  // namespace
