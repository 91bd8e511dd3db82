#pragma once

#include "platform/LocalTime.h"
#include "records/Preset.h"
#include "ui/pages/OptionPage.h"
#include "ui/pages/ShownRules.h"

#include <QString>

class QComboBox;
class QSpinBox;

// ---- The date rule editor's rules, without widgets ----

// A date part is a file date and a unit of it: value div 6 the date, value mod 6 the unit.
inline constexpr int kDatePartCount = 18;
QString DatePartCaption(int part);  // "Modified: Hour"
inline constexpr int kDateOperationCount = 3;  // 0 set to, 1 add, 2 subtract
QString DateOperationCaption(int operation);

struct SpinRange {
  int Minimum = 0;
  int Maximum = 0;
  int Default = 0;
};
// The spinner's range and default for a date part and an operation.
SpinRange DateRuleRange(int part, int operation, const CalendarParts& now);
// Its tooltip: the number hint + "  (min-max)".
QString DateRuleTooltip(const SpinRange& range);

// ---- The page ----

// Date adjustment rules: the switch, the list of rules and the editor that adds them.
class DateRulesPage : public OptionPage {
 public:
  explicit DateRulesPage(PageSetup setup) : OptionPage(kPageDateRules, std::move(setup)) {}

  void Store(Preset& settings) const override;

  RuleRefusal AddRule();
  void RemoveSelectedRules();

 protected:
  void BuildControls(QVBoxLayout* layout) override;
  void FillControls(const Preset& settings) override;

 private:
  // The spinner's range, default and tooltip for the chosen part and operation.
  void UpdateSpinner();
  void ShowRule(int row);

  QCheckBox* active_ = nullptr;
  ShownRules<DateAdjustment> rules_;
  QComboBox* part_ = nullptr;
  QComboBox* operation_ = nullptr;
  QSpinBox* amount_ = nullptr;
};
