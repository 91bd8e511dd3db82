#include "ui/list/FileListView.h"

#include "ui/list/FileListModel.h"

#include <QKeyEvent>
#include <QStyledItemDelegate>

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

}  // namespace

FileListView::FileListView(QWidget* parent) : ReportView(parent) {
  setAlternatingRowColors(false);
  setIconSize(QSize(16, 16));
  auto* folders = new MiddleElideDelegate(this);
  setItemDelegateForColumn(FileListModel::kDirectoryColumn, folders);
  setItemDelegateForColumn(FileListModel::kNewFolderColumn, folders);
}

void FileListView::keyPressEvent(QKeyEvent* event) {
  if (locked_ && event->matches(QKeySequence::SelectAll)) {
    event->accept();
    return;
  }
  ReportView::keyPressEvent(event);
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
