#pragma once

#include "ui/ReportView.h"

// The loaded-file list's view. While the window's commands are locked (a load runs), Ctrl+A
// selects nothing: the list still grows.
class FileListView : public ReportView {
  Q_OBJECT

 public:
  explicit FileListView(QWidget* parent = nullptr);
  void SetLocked(bool locked) { locked_ = locked; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool locked_ = false;
};
