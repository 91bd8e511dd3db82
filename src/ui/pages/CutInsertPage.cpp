#include "ui/pages/CutInsertPage.h"

#include "texts/LanguageEntries.h"
#include "ui/widgets/IconCombo.h"
#include "ui/widgets/Icons.h"
#include "ui/widgets/UiTexts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

IconCombo* FromCombo(const QString& name) {
  auto* combo = new IconCombo;
  combo->addItem(StoreIcon(kImageFromStart), Caption(kTextCutFromStart));
  combo->addItem(StoreIcon(kImageFromEnd), Caption(kTextCutFromEnd));
  combo->setAccessibleName(name);
  combo->setToolTip(combo->currentText());
  FitDropDown(combo);
  return combo;
}

QSpinBox* PositionSpinner(const QString& name) {
  auto* spin = new QSpinBox;
  spin->setRange(1, 999);
  spin->setAccessibleName(name);
  return spin;
}

}  // namespace

void CutInsertPage::BuildControls(QVBoxLayout* layout) {
  removeActive_ = NewSwitch(WithColon(kTextCutRemove));
  layout->addWidget(removeActive_);
  removeFromEnd_ = FromCombo(Caption(kTextCutRemove));
  removePosition_ = PositionSpinner(Caption(kTextCutRemovePosition));
  removeCount_ = PositionSpinner(Caption(kTextCutRemoveCount));
  auto* removePositionLabel = NewRightLabel(WithColon(kTextCutRemovePosition), removePosition_);
  auto* removeCountLabel = NewRightLabel(WithColon(kTextCutRemoveCount), removeCount_);
  auto* removeRow = NewRowLayout();
  removeRow->addWidget(removeFromEnd_);
  removeRow->addWidget(removePositionLabel, 1);
  removeRow->addWidget(removePosition_);
  removeRow->addWidget(removeCountLabel, 1);
  removeRow->addWidget(removeCount_);
  removeRow->addStretch(1);
  layout->addLayout(removeRow);
  layout->addSpacing(14);

  insertActive_ = NewSwitch(WithColon(kTextCutInsert));
  layout->addWidget(insertActive_);
  insertFromEnd_ = FromCombo(Caption(kTextCutInsert));
  insertPosition_ = PositionSpinner(Caption(kTextCutInsertPosition));
  auto* insertPositionLabel = NewRightLabel(WithColon(kTextCutInsertPosition), insertPosition_);
  QWidget* textRow = nullptr;
  insertText_ = NewField(FieldKind::InsertText, Caption(kTextHintEnterText), textRow);
  insertText_->setAccessibleName(Caption(kTextCutInsert));
  auto* insertRow = NewRowLayout();
  insertRow->addWidget(insertFromEnd_);
  insertRow->addWidget(insertPositionLabel, 1);
  insertRow->addWidget(insertPosition_);
  insertRow->addWidget(textRow, 4);
  layout->addLayout(insertRow);
  layout->addStretch(1);

  using C = Control;
  Register(C::RemoveFromEnd, removeFromEnd_);
  Register(C::RemovePositionLabel, removePositionLabel);
  Register(C::RemovePosition, removePosition_);
  Register(C::RemoveCountLabel, removeCountLabel);
  Register(C::RemoveCount, removeCount_);
  Register(C::InsertFromEnd, insertFromEnd_);
  Register(C::InsertPositionLabel, insertPositionLabel);
  Register(C::InsertPosition, insertPosition_);
  Register(C::InsertText, insertText_);
  Register(C::InsertTextButton, ListButton(FieldKind::InsertText));
}

void CutInsertPage::FillControls(const Preset& s) {
  removeActive_->setChecked(s.RemoveActive != 0);
  removeFromEnd_->setCurrentIndex(s.RemoveFromEnd);
  removePosition_->setValue(s.RemovePosition);
  removeCount_->setValue(s.RemoveCount);
  insertActive_->setChecked(s.InsertActive != 0);
  insertFromEnd_->setCurrentIndex(s.InsertFromEnd);
  insertPosition_->setValue(s.InsertPosition);
  insertText_->setText(s.InsertText);
}

void CutInsertPage::Store(Preset& s) const {
  s.RemoveActive = removeActive_->isChecked() ? 1 : 0;
  s.RemoveFromEnd = static_cast<int8_t>(removeFromEnd_->currentIndex());
  s.RemovePosition = static_cast<int16_t>(removePosition_->value());
  s.RemoveCount = static_cast<int16_t>(removeCount_->value());
  s.InsertActive = insertActive_->isChecked() ? 1 : 0;
  s.InsertFromEnd = static_cast<int8_t>(insertFromEnd_->currentIndex());
  s.InsertPosition = static_cast<int16_t>(insertPosition_->value());
  s.InsertText = insertText_->text();
}
