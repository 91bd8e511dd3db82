#pragma once

#include "ui/pages/OptionPage.h"
#include "ui/pages/ShownRules.h"

#include <QString>

class QComboBox;
class QLabel;

// ---- The find/replace editor's rule, without widgets ----

// A replace rule needs something to find; its replacement may be empty (it removes what it
// finds) but must be usable in a file name.
// A regular expression must compile and its replacement name only groups it has.
RuleProblem CheckReplaceRule(const QString& find, const QString& replacement,
                             int8_t expression = kExpressionWildcards);

// ---- The page ----

// Letter case and find/replace: the case mode of the name, and the list of replace rules with
// the editor that adds them.
class NameCasePage : public OptionPage {
 public:
  explicit NameCasePage(PageSetup setup) : OptionPage(kPageNameCase, std::move(setup)) {}

  void Store(Preset& settings) const override;

  RuleRefusal AddRule();
  void RemoveSelectedRules();

  // How the editor reads the rule being typed (RuleExpression).
  int8_t EditorExpression() const;

 protected:
  void BuildControls(QVBoxLayout* layout) override;
  void FillControls(const Preset& settings) override;

 private:
  QCheckBox* caseActive_ = nullptr;
  QComboBox* caseMode_ = nullptr;
  QCheckBox* replaceActive_ = nullptr;
  ShownRules<TextReplacement> rules_;
  QLineEdit* find_ = nullptr;
  QLineEdit* with_ = nullptr;
  QCheckBox* regex_ = nullptr;
  QCheckBox* regexCase_ = nullptr;
  QLabel* regexProblem_ = nullptr;  // what is wrong with the expression being typed
  QCheckBox* transliterate_ = nullptr;
  QCheckBox* keepForm_ = nullptr;

  void ShowExpressionProblem();
};
