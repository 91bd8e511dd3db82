#pragma once

#include "ui/pages/OptionPage.h"

class QPushButton;

// Target directory: the folder template the files are moved or copied into, with a "..." button
// that chooses a folder (the window shows the chooser; the button is also a drop target).
class TargetPage : public OptionPage {
  Q_OBJECT

 public:
  explicit TargetPage(PageSetup setup) : OptionPage(kPageTarget, std::move(setup)) {}

  void Store(Preset& settings) const override;

  QPushButton* BrowseButton() const { return browse_; }

 signals:
  void BrowseClicked();

 protected:
  void BuildControls(QVBoxLayout* layout) override;
  void FillControls(const Preset& settings) override;

 private:
  QCheckBox* active_ = nullptr;
  QLineEdit* template_ = nullptr;
  QPushButton* browse_ = nullptr;
  QCheckBox* keepSubfolders_ = nullptr;
  QCheckBox* move_ = nullptr;
};
