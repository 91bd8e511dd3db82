#include "ui/pages/FilterPage.h"

#include "checks/FilterConditionCheck.h"
#include "filelist/Prepare.h"
#include "naming/NameRules.h"
#include "texts/AdditionEntries.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/widgets/IconCombo.h"
#include "ui/widgets/UiTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>

namespace {

// The operators of each mode, in value order.
constexpr std::array<PageText, 4> kNumericOperators = {kTextFilterEqual, kTextFilterNotEqual,
                                                       kTextFilterLessThan, kTextFilterGreaterThan};
constexpr std::array<PageText, 12> kTextOperators = {
    kTextFilterIs, kTextFilterIsNot, kTextFilterContains, kTextFilterDoesNotContain,
    kTextFilterIsCase, kTextFilterIsNotCase, kTextFilterContainsCase, kTextFilterDoesNotContainCase,
    // Mervane's own: regular expressions (kOperatorRegexMatches and on).
    kAddOperatorMatchesRegex, kAddOperatorNotMatchesRegex, kAddOperatorMatchesRegexCase,
    kAddOperatorNotMatchesRegexCase};

const PageText* OperatorOf(int mode, int op) {
  if (op < 0) return nullptr;
  if (mode == kModeNumeric && op < static_cast<int>(kNumericOperators.size()))
    return &kNumericOperators[static_cast<size_t>(op)];
  if (mode == kModeText && op < static_cast<int>(kTextOperators.size()))
    return &kTextOperators[static_cast<size_t>(op)];
  return nullptr;
}

QString RangeHint(int minimum, int maximum) {
  return QStringLiteral("  (") + QString::number(minimum) + u'-' + QString::number(maximum) + u')';
}

QString InParentheses(int entry) {
  return QStringLiteral("  (") + LanguageText(entry) + u')';
}

}  // namespace

bool FilterKindIsNumeric(int kind) {
  return kind >= kFilterSizeKiB && kind <= kFilterYear;
}

int FilterKindCaptionEntry(int kind) {
  return kind >= 0 && kind < kFilterKindCount ? ConditionKindCaptionEntry(kind) : -1;
}

int FilterOperatorCaptionEntry(int mode, int op) {
  const PageText* caption = OperatorOf(mode, op);
  return caption != nullptr && !caption->Addition ? caption->Entry : -1;
}

int FilterOperatorCount(int mode) {
  if (mode == kModeNumeric) return static_cast<int>(kNumericOperators.size());
  if (mode == kModeText) return static_cast<int>(kTextOperators.size());
  return 0;
}

QString FilterOperatorCaption(int mode, int op) {
  const PageText* caption = OperatorOf(mode, op);
  return caption != nullptr ? caption->Text() : QString();
}

NumberFieldHint FilterNumberHint(int kind, const CalendarParts& now) {
  const QString cue = LanguageText(kTextHintEnterNumber);
  switch (kind) {
    case kFilterSizeKiB:
      return {QStringLiteral("500"), cue};
    case kFilterSecond:
    case kFilterMinute:
      return {QStringLiteral("0"), cue + RangeHint(0, 59)};
    case kFilterHour:
      return {QString::number(now.Hour), cue + RangeHint(0, 23)};
    case kFilterDay:
      return {QString::number(now.Day), cue + RangeHint(1, 31)};
    case kFilterMonth:
      return {QString::number(now.Month), cue + RangeHint(1, 12)};
    case kFilterYear:
      return {QString::number(now.Year), cue + RangeHint(1970, 2037)};
    default:
      return {QString(), cue};
  }
}

QString FilterTextCue(int kind) {
  const QString cue = LanguageText(kTextHintEnterText);
  if (kind == kFilterFolder) return cue + InParentheses(kTextHintFolderPath);
  if (kind == kFilterExtension) return cue + InParentheses(kTextHintWithoutDot);
  return cue;
}

namespace {

// The condition the editor describes, value empty or not.
FilterCondition EditorCondition(const FilterEditorValues& values) {
  const bool numeric = FilterKindIsNumeric(values.Kind);
  FilterCondition rule;
  rule.ItemState = kItemChecked;
  rule.Kind = static_cast<int8_t>(values.Kind);
  rule.Operator = static_cast<int8_t>(numeric ? values.NumericOperator : values.TextOperator);
  rule.Values = numeric ? values.Number : values.Text;
  rule.Mode = numeric ? kModeNumeric : kModeText;
  return rule;
}

}  // namespace

