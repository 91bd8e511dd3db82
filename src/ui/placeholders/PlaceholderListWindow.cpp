#include "ui/placeholders/PlaceholderListWindow.h"

#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/widgets/UiTexts.h"

#include <QGuiApplication>
#include <QHideEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Underlines the row under the mouse, the way links read.
class HotTrackDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->state & QStyle::State_MouseOver) option->font.setUnderline(true);
  }
};

bool IsEnter(const QKeyEvent* key) {
  return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

}  // namespace

QRect PopupRectForField(const QRect& field, const QSize& size, const QRect& screen) {
  QRect rect(QPoint(field.left(), field.bottom() + 1), size);
  if (rect.bottom() > screen.bottom() && field.top() - size.height() >= screen.top())
    rect.moveBottom(field.top() - 1);
  if (rect.right() > screen.right()) rect.moveRight(screen.right());
  if (rect.left() < screen.left()) rect.moveLeft(screen.left());
  return rect;
}

void PlacePopupAtField(QWidget* popup, const QWidget* field, const QSize& size) {
  const QRect fieldRect(field->mapToGlobal(QPoint(0, 0)), field->size());
  const QScreen* screen =
      field->screen() != nullptr ? field->screen() : QGuiApplication::primaryScreen();
  const QRect available = screen != nullptr ? screen->availableGeometry() : QRect();
  const QRect rect = available.isValid() ? PopupRectForField(fieldRect, size, available)
                                         : QRect(fieldRect.bottomLeft() + QPoint(0, 1), size);
  popup->resize(rect.size());
  popup->move(rect.topLeft());
}

PlaceholderListWindow::PlaceholderListWindow(QWidget* owner, PlaceholderField field)
    : QFrame(owner, Qt::Popup | Qt::FramelessWindowHint),
      field_(field),
      items_(PlaceholderItemsFor(field)) {
  setObjectName(QStringLiteral("PlaceholderListWindow"));
  const QString name =
      LanguageText(field == PlaceholderField::kPattern ? kTextWildcards : kTextPlaceholders);
  setAccessibleName(name);

  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("PlaceholderList"));
  list_->setAccessibleName(name);
  list_->setItemDelegate(new HotTrackDelegate(list_));
  list_->setMouseTracking(true);
  list_->viewport()->setAttribute(Qt::WA_Hover);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setUniformItemSizes(true);
  list_->setFocusPolicy(Qt::StrongFocus);
  PlaceholderGroup group = PlaceholderGroup::None;
  for (qsizetype i = 0; i < items_.size(); ++i) {
    const PlaceholderItem& item = items_[i];
    if (item.Group != group) {
      // A group opens with its caption: a row that cannot be chosen, the arrow keys pass it.
      group = item.Group;
      auto* caption = new QListWidgetItem(PlaceholderGroupCaption(group), list_);
      QFont bold = caption->font();
      bold.setBold(true);
      caption->setFont(bold);
      caption->setFlags(Qt::NoItemFlags);
      // A heading, not a disabled item: in the list's own text colour.
      caption->setForeground(list_->palette().brush(QPalette::Active, QPalette::Text));
      caption->setData(Qt::UserRole, -1);
    }
    auto* row =
        new QListWidgetItem((group != PlaceholderGroup::None ? QStringLiteral("    ") : QString()) +
                                PlaceholderItemText(item),
                            list_);
    row->setData(Qt::UserRole, static_cast<int>(i));
    // Screen readers announce the caption and the code without the padding blanks.
    row->setData(Qt::AccessibleTextRole,
                 PlaceholderItemCaption(item) + QLatin1Char(' ') + item.Code);
  }
  setFocusProxy(list_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);

  // Hot tracking: the row under the mouse becomes the current one, so Enter and a click agree.
  connect(list_, &QListWidget::entered, list_, [this](const QModelIndex& index) {
    if (ItemAt(index.row()) >= 0) list_->setCurrentIndex(index);
  });
  connect(list_, &QListWidget::clicked, this, [this](const QModelIndex& index) {
    if (const int item = index.isValid() ? ItemAt(index.row()) : -1; item >= 0)
      emit ItemChosen(item);
  });
  list_->installEventFilter(this);
}

int PlaceholderListWindow::ItemAt(int row) const {
  const QListWidgetItem* item = row >= 0 ? list_->item(row) : nullptr;
  return item != nullptr ? item->data(Qt::UserRole).toInt() : -1;
}

void PlaceholderListWindow::PopUpAt(const QWidget* field) {
  // The first row is an item: groups come after the ungrouped ones.
  list_->setCurrentRow(0);
  const int frame = 2 * list_->frameWidth();
  const int rows = std::max(1, list_->count());
  int height = rows * list_->sizeHintForRow(0) + frame;
  int width = list_->sizeHintForColumn(0) + frame + 8;
  const QScreen* screen = field->screen();
  if (screen != nullptr && height > screen->availableGeometry().height() / 2) {
    // A very small screen: the list scrolls rather than leaving it.
    height = screen->availableGeometry().height() / 2;
    width += list_->verticalScrollBar()->sizeHint().width();
  }
  PlacePopupAtField(this, field, QSize(width, height));
  show();
  raise();
  activateWindow();
  list_->setFocus(Qt::PopupFocusReason);
}

void PlaceholderListWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  if (IsEnter(event) && ItemAt(list_->currentRow()) >= 0) {
    emit ItemChosen(ItemAt(list_->currentRow()));
    return;
  }
  QFrame::keyPressEvent(event);
}

bool PlaceholderListWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape || IsEnter(key)) {
      keyPressEvent(key);
      return true;
    }
  }
  return QFrame::eventFilter(watched, event);
}

void PlaceholderListWindow::hideEvent(QHideEvent* event) {
  QFrame::hideEvent(event);
  emit Closed();
}
