#pragma once

#include "platform/LocalTime.h"
#include "records/Preset.h"

#include <QString>

#include <optional>

// The rules of the option pages that need no widget: which page is switched on, which control
// each enabling check box enables, and what the rule editors accept. The pages read them; the
// tests walk them as tables.

inline constexpr int kPageCount = 12;
enum PageIndex : int {
  kPageFiles = 0,
  kPageFilter = 1,
  kPageDates = 2,
  kPageDateRules = 3,
  kPageAttributes = 4,
  kPageCutInsert = 5,
  kPageNameCase = 6,
  kPageExtension = 7,
  kPageSort = 8,
  kPageZoneMark = 9,
  kPageNewName = 10,
  kPageTarget = 11,
};

// The page list's four groups, in order, and the group of each page.
inline constexpr int kPageGroupCount = 4;
int PageGroupCaptionEntry(int group);  // 52, 55, 62, 65
int PageGroupOf(int page);             // 0..3
int PageDescriptionEntry(int page);    // the text at the top of the page

// A page counts as switched on when any of its enabling check boxes is set.
bool PageSwitchedOn(int page, const Preset& settings);
// The page's row in the page list: its caption, with "> " in front when it is switched on.
QString PageRowCaption(int page, const Preset& settings);

// Every control whose enabled state follows an enabling check box.
enum class Control {
  // Filter rules.
  FilterList, FilterKind, FilterNumericOperator, FilterTextOperator, FilterNumber, FilterText,
  FilterTextButton, FilterRemove, FilterAdd,
  // File dates.
  DateModeNow, DateModeFixed, DateModeCopy, DatePicker, DateCopySource,
  // Date rules.
  DateRuleList, DateRulePart, DateRuleOperation, DateRuleAmount, DateRuleRemove, DateRuleAdd,
  // Attributes.
  HiddenMode, ReadOnlyMode, NotIndexedMode, ArchiveMode,
  // Cut and insert.
  RemoveFromEnd, RemovePositionLabel, RemovePosition, RemoveCountLabel, RemoveCount,
  InsertFromEnd, InsertPositionLabel, InsertPosition, InsertText, InsertTextButton,
  // Letter case and find/replace.
  CaseMode, ReplaceList, ReplaceFind, ReplaceFindButton, ReplaceArrow, ReplaceWith,
  ReplaceWithButton, ReplaceRemove, ReplaceAdd,
  // Extension.
  ExtCaseMode, ExtRuleList, ExtFrom, ExtFromButton, ExtArrow, ExtTo, ExtRemove, ExtAdd,
  // Sort order.
  SortKey, SortDirectionLabel, SortDirection,
  // New name.
  NameTemplate, NameTemplateButton, CounterPerDirectory, NoLeadingZeros,
  // Target directory.
  TargetTemplate, TargetTemplateButton, TargetBrowse, KeepSubfolders, TargetMove,
};
inline constexpr int kControlCount = static_cast<int>(Control::TargetMove) + 1;

// The page a control sits on.
int PageOfControl(Control control);

// Whether the control is enabled for these settings. A rule list's remove button also needs a
// selected row (`rowSelected`).
bool ControlEnabled(Control control, const Preset& settings, bool rowSelected);

// ---- Filter rule editor ----

inline constexpr int kFilterKindCount = 10;  // kinds the editor offers: 0..9
bool FilterKindIsNumeric(int kind);           // 3..9 compare numbers, 0..2 texts
int FilterKindCaptionEntry(int kind);         // -1 for a kind the editor does not offer
// The operator's caption in a rule row: numeric operators for mode 1, text operators for mode 2.
int FilterOperatorCaptionEntry(int mode, int op);

// What the number field shows when a numeric kind is chosen: its default value and its cue
// banner with the range hint.
struct NumberFieldHint {
  QString DefaultValue;
  QString Cue;
};
NumberFieldHint FilterNumberHint(int kind, const CalendarParts& now);
// The cue banner of the text field for a text kind.
QString FilterTextCue(int kind);

// The editing controls of the filter page, as read from the widgets.
struct FilterEditorValues {
  int Kind = 0;
  int NumericOperator = 0;
  int TextOperator = 0;
  QString Number;
  QString Text;
};
// The rule the add button appends (checked), or nothing when the value is empty.
std::optional<FilterCondition> MakeFilterRule(const FilterEditorValues& values);
// The editing controls for a selected rule row: kind, its operator and its value.
FilterEditorValues EditorValuesOf(const FilterCondition& rule);

// ---- Date rule editor ----

inline constexpr int kDatePartCount = 18;
QString DatePartCaption(int part);  // "Modified: Hour"

struct SpinRange {
  int Minimum = 0;
  int Maximum = 0;
  int Default = 0;
};
// The spinner's range and default for a date part and an operation (0 set, 1 add, 2 subtract).
SpinRange DateRuleRange(int part, int operation, const CalendarParts& now);
// Its tooltip: entry 185 + "  (min-max)".
QString DateRuleTooltip(const SpinRange& range);

// ---- Find/replace and extension rules ----

enum class RuleProblem {
  None,
  EmptyValue,         // nothing to find, no old extension
  EmptyTarget,        // no new extension
  InvalidCharacters,  // the replacement or new extension fails the file-name character test
};
RuleProblem CheckReplaceRule(const QString& find, const QString& replacement);
RuleProblem CheckExtensionRule(const QString& fromList, const QString& toExtension);
