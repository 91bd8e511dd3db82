#pragma once

#include <QLabel>

// A one-line label for a name or path that may be longer than its room: it shows the text cut
// with an ellipsis (at its end, or in its middle for a path) and keeps the whole text as its
// tooltip and for screen readers. The text is plain: "&" and "<" stand for themselves.
class ElidedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ElidedLabel(Qt::TextElideMode mode, QWidget* parent = nullptr);

  void SetFullText(const QString& text);
  const QString& FullText() const { return full_; }
  // What is on screen now (the whole text, or its elided form).
  QString ShownText() const { return text(); }

  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Elide();

  Qt::TextElideMode mode_;
  QString full_;
};
