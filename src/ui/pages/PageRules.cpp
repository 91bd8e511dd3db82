#include "ui/pages/PageRules.h"

#include <array>

namespace {

// What else a control needs, beyond its check box.
enum class Also {
  Nothing,
  RowSelected,    // a remove button: a selected row of its list
  KeyWithOrder,   // the sort direction: a key other than random order, which has no direction
};

struct ControlRow {
  Control Which;
  PageIndex Page;
  int8_t Preset::*Switch;
  Also Needs = Also::Nothing;
};

using C = Control;
using P = Preset;

// One row per control, in the order of Control.
constexpr std::array<ControlRow, kControlCount> kControls = {{
    {C::FilterList, kPageFilter, &P::FilterActive},
    {C::FilterKind, kPageFilter, &P::FilterActive},
    {C::FilterNumericOperator, kPageFilter, &P::FilterActive},
    {C::FilterTextOperator, kPageFilter, &P::FilterActive},
    {C::FilterNumber, kPageFilter, &P::FilterActive},
    {C::FilterText, kPageFilter, &P::FilterActive},
    {C::FilterTextButton, kPageFilter, &P::FilterActive},
    {C::FilterRemove, kPageFilter, &P::FilterActive, Also::RowSelected},
    {C::FilterAdd, kPageFilter, &P::FilterActive},
    {C::DateModeNow, kPageDates, &P::ChangeDates},
    {C::DateModeFixed, kPageDates, &P::ChangeDates},
    {C::DateModeCopy, kPageDates, &P::ChangeDates},
    {C::DatePicker, kPageDates, &P::ChangeDates},
    {C::DateCopySource, kPageDates, &P::ChangeDates},
    {C::DateRuleList, kPageDateRules, &P::DateRulesActive},
    {C::DateRulePart, kPageDateRules, &P::DateRulesActive},
    {C::DateRuleOperation, kPageDateRules, &P::DateRulesActive},
    {C::DateRuleAmount, kPageDateRules, &P::DateRulesActive},
    {C::DateRuleRemove, kPageDateRules, &P::DateRulesActive, Also::RowSelected},
    {C::DateRuleAdd, kPageDateRules, &P::DateRulesActive},
    {C::HiddenMode, kPageAttributes, &P::HiddenChange},
    {C::ReadOnlyMode, kPageAttributes, &P::ReadOnlyChange},
    {C::NotIndexedMode, kPageAttributes, &P::NotIndexedChange},
    {C::ArchiveMode, kPageAttributes, &P::ArchiveChange},
    {C::RemoveFromEnd, kPageCutInsert, &P::RemoveActive},
    {C::RemovePositionLabel, kPageCutInsert, &P::RemoveActive},
    {C::RemovePosition, kPageCutInsert, &P::RemoveActive},
    {C::RemoveCountLabel, kPageCutInsert, &P::RemoveActive},
    {C::RemoveCount, kPageCutInsert, &P::RemoveActive},
    {C::InsertFromEnd, kPageCutInsert, &P::InsertActive},
    {C::InsertPositionLabel, kPageCutInsert, &P::InsertActive},
    {C::InsertPosition, kPageCutInsert, &P::InsertActive},
    {C::InsertText, kPageCutInsert, &P::InsertActive},
    {C::InsertTextButton, kPageCutInsert, &P::InsertActive},
    {C::CaseMode, kPageNameCase, &P::CaseActive},
    {C::ReplaceList, kPageNameCase, &P::ReplaceActive},
    {C::ReplaceFind, kPageNameCase, &P::ReplaceActive},
    {C::ReplaceFindButton, kPageNameCase, &P::ReplaceActive},
    {C::ReplaceArrow, kPageNameCase, &P::ReplaceActive},
    {C::ReplaceWith, kPageNameCase, &P::ReplaceActive},
    {C::ReplaceWithButton, kPageNameCase, &P::ReplaceActive},
    {C::ReplaceRemove, kPageNameCase, &P::ReplaceActive, Also::RowSelected},
    {C::ReplaceAdd, kPageNameCase, &P::ReplaceActive},
    {C::ExtCaseMode, kPageExtension, &P::ExtCaseActive},
    {C::ExtRuleList, kPageExtension, &P::ExtRulesActive},
    {C::ExtFrom, kPageExtension, &P::ExtRulesActive},
    {C::ExtFromButton, kPageExtension, &P::ExtRulesActive},
    {C::ExtArrow, kPageExtension, &P::ExtRulesActive},
    {C::ExtTo, kPageExtension, &P::ExtRulesActive},
    {C::ExtRemove, kPageExtension, &P::ExtRulesActive, Also::RowSelected},
    {C::ExtAdd, kPageExtension, &P::ExtRulesActive},
    {C::SortKey, kPageSort, &P::SortActive},
    {C::SortDirectionLabel, kPageSort, &P::SortActive, Also::KeyWithOrder},
    {C::SortDirection, kPageSort, &P::SortActive, Also::KeyWithOrder},
    {C::NameTemplate, kPageNewName, &P::NameTemplateActive},
    {C::NameTemplateButton, kPageNewName, &P::NameTemplateActive},
    {C::CounterPerDirectory, kPageNewName, &P::NameTemplateActive},
    {C::NoLeadingZeros, kPageNewName, &P::NameTemplateActive},
    {C::TargetTemplate, kPageTarget, &P::TargetDirActive},
    {C::TargetTemplateButton, kPageTarget, &P::TargetDirActive},
    {C::TargetBrowse, kPageTarget, &P::TargetDirActive},
    {C::KeepSubfolders, kPageTarget, &P::TargetDirActive},
    {C::TargetMove, kPageTarget, &P::TargetDirActive},
}};

// Every row stands at its control's place, and a control's check box is one of its page's
// switches: a page shown as switched on is one whose controls can be used.
constexpr bool ControlsInOrder() {
  for (int i = 0; i < kControlCount; ++i) {
    const ControlRow& row = kControls[static_cast<size_t>(i)];
    if (static_cast<int>(row.Which) != i) return false;
    bool pageSwitch = false;
    for (int8_t Preset::*field : kPages[static_cast<size_t>(row.Page)].Switches)
      pageSwitch = pageSwitch || field == row.Switch;
    if (!pageSwitch) return false;
  }
  return true;
}
static_assert(ControlsInOrder(), "the control table is out of order");

const ControlRow* FindControl(Control control) {
  const int i = static_cast<int>(control);
  return i >= 0 && i < kControlCount ? &kControls[static_cast<size_t>(i)] : nullptr;
}

}  // namespace