QString FilterEditorProblem(const FilterEditorValues& values) {
  if (values.Kind < 0 || values.Kind >= kFilterKindCount) return {};
  const FilterCondition rule = EditorCondition(values);
  // An empty field is not typed yet: the add button says so when it is pressed.
  if (rule.Values.isEmpty()) return {};
  const RegexProblem problem = ConditionRegexProblem(rule);
  return problem.Found() ? RegexProblemText(problem) : QString();
}

std::optional<FilterCondition> MakeFilterRule(const FilterEditorValues& values) {
  if (values.Kind < 0 || values.Kind >= kFilterKindCount) return std::nullopt;
  const FilterCondition rule = EditorCondition(values);
  if (rule.Values.isEmpty()) return std::nullopt;
  // An expression that does not compile is not added; the checks would refuse it.
  if (ConditionRegexProblem(rule).Found()) return std::nullopt;
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

void FilterPage::BuildControls(QVBoxLayout* layout) {
  active_ = NewSwitch(Caption(kTextFilterSwitch));
  layout->addWidget(active_);

  rules_.Model = new RuleTableModel<FilterCondition>(
      {Caption(kTextFilterProperty), Caption(kTextFilterCondition), Caption(kTextFilterValue)},
      [](const FilterCondition& rule, int column) -> QString {
        switch (column) {
          case 1: {
            const int entry = FilterKindCaptionEntry(rule.Kind);
            return entry >= 0 ? Caption(entry) : QString::number(rule.Kind);
          }
          case 2: {
            const QString caption = FilterOperatorCaption(rule.Mode, rule.Operator);
            return !caption.isEmpty() ? caption : QString::number(rule.Operator);
          }
          default:
            return rule.Values;
        }
      },
      this);
  rules_.View = NewRuleList(rules_.Model, {28, 120, 80, 120});
  rules_.View->setAccessibleName(PlainCaption(kTextPageFilterRules));
  layout->addWidget(rules_.View, 1);

  // The editor in two rows: what is compared and how, then the value, which gets the page's
  // whole width (a pattern or an expression may be long).
  auto* editor = NewRowLayout();
  kind_ = new QComboBox;
  for (int kind = 0; kind < kFilterKindCount; ++kind)
    kind_->addItem(Caption(FilterKindCaptionEntry(kind)));
  kind_->setAccessibleName(Caption(kTextFilterProperty));
  FitDropDown(kind_);
  editor->addWidget(kind_, 130);

  operatorStack_ = new QStackedWidget;
  numericOperator_ = new QComboBox;
  textOperator_ = new QComboBox;
  for (const auto& [combo, mode] :
       {std::pair{numericOperator_, kModeNumeric}, std::pair{textOperator_, kModeText}}) {
    for (int op = 0; op < FilterOperatorCount(mode); ++op)
      combo->addItem(FilterOperatorCaption(mode, op));
    combo->setAccessibleName(Caption(kTextFilterCondition));
    FitDropDown(combo);
    operatorStack_->addWidget(combo);
  }
  // The regular-expression captions are long: shown in full in the drop-down list, they must not
  // widen the closed box beyond its share of the row.
  textOperator_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  textOperator_->setMinimumContentsLength(12);
  textOperator_->setToolTip(textOperator_->currentText());
  connect(textOperator_, &QComboBox::currentTextChanged, textOperator_, &QWidget::setToolTip);
  editor->addWidget(operatorStack_, 200);
  layout->addLayout(editor);

  valueStack_ = new QStackedWidget;
  number_ = new QLineEdit;
  number_->setMaxLength(9);
  number_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), this));
  number_->setAccessibleName(Caption(kTextFilterValue));
  valueStack_->addWidget(number_);
  QWidget* textRow = nullptr;
  text_ = NewField(FieldKind::FilterText, Caption(kTextHintEnterText), textRow);
  text_->setAccessibleName(Caption(kTextFilterValue));
  valueStack_->addWidget(textRow);
  layout->addWidget(valueStack_);
  regexProblem_ = NewProblemLine();
  layout->addWidget(regexProblem_);

  auto* remove = new QPushButton(Caption(kTextFilterRemoveSelected));
  auto* add = new QPushButton(Caption(kTextFilterAddRule));
  layout->addLayout(RuleButtonRow(remove, add));

  connect(kind_, &QComboBox::currentIndexChanged, this, [this] { UpdateEditor(true); });
  connect(textOperator_, &QComboBox::currentIndexChanged, this,
          [this] { ShowExpressionProblem(); });
  connect(text_, &QLineEdit::textChanged, this, [this] { ShowExpressionProblem(); });
  connect(remove, &QPushButton::clicked, this, [this] { RemoveSelectedRules(); });
  connect(add, &QPushButton::clicked, this, [this] { Refuse(AddRule()); });
  OnRuleChosen([this](int row) { ShowRule(row); });

  using C = Control;
  Register(C::FilterList, rules_.View);
  Register(C::FilterKind, kind_);
  Register(C::FilterNumericOperator, numericOperator_);
  Register(C::FilterTextOperator, textOperator_);
  Register(C::FilterNumber, number_);
  Register(C::FilterText, text_);
  Register(C::FilterTextButton, ListButton(FieldKind::FilterText));
  Register(C::FilterRemove, remove, rules_.View);
  Register(C::FilterAdd, add);
  UpdateEditor(true);
}

