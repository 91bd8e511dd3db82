#include "ui/pages/NameCasePage.h"

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

#include <array>

namespace {

// The case modes in value order (CaseMode).
constexpr std::array<LanguageEntry, 6> kCaseModes = {kTextNameLowerCase,    kTextNameUpperCase,
                                                     kTextNameCapitalWords, kTextNameSentenceCase,
                                                     kTextNameSwapCase,     kTextNameRandomCase};

}  // namespace

RuleProblem CheckReplaceRule(const QString& find, const QString& replacement, int8_t expression) {
  if (find.isEmpty()) return RuleProblem::EmptyValue;
  // The blank lets an empty replacement pass: removing the found text is a valid rule.
  if (!FileNameTextValid(replacement + u' ')) return RuleProblem::InvalidCharacters;
  if (ReplaceRuleProblem({kItemChecked, find, replacement, expression}).Found())
    return RuleProblem::InvalidExpression;
  return RuleProblem::None;
}

int8_t NameCasePage::EditorExpression() const {
  if (regex_ == nullptr || !regex_->isChecked()) return kExpressionWildcards;
  return regexCase_->isChecked() ? kExpressionRegexCaseSensitive : kExpressionRegex;
}

// Marked while being typed: the field turns red and the line under it says what is wrong.
void NameCasePage::ShowExpressionProblem() {
  const RegexProblem problem =
      find_->text().isEmpty()
          ? RegexProblem{}
          : ReplaceRuleProblem({kItemChecked, find_->text(), with_->text(), EditorExpression()});
  ShowProblem(find_, regexProblem_, problem.Found() ? RegexProblemText(problem) : QString());
}

void NameCasePage::BuildControls(QVBoxLayout* layout) {
  auto* caseRow = NewRowLayout();
  caseActive_ = NewSwitch(WithColon(kTextNameChangeCase));
  caseMode_ = new QComboBox;
  for (const LanguageEntry entry : kCaseModes) caseMode_->addItem(Caption(entry));
  caseMode_->setAccessibleName(Caption(kTextNameChangeCase));
  FitDropDown(caseMode_);
  caseRow->addWidget(caseActive_, 200);
  caseRow->addWidget(caseMode_, 135);
  layout->addLayout(caseRow);
  layout->addSpacing(6);

  replaceActive_ = NewSwitch(WithColon(kTextNameFindReplace));
  layout->addWidget(replaceActive_);
  rules_.Model = new RuleTableModel<TextReplacement>(
      {Caption(kTextNameFind), Caption(kTextNameReplaceWith)},
      [](const TextReplacement& rule, int column) {
        if (column != 1) return rule.Replacement;
        return rule.IsRegex()
                   ? rule.SearchList + QStringLiteral("  [") + AdditionText(kAddRegexSwitch) + u']'
                   : rule.SearchList;
      },
      this);
  rules_.View = NewRuleList(rules_.Model, {28, 160, 160});
  rules_.View->setAccessibleName(Caption(kTextNameFindReplace));
  layout->addWidget(rules_.View, 1);

  auto* editor = NewRowLayout();
  editor->setSpacing(2);
  QWidget* findRow = nullptr;
  find_ = NewField(FieldKind::FindText, Caption(kTextHintTextFind), findRow);
  QLabel* arrow = NewArrowImage();
  QWidget* withRow = nullptr;
  with_ = NewField(FieldKind::ReplaceWith, Caption(kTextHintReplaceWith), withRow);
  editor->addWidget(findRow, 1);
  editor->addWidget(arrow);
  editor->addWidget(withRow, 1);
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

  auto* remove = new QPushButton(Caption(kTextNameRemoveSelected));
  auto* add = new QPushButton(Caption(kTextNameAddRule));
  layout->addLayout(RuleButtonRow(remove, add));

  // One above the other: side by side they would make the page wider than any other.
  transliterate_ = NewSwitch(AdditionText(kAddTransliterateSwitch));
  transliterate_->setToolTip(AdditionText(kAddTransliterateTip));
  keepForm_ = NewSwitch(AdditionText(kAddKeepNameFormSwitch));
  keepForm_->setToolTip(AdditionText(kAddKeepNameFormTip));
  layout->addWidget(transliterate_);
  layout->addWidget(keepForm_);

  for (QLineEdit* field : {find_, with_})
    connect(field, &QLineEdit::textChanged, this, [this] { ShowExpressionProblem(); });
  for (QCheckBox* box : {regex_, regexCase_})
    connect(box, &QCheckBox::toggled, this, [this] { ShowExpressionProblem(); });
  // The switches are part of the rule editor: usable while its fields are, the letter case only
  // for a regular expression.
  connect(regex_, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });
  EnableWhile(regex_, &Preset::ReplaceActive);
  EnableWhile(regexCase_, &Preset::ReplaceActive, [this] { return regex_->isChecked(); });
  ShowExpressionProblem();

  connect(remove, &QPushButton::clicked, this, [this] { RemoveSelectedRules(); });
  connect(add, &QPushButton::clicked, this, [this] { Refuse(AddRule()); });
  OnRuleChosen([this](int row) {
    find_->setText(rules_.At(row).SearchList);
    with_->setText(rules_.At(row).Replacement);
    regex_->setChecked(rules_.At(row).IsRegex());
    regexCase_->setChecked(rules_.At(row).Expression == kExpressionRegexCaseSensitive);
  });

  using C = Control;
  Register(C::CaseMode, caseMode_);
  Register(C::ReplaceList, rules_.View);
  Register(C::ReplaceFind, find_);
  Register(C::ReplaceFindButton, ListButton(FieldKind::FindText));
  Register(C::ReplaceArrow, arrow);
  Register(C::ReplaceWith, with_);
  Register(C::ReplaceWithButton, ListButton(FieldKind::ReplaceWith));
  Register(C::ReplaceRemove, remove, rules_.View);
  Register(C::ReplaceAdd, add);
}

void NameCasePage::FillControls(const Preset& s) {
  caseActive_->setChecked(s.CaseActive != 0);
  caseMode_->setCurrentIndex(s.CaseMode);
  replaceActive_->setChecked(s.ReplaceActive != 0);
  rules_.Fill(s.TextReplacements);
  transliterate_->setChecked(s.TransliterateToAscii != 0);
  keepForm_->setChecked(s.KeepNameForm != 0);
}

void NameCasePage::Store(Preset& s) const {
  s.CaseActive = caseActive_->isChecked() ? 1 : 0;
  s.CaseMode = static_cast<int8_t>(caseMode_->currentIndex());
  s.ReplaceActive = replaceActive_->isChecked() ? 1 : 0;
  s.TextReplacements = rules_.Rules();
  s.TransliterateToAscii = transliterate_->isChecked() ? 1 : 0;
  s.KeepNameForm = keepForm_->isChecked() ? 1 : 0;
}

RuleRefusal NameCasePage::AddRule() {
  const RuleProblem problem = CheckReplaceRule(find_->text(), with_->text(), EditorExpression());
  if (problem != RuleProblem::None)
    return {problem, problem == RuleProblem::EmptyValue || problem == RuleProblem::InvalidExpression
                         ? find_
                         : with_};
  TextReplacement rule;
  rule.ItemState = kItemChecked;
  rule.SearchList = find_->text();
  rule.Replacement = with_->text();
  rule.Expression = EditorExpression();
  rules_.Append(rule);
  return {};
}

void NameCasePage::RemoveSelectedRules() {
  rules_.RemoveSelected();
  UpdateEnabling();
}
