#pragma once

#include "ui/pages/OptionPage.h"

class QComboBox;

// Sort order: the key and the direction the files are numbered in. Random order has no
// direction.
class SortPage : public OptionPage {
 public:
  explicit SortPage(PageSetup setup) : OptionPage(kPageSort, std::move(setup)) {}

  void Store(Preset& settings) const override;

 protected:
  void BuildControls(QVBoxLayout* layout) override;
  void FillControls(const Preset& settings) override;

 private:
  QCheckBox* active_ = nullptr;
  QComboBox* key_ = nullptr;
  QComboBox* direction_ = nullptr;
};
