#include "ui/window/MessageWindow.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMargin = 10;     // around the text and below the button
constexpr int kButtonGap = 20;  // between the text and the button
constexpr int kButtonWidth = 140;
constexpr double kDesignCharWidth = 7.0;  // average character width the texts were sized for

constexpr QChar kWordJoiner(0x2060);

QScreen* ScreenFor(const QWidget* owner) {
  if (owner != nullptr && owner->screen() != nullptr) return owner->screen();
  return QGuiApplication::primaryScreen();
}

}  // namespace

QString KeepOptionsWhole(const QString& text) {
  QString out;
  out.reserve(text.size() + 8);
  for (qsizetype i = 0; i < text.size(); ++i) {
    out += text[i];
    const bool opensWord = i == 0 || text[i - 1].isSpace() || text[i - 1] == QLatin1Char('"');
    if (text[i] == QLatin1Char('-') && opensWord && i + 1 < text.size() && text[i + 1].isLetter())
      out += kWordJoiner;
  }
  return out;
}

int ScaledTextWidth(int width, const QFont& font) {
  const double scale = std::max(1.0, QFontMetrics(font).averageCharWidth() / kDesignCharWidth);
  return static_cast<int>(std::lround(width * scale));
}

MessageWindow::MessageWindow(const MessageRequest& request) : QDialog(request.Owner) {
  setObjectName(QStringLiteral("MessageWindow"));
  setWindowTitle(request.Title);
  setModal(true);
  const QFont font =
      request.Font ? *request.Font : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  const Qt::Alignment alignment =
      (request.Centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop;

  text_ = new QLabel;
  text_->setObjectName(QStringLiteral("MessageText"));
  text_->setTextFormat(Qt::PlainText);
  text_->setWordWrap(true);
  text_->setAlignment(alignment);
  text_->setFont(font);
  text_->setText(KeepOptionsWhole(request.Text));
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  text_->setAccessibleName(request.Title.isEmpty() ? request.Text.section(QLatin1Char('\n'), 0, 0)
                                                   : request.Title);
  text_->setAccessibleDescription(request.Text);

  // The text scrolls only when the screen cannot hold it; normally the window fits it whole.
  scroll_ = new QScrollArea;
  scroll_->setObjectName(QStringLiteral("MessageScroll"));
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_->setWidgetResizable(true);
  scroll_->setWidget(text_);
  scroll_->setFocusPolicy(Qt::NoFocus);
  scroll_->setAccessibleName(text_->accessibleName());

  ok_ = new QPushButton(QStringLiteral("OK"));
  ok_->setObjectName(QStringLiteral("MessageOk"));
  ok_->setDefault(true);
  ok_->setAutoDefault(true);
  ok_->setMinimumWidth(kButtonWidth);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  buttonRow->addWidget(ok_);
  buttonRow->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  layout->setSpacing(kButtonGap);
  layout->addWidget(scroll_, 1);
  layout->addLayout(buttonRow);

  const int textWidth = ScaledTextWidth(request.Width, font);
  int textHeight = text_->heightForWidth(textWidth);
  if (textHeight <= 0) textHeight = std::max(0, request.Height);
  const int buttonHeight = ok_->sizeHint().height();
  QSize size(textWidth + 2 * kMargin, textHeight + kButtonGap + buttonHeight + 2 * kMargin);

  const QScreen* screen = ScreenFor(request.Owner);
  if (screen != nullptr) {
    const QRect available = screen->availableGeometry();
    // Leave room for the window's frame; the text then scrolls.
    const int most = available.height() * 9 / 10;
    if (size.height() > most) {
      size.setHeight(most);
      scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    } else {
      scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
  }
  if (request.Resizable) {
    setMinimumSize(size);
    resize(size);
  } else {
    setFixedSize(size);
  }
  if (screen != nullptr) {
    QRect frame(QPoint(0, 0), size);
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  ok_->setFocus(Qt::OtherFocusReason);

  // Text copied from the window must work when pasted, as a command line for instance: the
  // joiners that keep options whole are taken out again.
  QClipboard* clipboard = QGuiApplication::clipboard();
  const auto cleanClipboard = [this, clipboard](QClipboard::Mode mode) {
    if (!isVisible()) return;
    const QString copied = clipboard->text(mode);
    if (copied.contains(kWordJoiner)) clipboard->setText(QString(copied).remove(kWordJoiner), mode);
  };
  connect(clipboard, &QClipboard::dataChanged, this,
          [cleanClipboard] { cleanClipboard(QClipboard::Clipboard); });
  connect(clipboard, &QClipboard::selectionChanged, this,
          [cleanClipboard] { cleanClipboard(QClipboard::Selection); });
}

void ShowMessageWindow(const MessageRequest& request) {
  MessageWindow window(request);
  window.exec();
}
