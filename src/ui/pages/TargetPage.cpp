#include "ui/pages/TargetPage.h"

#include "texts/LanguageEntries.h"
#include "ui/widgets/UiTexts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

void TargetPage::BuildControls(QVBoxLayout* layout) {
  active_ = NewSwitch(Caption(kTextTargetSwitch));
  layout->addWidget(active_);
  QWidget* fieldRow = nullptr;
  template_ = NewField(FieldKind::TargetTemplate,
                       Caption(kTextHintEnterText) + QStringLiteral("  (") +
                           Caption(kTextHintFolderPath) + u')',
                       fieldRow);
  template_->setAccessibleName(Caption(kTextTargetSwitch));
  browse_ = new QPushButton(QStringLiteral("..."));
  browse_->setToolTip(Caption(kTextChooseTargetFolder));
  browse_->setAccessibleName(Caption(kTextChooseTargetFolder));
  browse_->setFixedWidth(
      std::max(30, browse_->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 16));
  auto* row = NewRowLayout();
  row->setSpacing(2);
  row->addWidget(fieldRow, 1);
  row->addSpacing(3);
  row->addWidget(browse_);
  layout->addLayout(row);
  layout->addSpacing(20);
  keepSubfolders_ = new QCheckBox(Caption(kTextTargetKeepSubfolders));
  keepSubfolders_->setToolTip(Caption(kTextTargetKeepSubfoldersTip));
  move_ = new QCheckBox(Caption(kTextTargetMove));
  layout->addWidget(keepSubfolders_);
  layout->addSpacing(8);
  layout->addWidget(move_);
  layout->addStretch(1);

  connect(browse_, &QPushButton::clicked, this, &TargetPage::BrowseClicked);

  using C = Control;
  Register(C::TargetTemplate, template_);
  Register(C::TargetTemplateButton, ListButton(FieldKind::TargetTemplate));
  Register(C::TargetBrowse, browse_);
  Register(C::KeepSubfolders, keepSubfolders_);
  Register(C::TargetMove, move_);
}

void TargetPage::FillControls(const Preset& s) {
  active_->setChecked(s.TargetDirActive != 0);
  template_->setText(s.TargetDirTemplate);
  keepSubfolders_->setChecked(s.KeepSubfolders != 0);
  move_->setChecked(s.TargetMove != 0);
}

void TargetPage::Store(Preset& s) const {
  s.TargetDirActive = active_->isChecked() ? 1 : 0;
  s.TargetDirTemplate = template_->text();
  s.KeepSubfolders = keepSubfolders_->isChecked() ? 1 : 0;
  s.TargetMove = move_->isChecked() ? 1 : 0;
}
