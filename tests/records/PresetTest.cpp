#include "records/Preset.h"

#include <gtest/gtest.h>

namespace {

TEST(Preset, DefaultsCopyFilesUnchangedIntoOutputFolder) {
  const Preset p;
  // What a new record does: copy, keep the name, into "output" below the desktop folder.
  EXPECT_EQ(p.TargetDirActive, 1);
  EXPECT_EQ(p.TargetMove, 0);
  EXPECT_EQ(p.NameTemplateActive, 0);
  EXPECT_EQ(p.TargetDirTemplate, QStringLiteral("%PD%\\output\\"));
  EXPECT_EQ(p.NameTemplate, QStringLiteral("(%001%) %FN%"));
  EXPECT_TRUE(p.FilterConditions.isEmpty());
  EXPECT_TRUE(p.DateAdjustments.isEmpty());
  EXPECT_TRUE(p.TextReplacements.isEmpty());
  EXPECT_TRUE(p.ExtensionCorrections.isEmpty());
}

TEST(Preset, DefaultSwitchesAndChoices) {
  const Preset p;
  struct Field {
    const char* name;
    int value;
    int expected;
  };
  const Field fields[] = {
      {"PresetNumber", p.PresetNumber, 0},
      {"SelectedPage", p.SelectedPage, 0},
      {"TemplateButtons", p.TemplateButtons, 1},
      {"PatternButtons", p.PatternButtons, 1},
      {"AlwaysOnTop", p.AlwaysOnTop, 0},
      {"IncludeSubdirectories", p.IncludeSubdirectories, 1},
      {"IncludeHidden", p.IncludeHidden, 0},
      {"FilterDateSource", p.FilterDateSource, 1},
      {"DatePlaceholderSource", p.DatePlaceholderSource, 1},
      {"ListKeepFiltered", p.ListKeepFiltered, 0},
      {"ListKeepSources", p.ListKeepSources, 0},
      {"ListKeepFailed", p.ListKeepFailed, 1},
      {"ListKeepTargets", p.ListKeepTargets, 0},
      {"ListKeepUnprocessed", p.ListKeepUnprocessed, 1},
      {"QuitAfterRun", p.QuitAfterRun, 0},
      {"FilterActive", p.FilterActive, 0},
      {"ChangeDates", p.ChangeDates, 0},
      {"DateMode", p.DateMode, 0},
      {"FixedDate", p.FixedDate, 0},
      {"DateCopySource", p.DateCopySource, 1},
      {"DateRulesActive", p.DateRulesActive, 0},
      {"HiddenChange", p.HiddenChange, 0},
      {"ReadOnlyChange", p.ReadOnlyChange, 0},
      {"ArchiveChange", p.ArchiveChange, 0},
      {"NotIndexedChange", p.NotIndexedChange, 0},
      {"RemoveActive", p.RemoveActive, 0},
      {"RemoveFromEnd", p.RemoveFromEnd, 0},
      {"RemovePosition", p.RemovePosition, 1},
      {"RemoveCount", p.RemoveCount, 1},
      {"InsertActive", p.InsertActive, 0},
      {"InsertFromEnd", p.InsertFromEnd, 0},
      {"InsertPosition", p.InsertPosition, 1},
      {"CaseActive", p.CaseActive, 0},
      {"CaseMode", p.CaseMode, 2},
      {"ReplaceActive", p.ReplaceActive, 0},
      {"ExtCaseActive", p.ExtCaseActive, 0},
      {"ExtCaseMode", p.ExtCaseMode, 0},
      {"ExtRulesActive", p.ExtRulesActive, 0},
      {"SortActive", p.SortActive, 0},
      {"SortKey", p.SortKey, 1},
      {"SortDirection", p.SortDirection, 1},
      {"RemoveZoneMark", p.RemoveZoneMark, 0},
      {"CounterPerDirectory", p.CounterPerDirectory, 1},
      {"NoLeadingZeros", p.NoLeadingZeros, 0},
      {"KeepSubfolders", p.KeepSubfolders, 0},
  };
  for (const Field& f : fields) EXPECT_EQ(f.value, f.expected) << f.name;
  EXPECT_TRUE(p.InsertText.isEmpty());
}

Preset WithRules() {
  Preset p;
  p.PresetNumber = 4;
  p.PresetName = QStringLiteral("Photos");
  p.NameTemplateActive = 1;
  p.NameTemplate = QStringLiteral("%DY%-%FN%");
  p.FilterConditions.append({kItemChecked, 2, 1, QStringLiteral("jpg|png"), 2});
  p.DateAdjustments.append({kItemChecked, 3, 1, 60});
  p.TextReplacements.append({kItemChecked, QStringLiteral("_| "), QStringLiteral("-")});
  p.ExtensionCorrections.append({0, QStringLiteral("jpeg"), QStringLiteral("jpg")});
  return p;
}

TEST(Preset, CopySettingsKeepsNumberAndName) {
  const Preset source = WithRules();
  Preset working;
  working.PresetName = QStringLiteral("Working");
  working.CopySettingsFrom(source);
  EXPECT_EQ(working.PresetNumber, 0);
  EXPECT_EQ(working.PresetName, QStringLiteral("Working"));
  EXPECT_EQ(working.NameTemplate, source.NameTemplate);
  EXPECT_EQ(working.FilterConditions, source.FilterConditions);
  // Apart from number and name the two are equal.
  Preset renamed = working;
  renamed.PresetNumber = source.PresetNumber;
  renamed.PresetName = source.PresetName;
  EXPECT_EQ(renamed, source);
}

TEST(Preset, CopiesNeverShareRules) {
  const Preset source = WithRules();
  Preset copy;
  copy.CopySettingsFrom(source);
  Preset assigned = source;
  // Editing every list and text of the copies leaves the source as it was.
  for (Preset* p : {&copy, &assigned}) {
    p->FilterConditions[0].Values = QStringLiteral("txt");
    p->DateAdjustments[0].Amount = -5;
    p->TextReplacements[0].Replacement += QLatin1Char('x');
    p->ExtensionCorrections.clear();
    p->NameTemplate[0] = QLatin1Char('X');
  }
  EXPECT_EQ(source, WithRules());
  EXPECT_NE(copy.FilterConditions, source.FilterConditions);
}

TEST(Preset, RuleInForceOnlyWithCheckedBit) {
  struct Case {
    int32_t state;
    bool active;
  };
  for (const Case c : {Case{0, false}, Case{kItemSelected, false}, Case{kItemChecked, true},
                       Case{kItemChecked | kItemSelected, true}}) {
    const FilterCondition condition{c.state, 0, 0, {}, 1};
    const TextReplacement replacement{c.state, {}, {}};
    EXPECT_EQ(condition.IsActive(), c.active) << c.state;
    EXPECT_EQ(replacement.IsActive(), c.active) << c.state;
  }
}

}  // namespace
