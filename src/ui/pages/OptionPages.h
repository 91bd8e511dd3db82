#pragma once

#include "records/Pages.h"
#include "records/Preset.h"
#include "ui/pages/OptionPage.h"
#include "ui/pages/PageRules.h"

#include <QObject>

#include <array>
#include <cstdint>
#include <functional>

class QLineEdit;
class QPushButton;
class QToolButton;
class QWidget;
class ReportView;

// The option pages of a window build: one page object per row of the page table but the
// loaded files (which the window builds itself), and what the window asks of them all. Built
// once per window build; the "<" buttons exist only when the preset's button options say so.
class OptionPages : public QObject {
  Q_OBJECT

 public:
  // `now` gives the current local date and time (the date picker's "now", default values of
  // the rule editors); tests pass a fixed clock.
  using Clock = std::function<int64_t()>;
  OptionPages(bool templateButtons, bool patternButtons, Clock now, QObject* parent = nullptr);
  ~OptionPages() override;

  // A page's widget (parentless until the window takes it); nullptr for page 0.
  QWidget* Page(int page) const;
  // The page object; nullptr for page 0 and for a number that names no page.
  OptionPage* PageObject(int page) const;
  // The page of that class, for what only it does.
  template <typename PageClass>
  PageClass* Get() const {
    for (OptionPage* page : pages_)
      if (auto* found = dynamic_cast<PageClass*>(page)) return found;
    return nullptr;
  }

  // Sets every control of every page from the settings, the rule lists included; then reports
  // one edit.
  void Fill(const Preset& settings);
  // Writes every control of every page into the settings (not the shown page and not the menu
  // options, which the window keeps).
  void Store(Preset& settings) const;
  // The settings that the enabling rules and the page list read, taken from the controls now.
  Preset Switches() const;
  // Recomputes which controls are enabled, on every page.
  void UpdateEnabling();

  // The widget of a control whose enabling the rules decide; nullptr for a "<" button that
  // does not exist.
  QWidget* ControlWidget(Control control) const;
  // The fields served by the pop-ups, and their "<" buttons (nullptr while the option is off).
  QLineEdit* Field(FieldKind kind) const;
  QToolButton* ListButton(FieldKind kind) const;
  // A page's rule list; nullptr for a page without one.
  ReportView* RuleList(int page) const;
  // The date the date picker shows now (a date value), for a run's fixed date.
  int64_t DatePickerValue() const;
  // The target page's "..." button, which the window also makes a drop target.
  QPushButton* BrowseButton() const;

 signals:
  // A control of any page changed, or the pages were filled: the settings may differ.
  void Edited();
  // An enabling check box changed: the page list's rows may change.
  void SwitchesChanged();
  // A "<" button was pressed.
  void ListButtonClicked(FieldKind kind);
  // The target page's "..." button was pressed.
  void BrowseTargetClicked();
  // An add button refused its rule.
  void RuleRefused(const RuleRefusal& refusal);

 private:
  std::array<OptionPage*, kPageCount> pages_{};
};
