#pragma once

#include "ui/pages/OptionPage.h"

// Download zone mark: a picture, what the mark is, and the switch that removes it.
class ZoneMarkPage : public OptionPage {
 public:
  explicit ZoneMarkPage(PageSetup setup) : OptionPage(kPageZoneMark, std::move(setup)) {}

  void Store(Preset& settings) const override;

 protected:
  void BuildControls(QVBoxLayout* layout) override;
  void FillControls(const Preset& settings) override;

 private:
  QCheckBox* active_ = nullptr;
};