int PageGroupCaptionEntry(int group) {
  if (group < 0 || group >= kPageGroupCount) return -1;
  const PageText& caption = kPageGroupCaptions[static_cast<size_t>(group)];
  return caption.Addition ? -1 : caption.Entry;
}

int PageGroupOf(int page) {
  const PageRow* row = FindPage(page);
  return row != nullptr ? row->Group : -1;
}

int PageDescriptionEntry(int page) {
  const PageRow* row = FindPage(page);
  return row != nullptr && !row->Description.Addition ? row->Description.Entry : -1;
}

QString PageRowCaption(int page, const Preset& settings) {
  const QString caption = PageCaption(page);
  return PageSwitchedOn(page, settings) ? QStringLiteral("> ") + caption : caption;
}

int PageOfControl(Control control) {
  const ControlRow* row = FindControl(control);
  return row != nullptr ? row->Page : -1;
}

bool ControlEnabled(Control control, const Preset& settings, bool rowSelected) {
  const ControlRow* row = FindControl(control);
  if (row == nullptr || settings.*(row->Switch) == 0) return false;
  switch (row->Needs) {
    case Also::RowSelected:
      return rowSelected;
    case Also::KeyWithOrder:
      return settings.SortKey != 0;
    case Also::Nothing:
      break;
  }
  return true;
}
