#include "ui/pages/PageRules.h"

#include "checks/Validation.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"

#include <array>

namespace {

constexpr std::array<int, kPageGroupCount> kGroupCaptions = {52, 55, 62, 65};
constexpr std::array<int, kPageCount> kPageGroups = {0, 0, 1, 1, 1, 1, 1, 1, 2, 2, 3, 3};
// Page 0 has no description of its own in the table: the getting-started line on loading
// files says what the page is for.
constexpr std::array<int, kPageCount> kDescriptions = {257, 76,  95,  103, 113, 127,
                                                      135, 148, 157, 162, 165, 170};
constexpr std::array<int, kFilterKindCount> kFilterKindCaptions = {198, 199, 200, 202, 208,
                                                                  209, 210, 211, 212, 213};
// The three dates in value order 0 last access, 1 modified, 2 created.
constexpr std::array<int, 3> kDateCaptions = {207, 206, 205};

bool On(int8_t value) {
  return value != 0;
}

QString RangeHint(int minimum, int maximum) {
  return QStringLiteral("  (") + QString::number(minimum) + u'-' + QString::number(maximum) + u')';
}

}  // namespace

int PageGroupCaptionEntry(int group) {
  return group >= 0 && group < kPageGroupCount ? kGroupCaptions[static_cast<size_t>(group)] : -1;
}

int PageGroupOf(int page) {
  return page >= 0 && page < kPageCount ? kPageGroups[static_cast<size_t>(page)] : -1;
}

int PageDescriptionEntry(int page) {
  return page >= 0 && page < kPageCount ? kDescriptions[static_cast<size_t>(page)] : -1;
}

bool PageSwitchedOn(int page, const Preset& s) {
  switch (page) {
    case kPageFilter:
      return On(s.FilterActive);
    case kPageDates:
      return On(s.ChangeDates);
    case kPageDateRules:
      return On(s.DateRulesActive);
    case kPageAttributes:
      return On(s.HiddenChange) || On(s.ReadOnlyChange) || On(s.NotIndexedChange) ||
             On(s.ArchiveChange);
    case kPageCutInsert:
      return On(s.RemoveActive) || On(s.InsertActive);
    case kPageNameCase:
      return On(s.CaseActive) || On(s.ReplaceActive);
    case kPageExtension:
      return On(s.ExtCaseActive) || On(s.ExtRulesActive);
    case kPageSort:
      return On(s.SortActive);
    case kPageZoneMark:
      return On(s.RemoveZoneMark);
    case kPageNewName:
      return On(s.NameTemplateActive);
    case kPageTarget:
      return On(s.TargetDirActive);
    default:
      return false;  // the loaded files have no switch
  }
}

QString PageRowCaption(int page, const Preset& settings) {
  const QString caption = PageCaption(page);
  return PageSwitchedOn(page, settings) ? QStringLiteral("> ") + caption : caption;
}

