#include "ui/widgets/IconCombo.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>
#include <QStylePainter>

IconCombo::IconCombo(QWidget* parent) : QComboBox(parent) {
  connect(this, &QComboBox::currentIndexChanged, this,
          [this] { setToolTip(currentText()); });
}

QSize IconCombo::sizeHint() const {
  QStyleOptionComboBox option;
  initStyleOption(&option);
  return style()->sizeFromContents(QStyle::CT_ComboBox, &option, iconSize() + QSize(4, 4), this);
}

QSize IconCombo::minimumSizeHint() const {
  return sizeHint();
}

void IconCombo::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText.clear();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void FitDropDown(QComboBox* combo) {
  QAbstractItemView* view = combo->view();
  const int widest = view->sizeHintForColumn(0);
  view->setMinimumWidth(widest + 2 * view->frameWidth() + 4);
}
