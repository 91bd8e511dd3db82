#include "ui/pages/AttributesPage.h"

#include "texts/LanguageEntries.h"
#include "ui/widgets/IconCombo.h"
#include "ui/widgets/Icons.h"
#include "ui/widgets/UiTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The rows, top to bottom: the attribute's caption and tooltip, the settings it edits and the
// control whose enabling the page rules decide.
struct AttributeRow {
  LanguageEntry Caption;
  LanguageEntry Tip;
  int8_t Preset::*Change;
  int8_t Preset::*Clear;
  Control Mode;
};

constexpr std::array<AttributeRow, 4> kAttributes = {{
    {kTextAttributesHidden, kTextAttributesHiddenTip, &Preset::HiddenChange, &Preset::HiddenClear,
     Control::HiddenMode},
    {kTextAttributesReadOnly, kTextAttributesReadOnlyTip, &Preset::ReadOnlyChange,
     &Preset::ReadOnlyClear, Control::ReadOnlyMode},
    {kTextAttributesNotIndexed, kTextAttributesNotIndexedTip, &Preset::NotIndexedChange,
     &Preset::NotIndexedClear, Control::NotIndexedMode},
    {kTextAttributesArchive, kTextAttributesArchiveTip, &Preset::ArchiveChange,
     &Preset::ArchiveClear, Control::ArchiveMode},
}};

}  // namespace

void AttributesPage::BuildControls(QVBoxLayout* layout) {
  static_assert(kAttributes.size() == kRows);
  auto* grid = new QGridLayout;
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setVerticalSpacing(10);
  for (size_t i = 0; i < kAttributes.size(); ++i) {
    const AttributeRow& row = kAttributes[i];
    auto* change = NewSwitch(WithColon(row.Caption));
    change->setToolTip(Caption(row.Tip));
    auto* mode = new QComboBox;
    mode->addItem(StoreIcon(kImageAttributeSet), Caption(kTextAttributesSet));
    mode->addItem(StoreIcon(kImageAttributeClear), Caption(kTextAttributesClear));
    mode->setAccessibleName(WithoutMnemonics(Caption(row.Caption)));
    FitDropDown(mode);
    grid->addWidget(change, static_cast<int>(i), 0);
    grid->addWidget(mode, static_cast<int>(i), 1);
    change_[i] = change;
    mode_[i] = mode;
    Register(row.Mode, mode);
  }
  grid->setColumnStretch(0, 200);
  grid->setColumnStretch(1, 135);
  layout->addLayout(grid);
  layout->addSpacing(10);

  auto* buttons = NewRowLayout();
  auto* clearAll = new QPushButton(Caption(kTextAttributesClearAll));
  clearAll->setToolTip(Caption(kTextAttributesClearAllTip));
  auto* noChange = new QToolButton;
  noChange->setIcon(StoreIcon(kImageNoAttributeChange));
  noChange->setToolTip(Caption(kTextAttributesChangeNone));
  noChange->setAccessibleName(Caption(kTextAttributesChangeNone));
  noChange->setFocusPolicy(Qt::StrongFocus);
  noChange->setAutoRaise(false);
  buttons->addWidget(clearAll);
  buttons->addStretch(1);
  buttons->addWidget(noChange);
  layout->addLayout(buttons);
  layout->addStretch(1);

  connect(clearAll, &QPushButton::clicked, this, [this] { ClearAll(); });
  connect(noChange, &QToolButton::clicked, this, [this] { ChangeNone(); });
}

void AttributesPage::FillControls(const Preset& s) {
  for (size_t i = 0; i < kAttributes.size(); ++i) {
    change_[i]->setChecked(s.*(kAttributes[i].Change) != 0);
    mode_[i]->setCurrentIndex(s.*(kAttributes[i].Clear));
  }
}

void AttributesPage::Store(Preset& s) const {
  for (size_t i = 0; i < kAttributes.size(); ++i) {
    s.*(kAttributes[i].Change) = change_[i]->isChecked() ? 1 : 0;
    s.*(kAttributes[i].Clear) = static_cast<int8_t>(mode_[i]->currentIndex());
  }
}

void AttributesPage::ClearAll() {
  SetAll(true, 1);
}

void AttributesPage::ChangeNone() {
  SetAll(false, 0);
}

void AttributesPage::SetAll(bool change, int mode) {
  // One switch change for the four boxes, not four.
  for (size_t i = 0; i < kAttributes.size(); ++i) {
    const QSignalBlocker block(change_[i]);
    change_[i]->setChecked(change);
    mode_[i]->setCurrentIndex(mode);
  }
  UpdateEnabling();
  emit SwitchesChanged();
  // The boxes changed with their signals blocked, which their watchers cannot see.
  ReportEdit();
}