int PageOfControl(Control control) {
  using C = Control;
  switch (control) {
    case C::FilterList: case C::FilterKind: case C::FilterNumericOperator:
    case C::FilterTextOperator: case C::FilterNumber: case C::FilterText:
    case C::FilterTextButton: case C::FilterRemove: case C::FilterAdd:
      return kPageFilter;
    case C::DateModeNow: case C::DateModeFixed: case C::DateModeCopy: case C::DatePicker:
    case C::DateCopySource:
      return kPageDates;
    case C::DateRuleList: case C::DateRulePart: case C::DateRuleOperation:
    case C::DateRuleAmount: case C::DateRuleRemove: case C::DateRuleAdd:
      return kPageDateRules;
    case C::HiddenMode: case C::ReadOnlyMode: case C::NotIndexedMode: case C::ArchiveMode:
      return kPageAttributes;
    case C::RemoveFromEnd: case C::RemovePositionLabel: case C::RemovePosition:
    case C::RemoveCountLabel: case C::RemoveCount: case C::InsertFromEnd:
    case C::InsertPositionLabel: case C::InsertPosition: case C::InsertText:
    case C::InsertTextButton:
      return kPageCutInsert;
    case C::CaseMode: case C::ReplaceList: case C::ReplaceFind: case C::ReplaceFindButton:
    case C::ReplaceArrow: case C::ReplaceWith: case C::ReplaceWithButton:
    case C::ReplaceRemove: case C::ReplaceAdd:
      return kPageNameCase;
    case C::ExtCaseMode: case C::ExtRuleList: case C::ExtFrom: case C::ExtFromButton:
    case C::ExtArrow: case C::ExtTo: case C::ExtRemove: case C::ExtAdd:
      return kPageExtension;
    case C::SortKey: case C::SortDirectionLabel: case C::SortDirection:
      return kPageSort;
    case C::NameTemplate: case C::NameTemplateButton: case C::CounterPerDirectory:
    case C::NoLeadingZeros:
      return kPageNewName;
    case C::TargetTemplate: case C::TargetTemplateButton: case C::TargetBrowse:
    case C::KeepSubfolders: case C::TargetMove:
      return kPageTarget;
  }
  return -1;
}

bool ControlEnabled(Control control, const Preset& s, bool rowSelected) {
  using C = Control;
  switch (control) {
    case C::FilterRemove:
      return On(s.FilterActive) && rowSelected;
    case C::DateRuleRemove:
      return On(s.DateRulesActive) && rowSelected;
    case C::ReplaceRemove:
      return On(s.ReplaceActive) && rowSelected;
    case C::ExtRemove:
      return On(s.ExtRulesActive) && rowSelected;
    case C::HiddenMode:
      return On(s.HiddenChange);
    case C::ReadOnlyMode:
      return On(s.ReadOnlyChange);
    case C::NotIndexedMode:
      return On(s.NotIndexedChange);
    case C::ArchiveMode:
      return On(s.ArchiveChange);
    case C::RemoveFromEnd: case C::RemovePositionLabel: case C::RemovePosition:
    case C::RemoveCountLabel: case C::RemoveCount:
      return On(s.RemoveActive);
    case C::InsertFromEnd: case C::InsertPositionLabel: case C::InsertPosition:
    case C::InsertText: case C::InsertTextButton:
      return On(s.InsertActive);
    case C::CaseMode:
      return On(s.CaseActive);
    case C::ExtCaseMode:
      return On(s.ExtCaseActive);
    case C::SortKey:
      return On(s.SortActive);
    // Random order has no direction.
    case C::SortDirectionLabel: case C::SortDirection:
      return On(s.SortActive) && s.SortKey != 0;
    default:
      break;
  }
  switch (PageOfControl(control)) {
    case kPageFilter:
      return On(s.FilterActive);
    case kPageDates:
      return On(s.ChangeDates);
    case kPageDateRules:
      return On(s.DateRulesActive);
    case kPageNameCase:
      return On(s.ReplaceActive);
    case kPageExtension:
      return On(s.ExtRulesActive);
    case kPageNewName:
      return On(s.NameTemplateActive);
    case kPageTarget:
      return On(s.TargetDirActive);
    default:
      return false;
  }
}

bool FilterKindIsNumeric(int kind) {
  return kind >= 3 && kind <= 9;
}

int FilterKindCaptionEntry(int kind) {
  return kind >= 0 && kind < kFilterKindCount ? kFilterKindCaptions[static_cast<size_t>(kind)]
                                              : -1;
}

int FilterOperatorCaptionEntry(int mode, int op) {
  if (mode == 1 && op >= 0 && op <= 3) return 81 + op;
  if (mode == 2 && op >= 0 && op <= 7) return 85 + op;
  return -1;
}

