#include "ui/pages/NewNamePage.h"

#include "texts/LanguageEntries.h"
#include "ui/widgets/UiTexts.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

void NewNamePage::BuildControls(QVBoxLayout* layout) {
  active_ = NewSwitch(Caption(kTextNewNameSwitch));
  layout->addWidget(active_);
  QWidget* row = nullptr;
  template_ = NewField(FieldKind::NameTemplate, Caption(kTextHintEnterText), row);
  template_->setAccessibleName(Caption(kTextNewNameSwitch));
  layout->addWidget(row);
  layout->addSpacing(20);
  counterPerDirectory_ = new QCheckBox(Caption(kTextNewNameCounterPerFolder));
  noLeadingZeros_ = new QCheckBox(Caption(kTextNewNameNoLeadingZeros));
  noLeadingZeros_->setToolTip(Caption(kTextNewNameNoLeadingZerosTip));
  layout->addWidget(counterPerDirectory_);
  layout->addSpacing(8);
  layout->addWidget(noLeadingZeros_);
  layout->addStretch(1);

  using C = Control;
  Register(C::NameTemplate, template_);
  Register(C::NameTemplateButton, ListButton(FieldKind::NameTemplate));
  Register(C::CounterPerDirectory, counterPerDirectory_);
  Register(C::NoLeadingZeros, noLeadingZeros_);
}

void NewNamePage::FillControls(const Preset& s) {
  active_->setChecked(s.NameTemplateActive != 0);
  template_->setText(s.NameTemplate);
  counterPerDirectory_->setChecked(s.CounterPerDirectory != 0);
  noLeadingZeros_->setChecked(s.NoLeadingZeros != 0);
}

void NewNamePage::Store(Preset& s) const {
  s.NameTemplateActive = active_->isChecked() ? 1 : 0;
  s.NameTemplate = template_->text();
  s.CounterPerDirectory = counterPerDirectory_->isChecked() ? 1 : 0;
  s.NoLeadingZeros = noLeadingZeros_->isChecked() ? 1 : 0;
}
