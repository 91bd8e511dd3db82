#pragma once

#include "ui/pages/OptionPage.h"

// New name: the name template and how its counter counts.
class NewNamePage : public OptionPage {
 public:
  explicit NewNamePage(PageSetup setup) : OptionPage(kPageNewName, std::move(setup)) {}

  void Store(Preset& settings) const override;

 protected:
  void BuildControls(QVBoxLayout* layout) override;
  void FillControls(const Preset& settings) override;

 private:
  QCheckBox* active_ = nullptr;
  QLineEdit* template_ = nullptr;
  QCheckBox* counterPerDirectory_ = nullptr;
  QCheckBox* noLeadingZeros_ = nullptr;
};
