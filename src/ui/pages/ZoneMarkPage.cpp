#include "ui/pages/ZoneMarkPage.h"

#include "texts/LanguageEntries.h"
#include "ui/widgets/Icons.h"
#include "ui/widgets/UiTexts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

void ZoneMarkPage::BuildControls(QVBoxLayout* layout) {
  auto* row = NewRowLayout();
  auto* picture = new QLabel;
  QPixmap pixmap = StorePixmap(kImageZoneMark);
  if (pixmap.isNull()) pixmap = PageIcon(kPageZoneMark).pixmap(48, 48);
  picture->setPixmap(pixmap);
  picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  picture->setFixedWidth(68);
  auto* explanation = new QLabel(Caption(kTextMarkExplanation));
  explanation->setTextFormat(Qt::PlainText);
  explanation->setWordWrap(true);
  explanation->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  row->addWidget(picture, 0, Qt::AlignTop);
  row->addWidget(explanation, 1);
  layout->addLayout(row);
  layout->addSpacing(10);
  active_ = NewSwitch(Caption(kTextMarkSwitch));
  layout->addWidget(active_);
  layout->addStretch(1);
}

void ZoneMarkPage::FillControls(const Preset& s) {
  active_->setChecked(s.RemoveZoneMark != 0);
}

void ZoneMarkPage::Store(Preset& s) const {
  s.RemoveZoneMark = active_->isChecked() ? 1 : 0;
}
