#pragma once

#include "ui/placeholders/PlaceholderListItems.h"

#include <QFrame>
#include <QList>
#include <QRect>
#include <QSize>

class QLineEdit;
class QListWidget;

// Where a pop-up of `size` goes for a field at `field` (both in screen coordinates): directly
// below the field, or directly above it when it would pass the bottom of `screen`; moved left
// when it would pass the screen's right edge, never past its left edge.
QRect PopupRectForField(const QRect& field, const QSize& size, const QRect& screen);

// Places a top-level pop-up under (or above) a field, on the field's screen.
void PlacePopupAtField(QWidget* popup, const QWidget* field, const QSize& size);

// The borderless list of what may be typed into one field: one row per item, hot-tracked
// (the row under the mouse is the current one and underlined), chosen by one click or Enter;
// Esc or a click outside closes it. A Qt pop-up: it takes the keyboard while open.
class PlaceholderListWindow : public QFrame {
  Q_OBJECT

 public:
  PlaceholderListWindow(QWidget* owner, PlaceholderField field);

  // Sizes the list to its rows, places the window at the field, shows it with the first row
  // current and the keyboard in the list.
  void PopUpAt(const QWidget* field);

  PlaceholderField Field() const { return field_; }
  const QList<PlaceholderItem>& Items() const { return items_; }
  QListWidget* List() const { return list_; }
  // The index in Items() of the list's row; -1 for a group's caption or no row.
  int ItemAt(int row) const;

 signals:
  // An item was chosen (its index in Items()).
  void ItemChosen(int index);
  // The window was hidden, for whatever reason.
  void Closed();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  PlaceholderField field_;
  QList<PlaceholderItem> items_;
  QListWidget* list_ = nullptr;
};
