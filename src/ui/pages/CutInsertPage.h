#pragma once

#include "ui/pages/OptionPage.h"

class QComboBox;
class QSpinBox;

// Cut and insert characters: remove a run of characters and insert a text, each counted from
// the start or the end of the name.
class CutInsertPage : public OptionPage {
 public:
  explicit CutInsertPage(PageSetup setup) : OptionPage(kPageCutInsert, std::move(setup)) {}

  void Store(Preset& settings) const override;

 protected:
  void BuildControls(QVBoxLayout* layout) override;
  void FillControls(const Preset& settings) override;

 private:
  QCheckBox* removeActive_ = nullptr;
  QComboBox* removeFromEnd_ = nullptr;
  QSpinBox* removePosition_ = nullptr;
  QSpinBox* removeCount_ = nullptr;
  QCheckBox* insertActive_ = nullptr;
  QComboBox* insertFromEnd_ = nullptr;
  QSpinBox* insertPosition_ = nullptr;
  QLineEdit* insertText_ = nullptr;
};
