#pragma once

#include "ui/pages/OptionPage.h"
#include "ui/pages/ShownRules.h"

#include <QString>

class QComboBox;
class QLabel;

// ---- The extension editor's rule, without widgets ----

// An extension rule needs old extensions and a new extension that, without its blanks, is
// usable in a file name.
RuleProblem CheckExtensionRule(const QString& fromList, const QString& toExtension,
                               int8_t expression = kExpressionWildcards);

// ---- The page ----

// Extension: the letter case of the extension, and the list of extension rules with the editor
// that adds them.
class ExtensionPage : public OptionPage {
 public:
  explicit ExtensionPage(PageSetup setup) : OptionPage(kPageExtension, std::move(setup)) {}

  void Store(Preset& settings) const override;

  RuleRefusal AddRule();
  void RemoveSelectedRules();

 protected:
  void BuildControls(QVBoxLayout* layout) override;
  void FillControls(const Preset& settings) override;

 private:
  QCheckBox* caseActive_ = nullptr;
  QComboBox* caseMode_ = nullptr;
  QCheckBox* rulesActive_ = nullptr;
  ShownRules<ExtensionCorrection> rules_;
  QLineEdit* from_ = nullptr;
  QLineEdit* to_ = nullptr;
  QCheckBox* regex_ = nullptr;
  QCheckBox* regexCase_ = nullptr;
  QLabel* regexProblem_ = nullptr;  // what is wrong with the expression being typed

  int8_t EditorExpression() const;
  void ShowExpressionProblem();
};
