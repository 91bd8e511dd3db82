#pragma once

#include <QtGlobal>

// Keeps the preview from redrawing on every key while the user types fast: a request less than
// 100 ms after the last rendering is skipped. The owner also (re)starts a one-shot timer of
// kTrailingDelay on every request, skipped or not, whose expiry renders once more, so the last
// change always shows. Times are milliseconds of any monotonic clock.
class PlaceholderPreviewThrottle {
 public:
  static constexpr qint64 kMinInterval = 100;
  static constexpr int kTrailingDelay = 200;

  // A render request at `now`: true when it may render now (the caller then calls Rendered).
  bool Request(qint64 now) const { return !rendered_ || now - lastRender_ >= kMinInterval; }

  void Rendered(qint64 now) {
    rendered_ = true;
    lastRender_ = now;
  }

  // A closed preview starts afresh: its first rendering is never held back.
  void Reset() { rendered_ = false; }

 private:
  bool rendered_ = false;
  qint64 lastRender_ = 0;
};
