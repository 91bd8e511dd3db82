#include "ui/list/FileListView.h"

#include "ui/list/FileListModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Folders are cut in the middle: the start (where) and the end (which folder) both say more
// than "/home/user/Pictures/..." does.
class MiddleElideDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = Qt::ElideMiddle;
  }
};

// The new name with what changes in bold, so that a template's effect is seen at a glance:
// "IMG_0087.jpg" -> "Beach_**001**.jpg". The cell is drawn by the style without its text, then
// the three pieces; what does not fit ends in an ellipsis as the other cells do.
class ChangedPartDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QVariant part = index.data(FileListModel::ChangedPartRole);
    if (!part.isValid()) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QString text = cell.text;
    cell.text.clear();
    const QWidget* widget = cell.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    const QPoint span = part.toPoint();
    const int start = std::clamp(span.x(), 0, static_cast<int>(text.size()));
    const int length = std::clamp(span.y(), 0, static_cast<int>(text.size()) - start);
    QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    room.adjust(margin, 0, -margin, 0);
    const QPalette::ColorGroup group = !(cell.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (cell.state & QStyle::State_Active) ? QPalette::Normal
                                                                             : QPalette::Inactive;
    QColor colour = cell.state & QStyle::State_Selected
                        ? cell.palette.color(group, QPalette::HighlightedText)
                        : cell.palette.color(group, QPalette::Text);
    const QVariant foreground = index.data(Qt::ForegroundRole);
    if (!(cell.state & QStyle::State_Selected) && foreground.canConvert<QBrush>())
      colour = foreground.value<QBrush>().color();
    QFont bold = cell.font;
    bold.setBold(true);

    painter->save();
    painter->setClipRect(room);
    painter->setPen(colour);
    int x = room.left();
    const std::array<std::pair<QString, const QFont*>, 3> pieces = {{
        {text.left(start), &cell.font},
        {text.mid(start, length), &bold},
        {text.mid(start + length), &cell.font},
    }};
    for (const auto& [piece, font] : pieces) {
      if (piece.isEmpty()) continue;
      const QFontMetrics metrics(*font);
      const int left = room.right() + 1 - x;
      const int width = metrics.horizontalAdvance(piece);
      const QString shown = width <= left ? piece : metrics.elidedText(piece, Qt::ElideRight, left);
      painter->setFont(*font);
      painter->drawText(QRect(x, room.top(), left, room.height()),
                        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
      x += metrics.horizontalAdvance(shown);
      if (width > left) break;
    }
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QVariant part = index.data(FileListModel::ChangedPartRole);
    if (!part.isValid()) return size;
    // The bold part is wider than the style measured it.
    QFont bold = option.font;
    bold.setBold(true);
    const QString changed =
        index.data(Qt::DisplayRole).toString().mid(part.toPoint().x(), part.toPoint().y());
    size.rwidth() += QFontMetrics(bold).horizontalAdvance(changed) -
                     QFontMetrics(option.font).horizontalAdvance(changed);
    return size;
  }
};

}  // namespace

FileListView::FileListView(QWidget* parent) : ReportView(parent) {
  setAlternatingRowColors(false);
  setIconSize(QSize(16, 16));
  auto* folders = new MiddleElideDelegate(this);
  setItemDelegateForColumn(FileListModel::kDirectoryColumn, folders);
  setItemDelegateForColumn(FileListModel::kNewFolderColumn, folders);
  setItemDelegateForColumn(FileListModel::kNewNameColumn, new ChangedPartDelegate(this));
}

void FileListView::keyPressEvent(QKeyEvent* event) {
  if (locked_ && event->matches(QKeySequence::SelectAll)) {
    event->accept();
    return;
  }
  ReportView::keyPressEvent(event);
}

void FileListView::FitColumns() {
  if (model() == nullptr) return;
  const int room = std::max(viewport()->width(), 400);
  QHeaderView* header = horizontalHeader();
  // The rows on screen alone: by default the view also measures a thousand rows beyond them,
  // which on a long list keeps the window from answering for a noticeable moment.
  const int precision[] = {header->resizeContentsPrecision(),
                           verticalHeader()->resizeContentsPrecision()};
  header->setResizeContentsPrecision(0);
  verticalHeader()->setResizeContentsPrecision(0);
  for (int column = 0; column < model()->columnCount(); ++column) {
    if (column == FileListModel::kIconColumn || isColumnHidden(column)) continue;
    const int wanted = std::max(header->sectionSizeHint(column), sizeHintForColumn(column));
    const int most = column == FileListModel::kDirectoryColumn ? room * 2 / 5 : room / 2;
    setColumnWidth(column, std::min(wanted, most));
  }
  header->setResizeContentsPrecision(precision[0]);
  verticalHeader()->setResizeContentsPrecision(precision[1]);
}

std::pair<int, int> FileListView::RowsOnScreen() const {
  const int rows = model() != nullptr ? model()->rowCount() : 0;
  if (rows == 0) return {0, -1};
  int first = rowAt(0);
  int last = rowAt(viewport()->height() - 1);
  if (first < 0) first = 0;
  if (last < 0) last = rows - 1;
  return {first, last};
}

void FileListView::scrollContentsBy(int dx, int dy) {
  ReportView::scrollContentsBy(dx, dy);
  if (dy != 0) emit RowsOnScreenChanged();
}

void FileListView::resizeEvent(QResizeEvent* event) {
  ReportView::resizeEvent(event);
  emit RowsOnScreenChanged();
}
