#pragma once

#include "records/Preset.h"
#include "texts/AdditionEntries.h"
#include "texts/LanguageEntries.h"

#include <QString>

#include <array>
#include <cstdint>

// The option pages of the window: which exist, in which order and group, what they are called,
// what they say at their top, their icon and the switches that turn their module on. This table
// is the one list of pages; the checks, the preset's range check, the page rules, the page list
// and the icons read it. A page's number is its row: the number a preset stores as SelectedPage.

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

// A text of the table: an entry of the language table or one of Mervane's own additions, so
// that a page added later can carry its texts in the additions.
struct PageText {
  constexpr PageText(LanguageEntry entry) : Entry(entry) {}
  constexpr PageText(AdditionEntry entry) : Entry(entry), Addition(true) {}
  int Entry = -1;
  bool Addition = false;

  QString Text() const;
};

// The page list's groups, in list order.
inline constexpr auto kPageGroupCaptions = std::to_array<PageText>(
    {kTextPageGroupFiles, kTextPageGroupModifications, kTextPageGroupExtras, kTextPageGroupOutput});
inline constexpr int kPageGroupCount = static_cast<int>(kPageGroupCaptions.size());

// A page's picture: its number in the image store (resources/images/imageNN.png) and the name of
// the desktop icon theme's icon for the same purpose. Each page has a number of its own; the
// window's other pictures use theirs (ui/widgets/Icons.h), and a new page takes a free one.
struct PagePicture {
  int Image;
  const char* ThemeName;
};

// The settings whose check boxes switch a page's module on; a page counts as switched on while
// any of them is set. Unused places stay empty.
inline constexpr int kMaxPageSwitches = 4;
using PageSwitches = std::array<int8_t Preset::*, kMaxPageSwitches>;

struct PageRow {
  PageIndex Id;
  PageText Caption;      // the row of the page list; names the page in messages
  int Group;             // index into kPageGroupCaptions
  PageText Description;  // the text at the top of the page
  PagePicture Icon;
  PageSwitches Switches;
};

// Page 0 has no description of its own in the language table: the getting-started line on
// loading files says what the page is for.
inline constexpr auto kPages = std::to_array<PageRow>({
    {kPageFiles, kTextPageLoadedFiles, 0, kTextHelpStartLoad, {6, "system-file-manager"}, {}},
    {kPageFilter, kTextPageFilterRules, 0, kTextFilterDescription, {7, "edit-find"},
     {&Preset::FilterActive}},
    {kPageDates, kTextPageFileDates, 1, kTextDatesDescription, {8, "x-office-calendar"},
     {&Preset::ChangeDates}},
    {kPageDateRules, kTextPageDateRules, 1, kTextDateRulesDescription, {9, "appointment-new"},
     {&Preset::DateRulesActive}},
    {kPageAttributes, kTextPageAttributes, 1, kTextAttributesDescription,
     {10, "document-properties"},
     {&Preset::HiddenChange, &Preset::ReadOnlyChange, &Preset::NotIndexedChange,
      &Preset::ArchiveChange}},
    {kPageCutInsert, kTextPageRemoveInsert, 1, kTextCutDescription, {11, "edit-cut"},
     {&Preset::RemoveActive, &Preset::InsertActive}},
    {kPageNameCase, kTextPageCorrectFilename, 1, kTextNameDescription, {12, "edit-find-replace"},
     {&Preset::CaseActive, &Preset::ReplaceActive}},
    {kPageExtension, kTextPageCorrectExtension, 1, kTextExtensionDescription,
     {13, "text-x-generic"}, {&Preset::ExtCaseActive, &Preset::ExtRulesActive}},
    {kPageSort, kTextPageSortOrder, 2, kTextSortDescription, {14, "view-sort-ascending"},
     {&Preset::SortActive}},
    {kPageZoneMark, kTextPageDownloadMark, 2, kTextMarkDescription, {15, "internet-web-browser"},
     {&Preset::RemoveZoneMark}},
    {kPageNewName, kTextPageNewName, 3, kTextNewNameDescription, {16, "accessories-text-editor"},
     {&Preset::NameTemplateActive}},
    {kPageTarget, kTextPageTargetFolder, 3, kTextTargetDescription, {17, "folder-move"},
     {&Preset::TargetDirActive}},
});
inline constexpr int kPageCount = static_cast<int>(kPages.size());

// The row of a page; nullptr for a number that names none.
constexpr const PageRow* FindPage(int page) {
  return page >= 0 && page < kPageCount ? &kPages[static_cast<size_t>(page)] : nullptr;
}

namespace page_table_detail {
// Rows stand at their own number, and the groups follow one another from the first to the last
// without a gap or coming back, so that the page list shows each group once, over its pages.
constexpr bool RowsInOrder() {
  if (kPages.front().Group != 0 || kPages.back().Group != kPageGroupCount - 1) return false;
  for (int i = 0; i < kPageCount; ++i) {
    const PageRow& row = kPages[static_cast<size_t>(i)];
    if (row.Id != i || row.Group < 0 || row.Group >= kPageGroupCount) return false;
    if (i > 0 && row.Group != kPages[static_cast<size_t>(i - 1)].Group &&
        row.Group != kPages[static_cast<size_t>(i - 1)].Group + 1)
      return false;
  }
  return true;
}
}  // namespace page_table_detail
static_assert(page_table_detail::RowsInOrder(), "the page table is out of order");

// A page counts as switched on when any of its switches is set; page 0 has none.
bool PageSwitchedOn(int page, const Preset& settings);
// The page's caption and description; empty for a number that names no page.
QString PageCaption(int page);
QString PageDescription(int page);
// The language-table entry of the page's caption; -1 for a number that names no page and for a
// page whose caption is one of the additions.
int PageCaptionEntry(int page);
