#pragma once

#include "ui/pages/OptionPage.h"

#include <cstdint>

class QButtonGroup;
class QComboBox;
class QDateTimeEdit;

// File dates: set them to the time of the run, to a fixed date, or copy one date of the file
// into the others. Choosing a date or a source picks the mode that uses it.
class FileDatesPage : public OptionPage {
 public:
  explicit FileDatesPage(PageSetup setup) : OptionPage(kPageDates, std::move(setup)) {}

  void Store(Preset& settings) const override;

  // The date the picker shows now (a date value), for a run's fixed date.
  int64_t PickerValue() const;

 protected:
  void BuildControls(QVBoxLayout* layout) override;
  void FillControls(const Preset& settings) override;

 private:
  QCheckBox* active_ = nullptr;
  QButtonGroup* mode_ = nullptr;
  QDateTimeEdit* picker_ = nullptr;
  QComboBox* copySource_ = nullptr;
  int64_t filledNow_ = 0;  // the picker's value that means "the date at the start of the run"
};