void FilterPage::UpdateEditor(bool setDefault) {
  const int kind = kind_->currentIndex();
  const bool numeric = FilterKindIsNumeric(kind);
  operatorStack_->setCurrentIndex(numeric ? 0 : 1);
  valueStack_->setCurrentIndex(numeric ? 0 : 1);
  if (numeric) {
    const NumberFieldHint hint = FilterNumberHint(kind, Now());
    number_->setPlaceholderText(hint.Cue);
    if (setDefault) number_->setText(hint.DefaultValue);
  } else {
    text_->setPlaceholderText(FilterTextCue(kind));
  }
  ShowExpressionProblem();
}

FilterEditorValues FilterPage::EditorValues() const {
  FilterEditorValues values;
  values.Kind = kind_->currentIndex();
  values.NumericOperator = numericOperator_->currentIndex();
  values.TextOperator = textOperator_->currentIndex();
  values.Number = number_->text();
  values.Text = text_->text();
  return values;
}

void FilterPage::ShowExpressionProblem() {
  ShowProblem(text_, regexProblem_, FilterEditorProblem(EditorValues()));
}

void FilterPage::ShowRule(int row) {
  const FilterEditorValues values = EditorValuesOf(rules_.At(row));
  if (values.Kind >= 0 && values.Kind < kFilterKindCount) {
    const QSignalBlocker block(kind_);
    kind_->setCurrentIndex(values.Kind);
  }
  UpdateEditor(false);
  if (FilterKindIsNumeric(values.Kind)) {
    numericOperator_->setCurrentIndex(values.NumericOperator);
    number_->setText(values.Number);
  } else {
    textOperator_->setCurrentIndex(values.TextOperator);
    text_->setText(values.Text);
  }
}

void FilterPage::FillControls(const Preset& s) {
  active_->setChecked(s.FilterActive != 0);
  rules_.Fill(s.FilterConditions);
}

void FilterPage::Store(Preset& s) const {
  s.FilterActive = active_->isChecked() ? 1 : 0;
  s.FilterConditions = rules_.Rules();
}

RuleRefusal FilterPage::AddRule() {
  const FilterEditorValues values = EditorValues();
  const std::optional<FilterCondition> rule = MakeFilterRule(values);
  if (!rule) {
    const RuleProblem problem = FilterEditorProblem(values).isEmpty()
                                    ? RuleProblem::EmptyValue
                                    : RuleProblem::InvalidExpression;
    return {problem, FilterKindIsNumeric(values.Kind) ? number_ : text_};
  }
  rules_.Append(*rule);
  return {};
}

void FilterPage::RemoveSelectedRules() {
  rules_.RemoveSelected();
  UpdateEnabling();
}
