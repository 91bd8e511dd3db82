#include "ui/widgets/CommandButton.h"

#include <QFontMetrics>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

constexpr int kIconSide = 32;
constexpr int kGap = 6;
constexpr int kTextWidth = 86;  // the caption's width in a face 115 pixels wide at 96 dpi

}  // namespace

CommandButton::CommandButton(const QIcon& icon, const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
  setIcon(icon);
  setIconSize(QSize(kIconSide, kIconSide));
  setAccessibleName(caption);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

int CommandButton::TextFlags() const {
  return Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
}

QSize CommandButton::sizeHint() const {
  const QFontMetrics metrics(font());
  const QRect needed = metrics.boundingRect(QRect(0, 0, kTextWidth, 1000), TextFlags(), text());
  QStyleOptionButton option;
  initStyleOption(&option);
  const QSize contents(kIconSide + kGap + std::max(needed.width(), kTextWidth),
                       std::max(kIconSide, needed.height()));
  return style()->sizeFromContents(QStyle::CT_PushButton, &option, contents, this);
}

QSize CommandButton::minimumSizeHint() const {
  // Narrow enough to wrap the caption, never so narrow that a word is cut.
  const QFontMetrics metrics(font());
  int widestWord = 0;
  for (const QString& word :
       text().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
    widestWord = std::max(widestWord, metrics.horizontalAdvance(word));
  const QRect needed = metrics.boundingRect(QRect(0, 0, widestWord, 1000), TextFlags(), text());
  QStyleOptionButton option;
  initStyleOption(&option);
  const QSize contents(kIconSide + kGap + widestWord, std::max(kIconSide, needed.height()));
  return style()->sizeFromContents(QStyle::CT_PushButton, &option, contents, this);
}

QRect CommandButton::TextRect(const QRect& contents) const {
  return contents.adjusted(kIconSide + kGap, 0, 0, 0);
}

void CommandButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  const QString caption = option.text;
  option.text.clear();
  option.icon = QIcon();
  painter.drawControl(QStyle::CE_PushButtonBevel, option);

  const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
  // Icon and caption together are centred in the face.
  const QFontMetrics metrics(font());
  const QRect room = TextRect(contents);
  const QRect needed = metrics.boundingRect(room, TextFlags(), caption);
  const int blockWidth = kIconSide + kGap + std::min(needed.width(), room.width());
  const int left = contents.left() + std::max(0, (contents.width() - blockWidth) / 2);
  const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
  const QRect iconRect(left, contents.center().y() - kIconSide / 2 + 1, kIconSide, kIconSide);
  icon().paint(&painter, iconRect, Qt::AlignCenter, mode);
  const QRect textRect(left + kIconSide + kGap, contents.top(),
                       contents.right() - (left + kIconSide + kGap) + 1, contents.height());
  painter.drawItemText(textRect, TextFlags(), palette(), isEnabled(), caption,
                       QPalette::ButtonText);
}
