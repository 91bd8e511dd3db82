#include "ui/pages/PageRules.h"

#include "ui/pages/DateRulesPage.h"
#include "ui/pages/ExtensionPage.h"
#include "ui/pages/FilterPage.h"
#include "ui/pages/NameCasePage.h"

#include "support/UiTestSupport.h"
#include "checks/Validation.h"

#include <functional>

namespace {

class PageRulesTest : public testing::Test {
 protected:
  void SetUp() override { LoadUiResources(); }

  // Every switch of every page off (the default has the target folder on).
  static Preset AllOff() {
    Preset p;
    p.TargetDirActive = 0;
    return p;
  }
};

using Setter = std::function<void(Preset&)>;

struct SwitchRow {
  int Page;
  const char* Name;
  Setter TurnOn;
};

const SwitchRow kSwitches[] = {
    {kPageFilter, "FilterActive", [](Preset& p) { p.FilterActive = 1; }},
    {kPageDates, "ChangeDates", [](Preset& p) { p.ChangeDates = 1; }},
    {kPageDateRules, "DateRulesActive", [](Preset& p) { p.DateRulesActive = 1; }},
    {kPageAttributes, "HiddenChange", [](Preset& p) { p.HiddenChange = 1; }},
    {kPageAttributes, "ReadOnlyChange", [](Preset& p) { p.ReadOnlyChange = 1; }},
    {kPageAttributes, "NotIndexedChange", [](Preset& p) { p.NotIndexedChange = 1; }},
    {kPageAttributes, "ArchiveChange", [](Preset& p) { p.ArchiveChange = 1; }},
    {kPageCutInsert, "RemoveActive", [](Preset& p) { p.RemoveActive = 1; }},
    {kPageCutInsert, "InsertActive", [](Preset& p) { p.InsertActive = 1; }},
    {kPageNameCase, "CaseActive", [](Preset& p) { p.CaseActive = 1; }},
    {kPageNameCase, "ReplaceActive", [](Preset& p) { p.ReplaceActive = 1; }},
    {kPageExtension, "ExtCaseActive", [](Preset& p) { p.ExtCaseActive = 1; }},
    {kPageExtension, "ExtRulesActive", [](Preset& p) { p.ExtRulesActive = 1; }},
    {kPageSort, "SortActive", [](Preset& p) { p.SortActive = 1; }},
    {kPageZoneMark, "RemoveZoneMark", [](Preset& p) { p.RemoveZoneMark = 1; }},
    {kPageNewName, "NameTemplateActive", [](Preset& p) { p.NameTemplateActive = 1; }},
    {kPageTarget, "TargetDirActive", [](Preset& p) { p.TargetDirActive = 1; }},
};

TEST_F(PageRulesTest, EachSwitchMarksOnlyItsOwnPageRow) {
  for (int page = 0; page < kPageCount; ++page)
    EXPECT_FALSE(PageRowCaption(page, AllOff()).startsWith(QStringLiteral("> "))) << page;
  for (const SwitchRow& row : kSwitches) {
    Preset p = AllOff();
    row.TurnOn(p);
    for (int page = 0; page < kPageCount; ++page) {
      const QString caption = PageRowCaption(page, p);
      EXPECT_EQ(caption.startsWith(QStringLiteral("> ")), page == row.Page)
          << row.Name << " page " << page << ": " << caption.toStdString();
      EXPECT_TRUE(caption.endsWith(PageCaption(page))) << page;
    }
  }
  // The loaded files have no switch; the default settings copy into a target folder.
  EXPECT_EQ(PageRowCaption(kPageTarget, Preset()), QStringLiteral("> ") + LanguageText(67));
  EXPECT_EQ(PageRowCaption(kPageFiles, Preset()), LanguageText(53));
}

TEST_F(PageRulesTest, PageGroupsFollowTheList) {
  const int groups[kPageCount] = {0, 0, 1, 1, 1, 1, 1, 1, 2, 2, 3, 3};
  for (int page = 0; page < kPageCount; ++page) EXPECT_EQ(PageGroupOf(page), groups[page]) << page;
  EXPECT_EQ(PageGroupCaptionEntry(0), 52);
  EXPECT_EQ(PageGroupCaptionEntry(3), 65);
  EXPECT_EQ(PageDescriptionEntry(kPageFilter), 76);
  EXPECT_EQ(PageDescriptionEntry(kPageTarget), 170);
}

// Every control and the switch that enables it; remove buttons also need a selected row.
struct EnablingRow {
  Control Which;
  const char* Name;
  Setter TurnOn;
  bool NeedsSelection;
};

const EnablingRow kEnabling[] = {
#define ROW(control, field, selection) \
  {Control::control, #control, [](Preset& p) { p.field = 1; }, selection}
    ROW(FilterList, FilterActive, false),
    ROW(FilterKind, FilterActive, false),
    ROW(FilterNumericOperator, FilterActive, false),
    ROW(FilterTextOperator, FilterActive, false),
    ROW(FilterNumber, FilterActive, false),
    ROW(FilterText, FilterActive, false),
    ROW(FilterTextButton, FilterActive, false),
    ROW(FilterRemove, FilterActive, true),
    ROW(FilterAdd, FilterActive, false),
    ROW(DateModeNow, ChangeDates, false),
    ROW(DateModeFixed, ChangeDates, false),
    ROW(DateModeCopy, ChangeDates, false),
    ROW(DatePicker, ChangeDates, false),
    ROW(DateCopySource, ChangeDates, false),
    ROW(DateRuleList, DateRulesActive, false),
    ROW(DateRulePart, DateRulesActive, false),
    ROW(DateRuleOperation, DateRulesActive, false),
    ROW(DateRuleAmount, DateRulesActive, false),
    ROW(DateRuleRemove, DateRulesActive, true),
    ROW(DateRuleAdd, DateRulesActive, false),
    ROW(HiddenMode, HiddenChange, false),
    ROW(ReadOnlyMode, ReadOnlyChange, false),
    ROW(NotIndexedMode, NotIndexedChange, false),
    ROW(ArchiveMode, ArchiveChange, false),
    ROW(RemoveFromEnd, RemoveActive, false),
    ROW(RemovePositionLabel, RemoveActive, false),
    ROW(RemovePosition, RemoveActive, false),
    ROW(RemoveCountLabel, RemoveActive, false),
    ROW(RemoveCount, RemoveActive, false),
    ROW(InsertFromEnd, InsertActive, false),
    ROW(InsertPositionLabel, InsertActive, false),
    ROW(InsertPosition, InsertActive, false),
    ROW(InsertText, InsertActive, false),
    ROW(InsertTextButton, InsertActive, false),
    ROW(CaseMode, CaseActive, false),
    ROW(ReplaceList, ReplaceActive, false),
    ROW(ReplaceFind, ReplaceActive, false),
    ROW(ReplaceFindButton, ReplaceActive, false),
    ROW(ReplaceArrow, ReplaceActive, false),
    ROW(ReplaceWith, ReplaceActive, false),
    ROW(ReplaceWithButton, ReplaceActive, false),
    ROW(ReplaceRemove, ReplaceActive, true),
    ROW(ReplaceAdd, ReplaceActive, false),
    ROW(ExtCaseMode, ExtCaseActive, false),
    ROW(ExtRuleList, ExtRulesActive, false),
    ROW(ExtFrom, ExtRulesActive, false),
    ROW(ExtFromButton, ExtRulesActive, false),
    ROW(ExtArrow, ExtRulesActive, false),
    ROW(ExtTo, ExtRulesActive, false),
    ROW(ExtRemove, ExtRulesActive, true),
    ROW(ExtAdd, ExtRulesActive, false),
    ROW(SortKey, SortActive, false),
    ROW(SortDirectionLabel, SortActive, false),
    ROW(SortDirection, SortActive, false),
    ROW(NameTemplate, NameTemplateActive, false),
    ROW(NameTemplateButton, NameTemplateActive, false),
    ROW(CounterPerDirectory, NameTemplateActive, false),
    ROW(NoLeadingZeros, NameTemplateActive, false),
    ROW(TargetTemplate, TargetDirActive, false),
    ROW(TargetTemplateButton, TargetDirActive, false),
    ROW(TargetBrowse, TargetDirActive, false),
    ROW(KeepSubfolders, TargetDirActive, false),
    ROW(TargetMove, TargetDirActive, false),
#undef ROW
};

TEST_F(PageRulesTest, EveryControlFollowsItsEnablingCheckBox) {
  EXPECT_EQ(std::size(kEnabling), static_cast<size_t>(kControlCount)) << "a control has no row";
  for (const EnablingRow& row : kEnabling) {
    Preset on = AllOff();
    row.TurnOn(on);
    EXPECT_FALSE(ControlEnabled(row.Which, AllOff(), true)) << row.Name;
    EXPECT_TRUE(ControlEnabled(row.Which, on, true)) << row.Name;
    EXPECT_EQ(ControlEnabled(row.Which, on, false), !row.NeedsSelection) << row.Name;
    // No other switch enables it.
    for (const SwitchRow& other : kSwitches) {
      Preset p = AllOff();
      other.TurnOn(p);
      if (PageOfControl(row.Which) != other.Page) {
        EXPECT_FALSE(ControlEnabled(row.Which, p, true)) << row.Name << " by " << other.Name;
      }
    }
  }
}

TEST_F(PageRulesTest, RandomOrderHasNoDirection) {
  Preset p = AllOff();
  p.SortActive = 1;
  for (int key = 0; key <= 6; ++key) {
    p.SortKey = static_cast<int8_t>(key);
    EXPECT_TRUE(ControlEnabled(Control::SortKey, p, false));
    EXPECT_EQ(ControlEnabled(Control::SortDirection, p, false), key != 0) << key;
    EXPECT_EQ(ControlEnabled(Control::SortDirectionLabel, p, false), key != 0) << key;
  }
}

TEST_F(PageRulesTest, AttributeCombosFollowOnlyTheirOwnBox) {
  Preset p = AllOff();
  p.ReadOnlyChange = 1;
  EXPECT_TRUE(ControlEnabled(Control::ReadOnlyMode, p, false));
  EXPECT_FALSE(ControlEnabled(Control::HiddenMode, p, false));
  EXPECT_FALSE(ControlEnabled(Control::ArchiveMode, p, false));
  EXPECT_FALSE(ControlEnabled(Control::NotIndexedMode, p, false));
}

TEST_F(PageRulesTest, FilterNumberFieldDefaultsAndRangeHints) {
  const CalendarParts now{2026, 12, 8, 14, 30, 5};
  const QString cue = LanguageText(185);
  struct Row {
    int Kind;
    QString Default;
    QString Cue;
  } rows[] = {
      {3, QStringLiteral("500"), cue},
      {4, QStringLiteral("0"), cue + QStringLiteral("  (0-59)")},
      {5, QStringLiteral("0"), cue + QStringLiteral("  (0-59)")},
      {6, QStringLiteral("14"), cue + QStringLiteral("  (0-23)")},
      {7, QStringLiteral("8"), cue + QStringLiteral("  (1-31)")},
      {8, QStringLiteral("12"), cue + QStringLiteral("  (1-12)")},
      {9, QStringLiteral("2026"), cue + QStringLiteral("  (1970-2037)")},
  };
  for (const Row& row : rows) {
    const NumberFieldHint hint = FilterNumberHint(row.Kind, now);
    EXPECT_EQ(hint.DefaultValue, row.Default) << row.Kind;
    EXPECT_EQ(hint.Cue, row.Cue) << row.Kind;
    EXPECT_TRUE(FilterKindIsNumeric(row.Kind));
  }
  EXPECT_EQ(FilterTextCue(0), LanguageText(184) + QStringLiteral("  (") + LanguageText(191) + u')');
  EXPECT_EQ(FilterTextCue(1), LanguageText(184));
  EXPECT_EQ(FilterTextCue(2), LanguageText(184) + QStringLiteral("  (") + LanguageText(192) + u')');
  for (int kind = 0; kind <= 2; ++kind) EXPECT_FALSE(FilterKindIsNumeric(kind));
}

TEST_F(PageRulesTest, FilterRulesComeFromTheMatchingControls) {
  FilterEditorValues values;
  values.Kind = 9;
  values.NumericOperator = 2;
  values.TextOperator = 6;
  values.Text = QStringLiteral("ignored");
  EXPECT_FALSE(MakeFilterRule(values)) << "an empty number adds nothing";
  values.Number = QStringLiteral("1999");
  std::optional<FilterCondition> rule = MakeFilterRule(values);
  ASSERT_TRUE(rule);
  EXPECT_EQ(*rule, (FilterCondition{kItemChecked, 9, 2, QStringLiteral("1999"), 1}));

  values.Kind = 2;
  values.Text.clear();
  EXPECT_FALSE(MakeFilterRule(values)) << "an empty text adds nothing";
  values.Text = QStringLiteral("jpg|png");
  rule = MakeFilterRule(values);
  ASSERT_TRUE(rule);
  EXPECT_EQ(*rule, (FilterCondition{kItemChecked, 2, 6, QStringLiteral("jpg|png"), 2}));

  // Back into the editor: kind, operator and value of the row's kind.
  const FilterEditorValues back = EditorValuesOf(*rule);
  EXPECT_EQ(back.Kind, 2);
  EXPECT_EQ(back.TextOperator, 6);
  EXPECT_EQ(back.Text, QStringLiteral("jpg|png"));
  EXPECT_EQ(FilterOperatorCaptionEntry(1, 3), 84);
  EXPECT_EQ(FilterOperatorCaptionEntry(2, 7), 92);
  EXPECT_EQ(FilterOperatorCaptionEntry(1, 4), -1);
}

TEST_F(PageRulesTest, DateRuleSpinnerRangesPerUnitAndOperation) {
  const CalendarParts now{2026, 12, 8, 14, 30, 5};
  struct Row {
    int Part;
    int Operation;
    SpinRange Expected;
  } rows[] = {
      {0, 0, {0, 59, 0}},      {7, 0, {0, 59, 0}},       {14, 0, {0, 23, 14}},
      {3, 0, {1, 31, 8}},      {10, 0, {1, 12, 12}},     {17, 0, {1970, 2037, 2026}},
      {0, 1, {1, 999, 1}},     {9, 2, {1, 999, 1}},      {5, 1, {1, 50, 1}},
      {11, 2, {1, 50, 1}},
  };
  for (const Row& row : rows) {
    const SpinRange range = DateRuleRange(row.Part, row.Operation, now);
    EXPECT_EQ(range.Minimum, row.Expected.Minimum) << row.Part << "/" << row.Operation;
    EXPECT_EQ(range.Maximum, row.Expected.Maximum) << row.Part << "/" << row.Operation;
    EXPECT_EQ(range.Default, row.Expected.Default) << row.Part << "/" << row.Operation;
  }
  EXPECT_EQ(DateRuleTooltip({1, 50, 1}), LanguageText(185) + QStringLiteral("  (1-50)"));
  EXPECT_EQ(DatePartCaption(8), LanguageText(206) + QStringLiteral(": ") + LanguageText(210));
}

TEST_F(PageRulesTest, ReplaceAndExtensionRulesNeedUsableTexts) {
  struct Row {
    const char* Find;
    const char* With;
    RuleProblem Replace;
    RuleProblem Extension;
  } rows[] = {
      {"", "x", RuleProblem::EmptyValue, RuleProblem::EmptyValue},
      {"a", "", RuleProblem::None, RuleProblem::EmptyTarget},
      {"a", "   ", RuleProblem::None, RuleProblem::EmptyTarget},
      {"a", "b c", RuleProblem::None, RuleProblem::None},
      {"a", "a/b", RuleProblem::InvalidCharacters, RuleProblem::InvalidCharacters},
      {"a", "x:y", RuleProblem::InvalidCharacters, RuleProblem::InvalidCharacters},
      {"a", "x|y", RuleProblem::InvalidCharacters, RuleProblem::InvalidCharacters},
      {"a", "tab\there", RuleProblem::InvalidCharacters, RuleProblem::InvalidCharacters},
      {"*|?", "%FN%", RuleProblem::None, RuleProblem::None},
  };
  for (const Row& row : rows) {
    const QString find = QString::fromUtf8(row.Find);
    const QString with = QString::fromUtf8(row.With);
    EXPECT_EQ(CheckReplaceRule(find, with), row.Replace) << row.Find << " -> " << row.With;
    EXPECT_EQ(CheckExtensionRule(find, with), row.Extension) << row.Find << " -> " << row.With;
  }
}

}  // namespace
