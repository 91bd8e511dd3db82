#include "ui/placeholders/PlaceholderPreviewWindow.h"

#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/placeholders/PlaceholderListWindow.h"
#include "ui/widgets/UiTexts.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QToolTip>

namespace {

constexpr int kMargin = 5;  // around the drawn line

// Screen readers get the preview as one static text that reads like the strip.
class PreviewAccessible : public QAccessibleWidget {
 public:
  explicit PreviewAccessible(PlaceholderPreviewWindow* preview)
      : QAccessibleWidget(preview, QAccessible::StaticText) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value || t == QAccessible::Description)
      return static_cast<PlaceholderPreviewWindow*>(widget())->RenderedText();
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* PreviewAccessibleFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("PlaceholderPreviewWindow") && object->isWidgetType())
    return new PreviewAccessible(static_cast<PlaceholderPreviewWindow*>(object));
  return nullptr;
}

QString Escaped(const QString& text) {
  return text.toHtmlEscaped();
}

}  // namespace

PlaceholderPreviewWindow::PlaceholderPreviewWindow(QWidget* owner, Clock clock)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
      clock_(std::move(clock)) {
  static const bool factoryInstalled = [] {
    QAccessible::installFactory(PreviewAccessibleFactory);
    return true;
  }();
  (void)factoryInstalled;
  setObjectName(QStringLiteral("PlaceholderPreviewWindow"));
  setAccessibleName(WithoutMnemonics(LanguageText(kTextPreview)));
  setAttribute(Qt::WA_ShowWithoutActivating);
  // Tooltips of an inactive window show only with this; the preview is never active.
  setAttribute(Qt::WA_AlwaysShowToolTips);
  setFocusPolicy(Qt::NoFocus);
  trailing_.setSingleShot(true);
  trailing_.setInterval(PlaceholderPreviewThrottle::kTrailingDelay);
  connect(&trailing_, &QTimer::timeout, this, &PlaceholderPreviewWindow::RenderNow);
}

PlaceholderPreviewWindow::~PlaceholderPreviewWindow() {
  emit Destroying();
}

QSize PlaceholderPreviewWindow::WindowSizeFor(const QWidget* field) const {
  return QSize(field->width(), field->fontMetrics().height() + 2 * kMargin);
}

void PlaceholderPreviewWindow::OpenAt(QLineEdit* field, PlaceholderField kind,
                                      const PathFolders& folders) {
  field_ = field;
  fieldObject_ = field;
  kind_ = kind;
  folders_ = folders;
  throttle_.Reset();
  segments_.clear();
  rects_.clear();
  setFont(field->font());
  PlacePopupAtField(this, field, WindowSizeFor(field));
  show();
}

void PlaceholderPreviewWindow::Close() {
  trailing_.stop();
  throttle_.Reset();
  field_ = nullptr;
  fieldObject_ = nullptr;
  hide();
}

void PlaceholderPreviewWindow::RequestRender() {
  if (field_ == nullptr) return;
  if (throttle_.Request(clock_())) RenderNow();
  trailing_.start();
}

void PlaceholderPreviewWindow::RenderNow() {
  if (field_ == nullptr) return;
  segments_ = SegmentTemplate(kind_, field_->text(), folders_);
  rects_.clear();
  const QFontMetrics metrics(font());
  const int imageWidth = width() - 2 * kMargin;
  int x = 0;
  for (const PreviewSegment& segment : segments_) {
    if (x > imageWidth) break;
    const int w = metrics.horizontalAdvance(segment.Sample);
    rects_.append(QRect(x + kMargin, 0, w, height()));
    x += w;
  }
  throttle_.Rendered(clock_());
  ++renderCount_;
  QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
  QAccessible::updateAccessibility(&changed);
  update();
}

void PlaceholderPreviewWindow::FollowField() {
  if (!IsOpen()) return;
  const QSize size = WindowSizeFor(field_);
  const bool widthChanged = size.width() != width();
  PlacePopupAtField(this, field_, size);
  if (widthChanged) RenderNow();
}

QString PlaceholderPreviewWindow::RenderedText() const {
  QString text;
  for (const PreviewSegment& segment : segments_) text += segment.Sample;
  return text;
}

QString PlaceholderPreviewWindow::SegmentToolTip(int index) const {
  if (index < 0 || index >= rects_.size()) return {};
  const PreviewSegment& segment = segments_[index];
  if (!segment.IsPlaceholder()) return {};
  // Path placeholders keep the letter case the user typed; the tooltip names the code.
  const QString code =
      segment.Kind == kSegmentCounter ? segment.Text : PreviewSegmentCode(segment.Kind);
  const QString title = PlaceholderCaption(code) + QLatin1String("  (") + code + QLatin1Char(')');
  const bool folder = PreviewSampleIsLocalFolder(segment.Kind);
  const QString body = folder ? segment.Sample
                              : WithoutMnemonics(LanguageText(kTextWordExample)) +
                                    QLatin1String(": ") + segment.Sample;
  return QLatin1String("<p style=\"white-space:pre\"><b>") + Escaped(title) +
         QLatin1String("</b><br>") + Escaped(body) + QLatin1String("</p>");
}

QColor PlaceholderPreviewWindow::PlaceholderColour(const QPalette& palette) {
  return palette.color(QPalette::Window).lightness() < 128 ? QColor(0x6C, 0xA8, 0xFF)
                                                           : QColor(0x00, 0x60, 0xFF);
}

void PlaceholderPreviewWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  painter.setClipRect(rect().adjusted(kMargin, 1, -kMargin, -1));
  const QFontMetrics metrics(font());
  const int baseline = (height() - metrics.height()) / 2 + metrics.ascent();
  const QColor placeholder = PlaceholderColour(palette());
  const QColor text = palette().color(QPalette::WindowText);
  for (qsizetype i = 0; i < rects_.size(); ++i) {
    painter.setPen(segments_[i].IsPlaceholder() ? placeholder : text);
    painter.drawText(QPoint(rects_[i].left(), baseline), segments_[i].Sample);
  }
}

bool PlaceholderPreviewWindow::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    for (qsizetype i = 0; i < rects_.size(); ++i) {
      if (!rects_[i].contains(help->pos())) continue;
      const QString tip = SegmentToolTip(static_cast<int>(i));
      if (tip.isEmpty()) break;
      QToolTip::showText(help->globalPos(), tip, this, rects_[i]);
      return true;
    }
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  return QWidget::event(event);
}
