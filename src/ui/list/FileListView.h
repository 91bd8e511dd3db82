#pragma once

#include "ui/widgets/ReportView.h"

#include <utility>

// The loaded-file list's view. While the window's commands are locked (a load runs), Ctrl+A
// selects nothing: the list still grows. Folders are elided in the middle.
class FileListView : public ReportView {
  Q_OBJECT

 public:
  explicit FileListView(QWidget* parent = nullptr);
  void SetLocked(bool locked) { locked_ = locked; }
  // Every shown column as wide as its caption and the rows on screen need, the folder at most
  // two fifths of the list's width and any other at most half of it.
  void FitColumns();
  // The first and last row on screen (last < first when there is none).
  std::pair<int, int> RowsOnScreen() const;

 signals:
  // Scrolling or resizing brought other rows on screen.
  void RowsOnScreenChanged();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  bool locked_ = false;
};