NumberFieldHint FilterNumberHint(int kind, const CalendarParts& now) {
  const QString cue = LanguageText(kTextHintEnterNumber);
  switch (kind) {
    case 3:
      return {QStringLiteral("500"), cue};
    case 4:
    case 5:
      return {QStringLiteral("0"), cue + RangeHint(0, 59)};
    case 6:
      return {QString::number(now.Hour), cue + RangeHint(0, 23)};
    case 7:
      return {QString::number(now.Day), cue + RangeHint(1, 31)};
    case 8:
      return {QString::number(now.Month), cue + RangeHint(1, 12)};
    case 9:
      return {QString::number(now.Year), cue + RangeHint(1970, 2037)};
    default:
      return {QString(), cue};
  }
}

QString FilterTextCue(int kind) {
  const QString cue = LanguageText(kTextHintEnterText);
  if (kind == 0) return cue + QStringLiteral("  (") + LanguageText(kTextHintFolderPath) + u')';
  if (kind == 2) return cue + QStringLiteral("  (") + LanguageText(kTextHintWithoutDot) + u')';
  return cue;
}

std::optional<FilterCondition> MakeFilterRule(const FilterEditorValues& values) {
  if (values.Kind < 0 || values.Kind >= kFilterKindCount) return std::nullopt;
  const bool numeric = FilterKindIsNumeric(values.Kind);
  const QString value = numeric ? values.Number : values.Text;
  if (value.isEmpty()) return std::nullopt;
  FilterCondition rule;
  rule.ItemState = kItemChecked;
  rule.Kind = static_cast<int8_t>(values.Kind);
  rule.Operator = static_cast<int8_t>(numeric ? values.NumericOperator : values.TextOperator);
  rule.Values = value;
  rule.Mode = numeric ? 1 : 2;
  return rule;
}

FilterEditorValues EditorValuesOf(const FilterCondition& rule) {
  FilterEditorValues values;
  values.Kind = rule.Kind;
  if (FilterKindIsNumeric(rule.Kind)) {
    values.NumericOperator = rule.Operator;
    values.Number = rule.Values;
  } else {
    values.TextOperator = rule.Operator;
    values.Text = rule.Values;
  }
  return values;
}

QString DatePartCaption(int part) {
  if (part < 0 || part >= kDatePartCount) return QString();
  return LanguageText(kDateCaptions[static_cast<size_t>(part / 6)]) + QStringLiteral(": ") +
         LanguageText(208 + part % 6);
}

SpinRange DateRuleRange(int part, int operation, const CalendarParts& now) {
  const int unit = part < 0 ? 0 : part % 6;
  if (operation == 1 || operation == 2) return unit == 5 ? SpinRange{1, 50, 1} : SpinRange{1, 999, 1};
  switch (unit) {
    case 0:
    case 1:
      return {0, 59, 0};
    case 2:
      return {0, 23, now.Hour};
    case 3:
      return {1, 31, now.Day};
    case 4:
      return {1, 12, now.Month};
    default:
      return {1970, 2037, now.Year};
  }
}

QString DateRuleTooltip(const SpinRange& range) {
  return LanguageText(kTextHintEnterNumber) + RangeHint(range.Minimum, range.Maximum);
}

RuleProblem CheckReplaceRule(const QString& find, const QString& replacement) {
  if (find.isEmpty()) return RuleProblem::EmptyValue;
  // The blank lets an empty replacement pass: removing the found text is a valid rule.
  if (!FileNameTextValid(replacement + u' ')) return RuleProblem::InvalidCharacters;
  return RuleProblem::None;
}

RuleProblem CheckExtensionRule(const QString& fromList, const QString& toExtension) {
  if (fromList.isEmpty()) return RuleProblem::EmptyValue;
  QString compact = toExtension;
  compact.remove(u' ');
  if (compact.isEmpty()) return RuleProblem::EmptyTarget;
  if (!FileNameTextValid(compact)) return RuleProblem::InvalidCharacters;
  return RuleProblem::None;
}
