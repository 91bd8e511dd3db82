#pragma once

#include "ui/pages/OptionPage.h"

#include <array>

class QComboBox;

// Attributes: per attribute a check box that switches its change on and a combo that says
// whether it is set or cleared; two buttons change every row at once.
class AttributesPage : public OptionPage {
 public:
  explicit AttributesPage(PageSetup setup) : OptionPage(kPageAttributes, std::move(setup)) {}

  void Store(Preset& settings) const override;

  // Every attribute to be cleared, and no attribute changed.
  void ClearAll();
  void ChangeNone();

 protected:
  void BuildControls(QVBoxLayout* layout) override;
  void FillControls(const Preset& settings) override;

 private:
  static constexpr int kRows = 4;
  void SetAll(bool change, int mode);

  std::array<QCheckBox*, kRows> change_{};
  std::array<QComboBox*, kRows> mode_{};
};
