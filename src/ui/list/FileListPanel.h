#pragma once

#include <QWidget>

class FileListModel;
class FileListView;
class QLabel;
class QPushButton;
class QToolButton;

// The loaded-file list as it stands in the window: the status line with "Only problems" above
// the list, and the buttons that remove the selected files or clear the list below it. Built
// anew with every build of the window; what the controls do is LoadedFiles' business.
class FileListPanel : public QWidget {
  Q_OBJECT

 public:
  FileListPanel(FileListModel& model, QWidget* parent = nullptr);

  QLabel* StatusLine() const { return statusLine_; }
  // Shows the status line's text. Its parts ("Files: 13 (78 B)", "Problems: 3") stay whole;
  // where the list is narrow the line breaks between them, never inside a figure.
  void SetStatusText(const QString& text);
  QToolButton* OnlyProblemsButton() const { return problemsButton_; }
  FileListView* View() const { return view_; }
  QPushButton* RemoveButton() const { return removeButton_; }
  QPushButton* ClearButton() const { return clearButton_; }

 private:
  QLabel* statusLine_ = nullptr;
  QToolButton* problemsButton_ = nullptr;
  FileListView* view_ = nullptr;
  QPushButton* removeButton_ = nullptr;
  QPushButton* clearButton_ = nullptr;
};
