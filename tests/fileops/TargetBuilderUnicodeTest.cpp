// Names from other systems and regular expressions, through the target builder the run, the
// dry run and the new-name column share.

#include "fileops/TargetBuilder.h"

#include "platform/LocalTime.h"
#include "settings/BuiltinPresets.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const QString kSource = QStringLiteral("/nonexistent-mervane/src/");

FileEntry Entry(const QString& fileName) {
  FileEntry entry;
  entry.Id = 1;
  entry.SetDirectory(kSource);
  entry.SetPath(kSource + fileName);
  const qsizetype dot = fileName.lastIndexOf(u'.');
  entry.SetName(dot > 0 ? fileName.left(dot) : fileName);
  entry.Modified = DateFromParts({2007, 3, 5, 9, 4, 2});
  return entry;
}

Target Build(const Preset& settings, const QString& fileName, const QString& nameTemplate) {
  const TargetPlan plan = PlanTargets(settings, nameTemplate, {}, false, {});
  CounterMap counters(plan.CounterStart, plan.CounterWidth, false);
  return BuildTarget(Entry(fileName), settings, plan, counters);
}

QString Decomposed(const char* text) {
  return QString::fromUtf8(text).normalized(QString::NormalizationForm_D);
}

TEST(TargetBuilderUnicode, TheNameCorrectionPresetCorrectsDecomposedNamesAndTransliterates) {
  Preset correct = BuiltinPresets()[2];
  correct.TargetDirActive = 0;
  const struct {
    const char* what;
    QString fileName;
    const char* expected;
  } rows[] = {
      {"composed accents", QString::fromUtf8("Crème Brûlée_final!.txt"), "creme-brulee-final-.txt"},
      {"the same name as macOS writes it", Decomposed("Crème Brûlée_final!.txt"),
       "creme-brulee-final-.txt"},
      {"German umlauts by the table, not by ICU", Decomposed("Müller Öl.txt"), "mueller-oel.txt"},
      {"Polish and Russian", QString::fromUtf8("Łódź Москва.txt"), "lodz-moskva.txt"},
      {"Greek", QString::fromUtf8("Αθήνα.txt"), "athena.txt"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const Target target = Build(correct, row.fileName, {});
    EXPECT_FALSE(target.InvalidName);
    EXPECT_EQ(target.Path.mid(kSource.size()).toStdString(), row.expected);
  }
}

TEST(TargetBuilderUnicode, BuiltNamesAreComposedUnlessTheTaskKeepsTheForm) {
  Preset settings;
  settings.TargetDirActive = 0;
  settings.NameTemplateActive = 1;
  const QString source = Decomposed("café.txt");
  const QString composed = QString::fromUtf8("café x");
  EXPECT_EQ(Build(settings, source, QStringLiteral("%FN% x")).Name, composed);
  settings.KeepNameForm = 1;
  EXPECT_EQ(Build(settings, source, QStringLiteral("%FN% x")).Name, Decomposed("café x"));
  // Rules still see the composed form when the form is kept.
  settings.NameTemplateActive = 0;
  settings.ReplaceActive = 1;
  settings.TextReplacements = {{kItemChecked, QString::fromUtf8("é"), QStringLiteral("e")}};
  EXPECT_EQ(Build(settings, source, {}).Name, QStringLiteral("cafe"));
}

TEST(TargetBuilderUnicode, RegexRulesBuildTheNameAndAHostileOneFailsTheFile) {
  Preset settings;
  settings.TargetDirActive = 0;
  settings.ReplaceActive = 1;
  settings.NameTemplateActive = 1;
  const struct {
    const char* what;
    TextReplacement rule;
    QString fileName;
    QString nameTemplate;
    const char* expected;
  } rows[] = {
      {"groups reordered",
       {kItemChecked, "(\\d+)-(\\w+)", "$2 $1", kExpressionRegex},
       QStringLiteral("12-abc.txt"),
       QStringLiteral("%FN%"),
       "abc 12.txt"},
      {"placeholder of the replacement expanded",
       {kItemChecked, "^", "%DY%_", kExpressionRegex},
       QStringLiteral("a.txt"),
       QStringLiteral("%FN%"),
       "2007_a.txt"},
      {"a group holding a placeholder stays as written",
       {kItemChecked, "^(.*)$", "[$1]", kExpressionRegex},
       QStringLiteral("x%DY%.txt"),
       QStringLiteral("%FN%"),
       "[x%DY%].txt"},
      {"the file name placeholder in a group is data too",
       {kItemChecked, "^(.*)$", "$1", kExpressionRegex},
       QStringLiteral("%FN%.txt"),
       QStringLiteral("%FN%"),
       "%FN%.txt"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    settings.TextReplacements = {row.rule};
    const Target target = Build(settings, row.fileName, row.nameTemplate);
    EXPECT_FALSE(target.MatchGaveUp);
    EXPECT_EQ(target.Path.mid(kSource.size()).toStdString(), row.expected);
  }
  settings.TextReplacements = {{kItemChecked, "(a+)+b", "x", kExpressionRegex}};
  EXPECT_TRUE(Build(settings, QString(250, u'a') + QStringLiteral(".txt"), QStringLiteral("%FN%"))
                  .MatchGaveUp);
  settings.ReplaceActive = 0;
  settings.ExtRulesActive = 1;
  settings.ExtensionCorrections = {{kItemChecked, "(t+)+x", "y", kExpressionRegex}};
  EXPECT_TRUE(Build(settings, QStringLiteral("a.") + QString(200, u't'), {}).MatchGaveUp);
}

}  // namespace
