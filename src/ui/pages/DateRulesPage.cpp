#include "ui/pages/DateRulesPage.h"

#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/widgets/IconCombo.h"
#include "ui/widgets/UiTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <array>

namespace {

constexpr int kUnitCount = 6;
// 0 second, 1 minute, 2 hour, 3 day, 4 month, 5 year.
constexpr std::array<LanguageEntry, kUnitCount> kUnits = {
    kTextWordSecond, kTextWordMinute, kTextWordHour, kTextWordDay, kTextWordMonth, kTextWordYear};
constexpr std::array<LanguageEntry, kDateOperationCount> kOperations = {
    kTextDateRulesSetTo, kTextDateRulesAdd, kTextDateRulesSubtract};

}  // namespace

QString DatePartCaption(int part) {
  if (part < 0 || part >= kDatePartCount) return QString();
  return FileDateCaption(part / kUnitCount) + QStringLiteral(": ") +
         LanguageText(kUnits[static_cast<size_t>(part % kUnitCount)]);
}

QString DateOperationCaption(int operation) {
  return operation >= 0 && operation < kDateOperationCount
             ? Caption(kOperations[static_cast<size_t>(operation)])
             : QString();
}

SpinRange DateRuleRange(int part, int operation, const CalendarParts& now) {
  const int unit = part < 0 ? 0 : part % kUnitCount;
  if (operation == 1 || operation == 2)
    return unit == 5 ? SpinRange{1, 50, 1} : SpinRange{1, 999, 1};
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
  return LanguageText(kTextHintEnterNumber) + QStringLiteral("  (") +
         QString::number(range.Minimum) + u'-' + QString::number(range.Maximum) + u')';
}

void DateRulesPage::BuildControls(QVBoxLayout* layout) {
  active_ = NewSwitch(Caption(kTextDateRulesSwitch));
  layout->addWidget(active_);

  rules_.Model = new RuleTableModel<DateAdjustment>(
      {Caption(kTextDateRulesDate), Caption(kTextDateRulesOperation), Caption(kTextDateRulesValue)},
      [](const DateAdjustment& rule, int column) -> QString {
        switch (column) {
          case 1: {
            const QString caption = DatePartCaption(rule.Unit);
            return !caption.isEmpty() ? caption : QString::number(rule.Unit);
          }
          case 2: {
            const QString caption = DateOperationCaption(rule.Operation);
            return !caption.isEmpty() ? caption : QString::number(rule.Operation);
          }
          default:
            return QString::number(rule.Amount);
        }
      },
      this);
  rules_.View = NewRuleList(rules_.Model, {28, 130, 100, 90});
  rules_.View->setAccessibleName(PlainCaption(kTextPageDateRules));
  layout->addWidget(rules_.View, 1);

  auto* editor = NewRowLayout();
  part_ = new QComboBox;
  for (int part = 0; part < kDatePartCount; ++part) part_->addItem(DatePartCaption(part));
  part_->setAccessibleName(Caption(kTextDateRulesDate));
  part_->setMaxVisibleItems(kDatePartCount);
  FitDropDown(part_);
  operation_ = new QComboBox;
  for (int operation = 0; operation < kDateOperationCount; ++operation)
    operation_->addItem(DateOperationCaption(operation));
  operation_->setAccessibleName(Caption(kTextDateRulesOperation));
  FitDropDown(operation_);
  amount_ = new QSpinBox;
  amount_->setAccessibleName(Caption(kTextDateRulesValue));
  editor->addWidget(part_, 140);
  editor->addWidget(operation_, 95);
  editor->addWidget(amount_, 95);
  layout->addLayout(editor);

  auto* remove = new QPushButton(Caption(kTextDateRulesRemoveSelected));
  auto* add = new QPushButton(Caption(kTextDateRulesAddRule));
  layout->addLayout(RuleButtonRow(remove, add));

  connect(part_, &QComboBox::currentIndexChanged, this, [this] { UpdateSpinner(); });
  connect(operation_, &QComboBox::currentIndexChanged, this, [this] { UpdateSpinner(); });
  connect(remove, &QPushButton::clicked, this, [this] { RemoveSelectedRules(); });
  connect(add, &QPushButton::clicked, this, [this] { Refuse(AddRule()); });
  OnRuleChosen([this](int row) { ShowRule(row); });

  using C = Control;
  Register(C::DateRuleList, rules_.View);
  Register(C::DateRulePart, part_);
  Register(C::DateRuleOperation, operation_);
  Register(C::DateRuleAmount, amount_);
  Register(C::DateRuleRemove, remove, rules_.View);
  Register(C::DateRuleAdd, add);
  UpdateSpinner();
}

void DateRulesPage::UpdateSpinner() {
  const SpinRange range = DateRuleRange(part_->currentIndex(), operation_->currentIndex(), Now());
  amount_->setRange(range.Minimum, range.Maximum);
  amount_->setValue(range.Default);
  amount_->setToolTip(DateRuleTooltip(range));
}

void DateRulesPage::ShowRule(int row) {
  const DateAdjustment& rule = rules_.At(row);
  {
    const QSignalBlocker blockPart(part_);
    const QSignalBlocker blockOperation(operation_);
    if (rule.Unit >= 0 && rule.Unit < kDatePartCount) part_->setCurrentIndex(rule.Unit);
    if (rule.Operation >= 0 && rule.Operation < kDateOperationCount)
      operation_->setCurrentIndex(rule.Operation);
  }
  UpdateSpinner();
  amount_->setValue(rule.Amount);
}

void DateRulesPage::FillControls(const Preset& s) {
  active_->setChecked(s.DateRulesActive != 0);
  rules_.Fill(s.DateAdjustments);
}

void DateRulesPage::Store(Preset& s) const {
  s.DateRulesActive = active_->isChecked() ? 1 : 0;
  s.DateAdjustments = rules_.Rules();
}

RuleRefusal DateRulesPage::AddRule() {
  DateAdjustment rule;
  rule.ItemState = kItemChecked;
  rule.Unit = static_cast<int8_t>(part_->currentIndex());
  rule.Operation = static_cast<int8_t>(operation_->currentIndex());
  rule.Amount = amount_->value();
  rules_.Append(rule);
  return {};
}

void DateRulesPage::RemoveSelectedRules() {
  rules_.RemoveSelected();
  UpdateEnabling();
}
