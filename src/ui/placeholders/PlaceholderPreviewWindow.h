#pragma once

#include "naming/Placeholders.h"
#include "ui/placeholders/PlaceholderListItems.h"
#include "ui/placeholders/PlaceholderPreviewSegments.h"
#include "ui/placeholders/PlaceholderPreviewThrottle.h"

#include <QColor>
#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <functional>

class QPalette;

// The strip under a template field that shows how the field's text reads for an example file,
// with every placeholder replaced by its sample in a colour of its own and a tooltip on each.
// Borderless, as wide as the field, shown without taking the focus, so typing goes on in the
// field. Renders are throttled (PlaceholderPreviewThrottle); `clock` gives monotonic
// milliseconds and may be replaced in tests.
class PlaceholderPreviewWindow : public QWidget {
  Q_OBJECT

 public:
  using Clock = std::function<qint64()>;

  PlaceholderPreviewWindow(QWidget* owner, Clock clock);
  ~PlaceholderPreviewWindow() override;

  // Shows the window directly below the field (above it near the screen's bottom edge), as wide
  // as the field. Does not render; `folders` are the samples of %PD% %PP% %PC%.
  void OpenAt(QLineEdit* field, PlaceholderField kind, const PathFolders& folders);
  // Hides the window and forgets the field and any pending rendering.
  void Close();
  bool IsOpen() const { return isVisible() && !field_.isNull(); }

  // A change: renders now unless the last rendering was less than 100 ms ago, and renders once
  // more 200 ms after the last request.
  void RequestRender();
  // Renders the field's current text at once (the trailing timer's expiry comes here too).
  void RenderNow();
  bool TrailingRenderArmed() const { return trailing_.isActive(); }

  // Keeps the window directly below its field after the main window moved or the field was
  // resized; a new width is taken over and rendered.
  void FollowField();

  QLineEdit* Field() const { return field_; }
  // Whether `object` is the served field; safe to ask while that field is being destroyed.
  bool Serves(const QObject* object) const { return object != nullptr && object == fieldObject_; }
  PlaceholderField Kind() const { return kind_; }
  const QList<PreviewSegment>& Segments() const { return segments_; }
  // Where each drawn segment's sample lies in the window (segments past the right edge are not
  // drawn and have no rectangle here).
  const QList<QRect>& SegmentRects() const { return rects_; }
  // The samples of the last rendering, one after the other: what the preview reads.
  QString RenderedText() const;
  int RenderCount() const { return renderCount_; }

  // The tooltip of a drawn placeholder segment (rich text); empty for literal text.
  QString SegmentToolTip(int index) const;

  // The colour of placeholder samples: the blue 0060FF on light palettes, the lighter blue
  // 6CA8FF on dark ones, so that both read at a contrast of about 5:1 or more.
  static QColor PlaceholderColour(const QPalette& palette);

 signals:
  // Sent first thing in the destructor, while the window is still whole: whoever keeps a
  // pointer to it drops it before the window's events stop being safe to look at.
  void Destroying();

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QSize WindowSizeFor(const QWidget* field) const;

  Clock clock_;
  PlaceholderPreviewThrottle throttle_;
  QTimer trailing_;
  QPointer<QLineEdit> field_;
  const QObject* fieldObject_ = nullptr;  // the same, only ever compared
  PlaceholderField kind_ = PlaceholderField::kNameTemplate;
  PathFolders folders_;
  QList<PreviewSegment> segments_;
  QList<QRect> rects_;
  int renderCount_ = 0;
};
