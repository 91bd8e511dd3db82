#include "ui/FileListView.h"

#include <QKeyEvent>

FileListView::FileListView(QWidget* parent) : ReportView(parent) {
  setAlternatingRowColors(false);
  setIconSize(QSize(16, 16));
}

void FileListView::keyPressEvent(QKeyEvent* event) {
  if (locked_ && event->matches(QKeySequence::SelectAll)) {
    event->accept();
    return;
  }
  ReportView::keyPressEvent(event);
}
