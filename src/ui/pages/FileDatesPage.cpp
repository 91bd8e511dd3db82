#include "ui/pages/FileDatesPage.h"

#include "naming/PlaceholderTable.h"
#include "texts/TextTables.h"

#include "texts/LanguageEntries.h"
#include "ui/widgets/UiTexts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimeZone>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

QDateTime PickerTime(int64_t dateValue) {
  // Date values count local calendar time as if it were UTC; the picker shows those parts.
  return QDateTime::fromSecsSinceEpoch(dateValue, QTimeZone::utc());
}

}  // namespace

void FileDatesPage::BuildControls(QVBoxLayout* layout) {
  active_ = NewSwitch(Caption(kTextDatesSwitch));
  layout->addWidget(active_);

  mode_ = new QButtonGroup(this);
  auto* now = new QRadioButton(Caption(kTextDatesToProcessingTime));
  now->setToolTip(Caption(kTextDatesToProcessingTimeTip));
  auto* fixed = new QRadioButton(WithColon(kTextDatesFixedDate));
  fixed->setToolTip(Caption(kTextDatesFixedDateTip));
  auto* copy = new QRadioButton(WithColon(kTextDatesCopyFrom));
  copy->setToolTip(Caption(kTextDatesCopyFromTip));
  mode_->addButton(now, 0);
  mode_->addButton(fixed, 1);
  mode_->addButton(copy, 2);

  picker_ = new QDateTimeEdit;
  picker_->setTimeSpec(Qt::UTC);
  picker_->setDisplayFormat(QStringLiteral("dd.MM.yyyy, HH:mm"));
  picker_->setCalendarPopup(true);
  picker_->setDateTimeRange(PickerTime(0), PickerTime(DateFromParts({2037, 12, 31, 23, 59, 59})));
  picker_->setAccessibleName(WithoutMnemonics(Caption(kTextDatesFixedDate)));
  copySource_ = new QComboBox;
  for (int source = 0; source < kFileDateCount; ++source)
    copySource_->addItem(FileDateCaption(source));
  // Index kDateSourceTaken: the file dates put back to when the photo was shot.
  copySource_->addItem(AdditionText(kAddDateSourceTaken));
  copySource_->setAccessibleName(WithoutMnemonics(Caption(kTextDatesCopyFrom)));

  auto* grid = new QGridLayout;
  grid->setContentsMargins(0, 4, 0, 0);
  grid->setVerticalSpacing(8);
  grid->addWidget(now, 0, 0, 1, 2);
  grid->addWidget(fixed, 1, 0);
  grid->addWidget(picker_, 1, 1);
  grid->addWidget(copy, 2, 0);
  grid->addWidget(copySource_, 2, 1);
  grid->setColumnStretch(0, 185);
  grid->setColumnStretch(1, 150);
  layout->addLayout(grid);
  layout->addStretch(1);

  connect(picker_, &QDateTimeEdit::dateTimeChanged, this, [fixed] { fixed->setChecked(true); });
  connect(copySource_, &QComboBox::activated, this, [copy] { copy->setChecked(true); });

  using C = Control;
  Register(C::DateModeNow, now);
  Register(C::DateModeFixed, fixed);
  Register(C::DateModeCopy, copy);
  Register(C::DatePicker, picker_);
  Register(C::DateCopySource, copySource_);
}

void FileDatesPage::FillControls(const Preset& s) {
  // Showing the preset's date is no choice of the fixed-date mode.
  const QSignalBlocker block(picker_);
  active_->setChecked(s.ChangeDates != 0);
  if (QAbstractButton* mode = mode_->button(s.DateMode)) mode->setChecked(true);
  filledNow_ = NowDate();
  picker_->setDateTime(PickerTime(s.FixedDate != 0 ? s.FixedDate : filledNow_));
  // A picker clamped to its range no longer shows "now": remember what it shows.
  if (s.FixedDate == 0) filledNow_ = picker_->dateTime().toSecsSinceEpoch();
  copySource_->setCurrentIndex(s.DateCopySource);
}

void FileDatesPage::Store(Preset& s) const {
  s.ChangeDates = active_->isChecked() ? 1 : 0;
  s.DateMode = static_cast<int8_t>(std::max(0, mode_->checkedId()));
  const int64_t picked = PickerValue();
  s.FixedDate = picked == filledNow_
                    ? 0
                    : static_cast<int32_t>(std::clamp<int64_t>(
                          picked, 0, std::numeric_limits<int32_t>::max()));
  s.DateCopySource = static_cast<int8_t>(copySource_->currentIndex());
}

int64_t FileDatesPage::PickerValue() const {
  return picker_->dateTime().toSecsSinceEpoch();
}
