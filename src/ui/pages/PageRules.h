#pragma once

#include "records/Pages.h"
#include "records/Preset.h"

#include <QString>

// The rules of the option pages that need no widget: how a page shows in the page list and
// which control each enabling check box enables. The pages read them; the tests walk them as
// tables. What a page's rule editor accepts is declared with the page (FilterPage.h and so on).

// The page list's groups and the page's texts, from the page table. The entries are of the
// language table: -1 for a number that names nothing and for a text of the additions.
int PageGroupCaptionEntry(int group);
int PageGroupOf(int page);           // -1 for a number that names no page
int PageDescriptionEntry(int page);  // the text at the top of the page

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

// Why a rule editor's add button added nothing.
enum class RuleProblem {
  None,
  EmptyValue,         // nothing to find, no old extension
  EmptyTarget,        // no new extension
  InvalidCharacters,  // the replacement or new extension fails the file-name character test
  InvalidExpression,  // a regular expression, or its replacement, that cannot be used
};
