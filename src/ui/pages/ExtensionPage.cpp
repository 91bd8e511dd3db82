#include "ui/pages/ExtensionPage.h"

#include "checks/Validation.h"
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
#include <QToolButton>
#include <QVBoxLayout>

RuleProblem CheckExtensionRule(const QString& fromList, const QString& toExtension,
                               int8_t expression) {
  if (fromList.isEmpty()) return RuleProblem::EmptyValue;
  QString compact = toExtension;
  compact.remove(u' ');
  if (compact.isEmpty()) return RuleProblem::EmptyTarget;
  if (!FileNameTextValid(compact)) return RuleProblem::InvalidCharacters;
  if (ExtensionRuleProblem({kItemChecked, fromList, toExtension, expression}).Found())
    return RuleProblem::InvalidExpression;
  return RuleProblem::None;
}

int8_t ExtensionPage::EditorExpression() const {
  if (regex_ == nullptr || !regex_->isChecked()) return kExpressionWildcards;
  return regexCase_->isChecked() ? kExpressionRegexCaseSensitive : kExpressionRegex;
}

void ExtensionPage::ShowExpressionProblem() {
  const RegexProblem problem =
      from_->text().isEmpty()
          ? RegexProblem{}
          : ExtensionRuleProblem({kItemChecked, from_->text(), to_->text(), EditorExpression()});
  ShowProblem(from_, regexProblem_, problem.Found() ? RegexProblemText(problem) : QString());
}

void ExtensionPage::BuildControls(QVBoxLayout* layout) {
  auto* caseRow = NewRowLayout();
  caseActive_ = NewSwitch(WithColon(kTextExtensionChangeCase));
  caseMode_ = new QComboBox;
  caseMode_->addItem(Caption(kTextExtensionLowerCase));
  caseMode_->addItem(Caption(kTextExtensionUpperCase));
  caseMode_->setAccessibleName(Caption(kTextExtensionChangeCase));
  FitDropDown(caseMode_);
  caseRow->addWidget(caseActive_, 200);
  caseRow->addWidget(caseMode_, 135);
  layout->addLayout(caseRow);
  layout->addSpacing(6);

  rulesActive_ = NewSwitch(WithColon(kTextExtensionCorrectExtensions));
  layout->addWidget(rulesActive_);
  rules_.Model = new RuleTableModel<ExtensionCorrection>(
      {Caption(kTextExtensionOldExtensions), Caption(kTextExtensionNewExtension)},
      [](const ExtensionCorrection& rule, int column) {
        if (column != 1) return rule.ToExtension;
        return rule.IsRegex()
                   ? rule.FromList + QStringLiteral("  [") + AdditionText(kAddRegexSwitch) + u']'
                   : rule.FromList;
      },
      this);
  rules_.View = NewRuleList(rules_.Model, {28, 190, 130});
  rules_.View->setAccessibleName(Caption(kTextExtensionCorrectExtensions));
  layout->addWidget(rules_.View, 1);

  auto* editor = NewRowLayout();
  editor->setSpacing(2);
  QWidget* fromRow = nullptr;
  from_ = NewField(FieldKind::OldExtensions,
                   Caption(kTextHintOldExtensions) + QStringLiteral("  (") +
                       Caption(kTextHintSeparatedByBar) + u')',
                   fromRow);
  QLabel* arrow = NewArrowImage();
  to_ = new QLineEdit;
  to_->setPlaceholderText(Caption(kTextHintNewExtension) + QStringLiteral("  (") +
                          Caption(kTextHintWithoutDot) + u')');
  to_->setAccessibleName(Caption(kTextHintNewExtension));
  editor->addWidget(fromRow, 180);
  editor->addWidget(arrow);
  editor->addWidget(to_, 130);
  layout->addLayout(editor);

  auto* regexRow = NewRowLayout();
  regex_ = new QCheckBox(AdditionText(kAddRegexSwitch));
  regex_->setToolTip(AdditionText(kAddRegexSwitchTip));
  regexCase_ = new QCheckBox(AdditionText(kAddRegexCaseSwitch));
  regexRow->addWidget(regex_);
  regexRow->addWidget(regexCase_);
  regexRow->addStretch(1);
  layout->addLayout(regexRow);
  regexProblem_ = NewProblemLine();
  layout->addWidget(regexProblem_);
  for (QLineEdit* field : {from_, to_})
    connect(field, &QLineEdit::textChanged, this, [this] { ShowExpressionProblem(); });
  for (QCheckBox* box : {regex_, regexCase_})
    connect(box, &QCheckBox::toggled, this, [this] { ShowExpressionProblem(); });
  // The switches are part of the rule editor: usable while its fields are, the letter case only
  // for a regular expression.
  connect(regex_, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });
  EnableWhile(regex_, &Preset::ExtRulesActive);
  EnableWhile(regexCase_, &Preset::ExtRulesActive, [this] { return regex_->isChecked(); });
  ShowExpressionProblem();

  auto* remove = new QPushButton(Caption(kTextExtensionRemoveSelected));
  auto* add = new QPushButton(Caption(kTextExtensionAddRule));
  layout->addLayout(RuleButtonRow(remove, add));

  connect(remove, &QPushButton::clicked, this, [this] { RemoveSelectedRules(); });
  connect(add, &QPushButton::clicked, this, [this] { Refuse(AddRule()); });
  OnRuleChosen([this](int row) {
    from_->setText(rules_.At(row).FromList);
    to_->setText(rules_.At(row).ToExtension);
    regex_->setChecked(rules_.At(row).IsRegex());
    regexCase_->setChecked(rules_.At(row).Expression == kExpressionRegexCaseSensitive);
  });

  using C = Control;
  Register(C::ExtCaseMode, caseMode_);
  Register(C::ExtRuleList, rules_.View);
  Register(C::ExtFrom, from_);
  Register(C::ExtFromButton, ListButton(FieldKind::OldExtensions));
  Register(C::ExtArrow, arrow);
  Register(C::ExtTo, to_);
  Register(C::ExtRemove, remove, rules_.View);
  Register(C::ExtAdd, add);
}

void ExtensionPage::FillControls(const Preset& s) {
  caseActive_->setChecked(s.ExtCaseActive != 0);
  caseMode_->setCurrentIndex(s.ExtCaseMode);
  rulesActive_->setChecked(s.ExtRulesActive != 0);
  rules_.Fill(s.ExtensionCorrections);
}

void ExtensionPage::Store(Preset& s) const {
  s.ExtCaseActive = caseActive_->isChecked() ? 1 : 0;
  s.ExtCaseMode = static_cast<int8_t>(caseMode_->currentIndex());
  s.ExtRulesActive = rulesActive_->isChecked() ? 1 : 0;
  s.ExtensionCorrections = rules_.Rules();
}

RuleRefusal ExtensionPage::AddRule() {
  const RuleProblem problem = CheckExtensionRule(from_->text(), to_->text(), EditorExpression());
  if (problem != RuleProblem::None)
    return {problem, problem == RuleProblem::EmptyValue || problem == RuleProblem::InvalidExpression
                         ? from_
                         : to_};
  ExtensionCorrection rule;
  rule.ItemState = kItemChecked;
  rule.FromList = from_->text();
  rule.ToExtension = to_->text();
  rule.Expression = EditorExpression();
  rules_.Append(rule);
  return {};
}

void ExtensionPage::RemoveSelectedRules() {
  rules_.RemoveSelected();
  UpdateEnabling();
}
