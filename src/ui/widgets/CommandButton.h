#pragma once

#include <QIcon>
#include <QPushButton>

// One of the three large buttons above the pages: its face shows the icon beside the caption,
// which wraps at blanks and line feeds and is centred, in the system font and the button-text
// colour. The face is drawn anew at every size; the caption stays the button's text, so that
// screen readers and mnemonics see it.
class CommandButton : public QPushButton {
  Q_OBJECT

 public:
  CommandButton(const QIcon& icon, const QString& caption, QWidget* parent = nullptr);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect TextRect(const QRect& contents) const;
  int TextFlags() const;
};
