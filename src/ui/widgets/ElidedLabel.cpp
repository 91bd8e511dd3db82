#include "ui/widgets/ElidedLabel.h"

#include <QFontMetrics>

#include <algorithm>

namespace {

// A file name may hold a line feed or a tab; on one line they show as their control pictures.
QString OnOneLine(QString text) {
  for (QChar& c : text)
    if (c.unicode() < 0x20) c = QChar(0x2400 + c.unicode());
  return text;
}

}  // namespace

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), mode_(mode) {
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void ElidedLabel::SetFullText(const QString& text) {
  if (text == full_ && !text.isEmpty()) return;
  full_ = text;
  setToolTip(text);
  setAccessibleDescription(text);
  Elide();
}

QSize ElidedLabel::minimumSizeHint() const {
  // Any width will do: the text is cut to fit.
  return {fontMetrics().averageCharWidth() * 4, QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const {
  return {fontMetrics().averageCharWidth() * 20, QLabel::sizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void ElidedLabel::Elide() {
  const int room = contentsRect().width() - 2 * margin();
  setText(fontMetrics().elidedText(OnOneLine(full_), mode_, std::max(0, room)));
}
