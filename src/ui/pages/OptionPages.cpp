#include "ui/pages/OptionPages.h"

#include "ui/pages/AttributesPage.h"
#include "ui/pages/CutInsertPage.h"
#include "ui/pages/DateRulesPage.h"
#include "ui/pages/ExtensionPage.h"
#include "ui/pages/FileDatesPage.h"
#include "ui/pages/FilterPage.h"
#include "ui/pages/NameCasePage.h"
#include "ui/pages/NewNamePage.h"
#include "ui/pages/SortPage.h"
#include "ui/pages/TargetPage.h"
#include "ui/pages/ZoneMarkPage.h"

#include <QLineEdit>
#include <QToolButton>

namespace {

// The class of each page of the table. Page 0, the loaded files, belongs to the window.
OptionPage* MakePage(PageIndex page, const PageSetup& setup) {
  switch (page) {
    case kPageFiles:
      return nullptr;
    case kPageFilter:
      return new FilterPage(setup);
    case kPageDates:
      return new FileDatesPage(setup);
    case kPageDateRules:
      return new DateRulesPage(setup);
    case kPageAttributes:
      return new AttributesPage(setup);
    case kPageCutInsert:
      return new CutInsertPage(setup);
    case kPageNameCase:
      return new NameCasePage(setup);
    case kPageExtension:
      return new ExtensionPage(setup);
    case kPageSort:
      return new SortPage(setup);
    case kPageZoneMark:
      return new ZoneMarkPage(setup);
    case kPageNewName:
      return new NewNamePage(setup);
    case kPageTarget:
      return new TargetPage(setup);
  }
  return nullptr;
}

}  // namespace

OptionPages::OptionPages(bool templateButtons, bool patternButtons, Clock now, QObject* parent)
    : QObject(parent) {
  const PageSetup setup{templateButtons, patternButtons, std::move(now)};
  for (const PageRow& row : kPages) {
    OptionPage* page = MakePage(row.Id, setup);
    if (page == nullptr) continue;
    page->setParent(this);
    page->Build();
    pages_[static_cast<size_t>(row.Id)] = page;
    connect(page, &OptionPage::Edited, this, &OptionPages::Edited);
    connect(page, &OptionPage::SwitchesChanged, this, &OptionPages::SwitchesChanged);
    connect(page, &OptionPage::ListButtonClicked, this, &OptionPages::ListButtonClicked);
    connect(page, &OptionPage::RuleRefused, this, &OptionPages::RuleRefused);
  }
  if (TargetPage* target = Get<TargetPage>())
    connect(target, &TargetPage::BrowseClicked, this, &OptionPages::BrowseTargetClicked);
}

// The page objects are children; each deletes its widget when no window has taken it.
OptionPages::~OptionPages() = default;

OptionPage* OptionPages::PageObject(int page) const {
  return FindPage(page) != nullptr ? pages_[static_cast<size_t>(page)] : nullptr;
}

QWidget* OptionPages::Page(int page) const {
  const OptionPage* object = PageObject(page);
  return object != nullptr ? object->Widget() : nullptr;
}

void OptionPages::Fill(const Preset& settings) {
  for (OptionPage* page : pages_)
    if (page != nullptr) page->Fill(settings);
  emit Edited();
}

void OptionPages::Store(Preset& settings) const {
  for (const OptionPage* page : pages_)
    if (page != nullptr) page->Store(settings);
}

Preset OptionPages::Switches() const {
  Preset switches;
  Store(switches);
  return switches;
}

void OptionPages::UpdateEnabling() {
  for (OptionPage* page : pages_)
    if (page != nullptr) page->UpdateEnabling();
}

QWidget* OptionPages::ControlWidget(Control control) const {
  const OptionPage* page = PageObject(PageOfControl(control));
  return page != nullptr ? page->ControlWidget(control) : nullptr;
}

QLineEdit* OptionPages::Field(FieldKind kind) const {
  for (const OptionPage* page : pages_)
    if (page != nullptr)
      if (QLineEdit* field = page->Field(kind)) return field;
  return nullptr;
}

QToolButton* OptionPages::ListButton(FieldKind kind) const {
  for (const OptionPage* page : pages_)
    if (page != nullptr)
      if (QToolButton* button = page->ListButton(kind)) return button;
  return nullptr;
}

ReportView* OptionPages::RuleList(int page) const {
  const OptionPage* object = PageObject(page);
  return object != nullptr ? object->RuleList() : nullptr;
}

int64_t OptionPages::DatePickerValue() const {
  const FileDatesPage* dates = Get<FileDatesPage>();
  return dates != nullptr ? dates->PickerValue() : 0;
}

QPushButton* OptionPages::BrowseButton() const {
  const TargetPage* target = Get<TargetPage>();
  return target != nullptr ? target->BrowseButton() : nullptr;
}
