#pragma once

#include <QComboBox>

// A narrow combo box that shows only the chosen item's icon; the open list shows icons and
// captions, and the tooltip and the accessible value name the chosen item.
class IconCombo : public QComboBox {
  Q_OBJECT

 public:
  explicit IconCombo(QWidget* parent = nullptr);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Makes the open list of a combo box as wide as its widest item.
void FitDropDown(QComboBox* combo);
