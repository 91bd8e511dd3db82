#pragma once

#include "filelist/FileList.h"
#include "ui/window/MessageWindow.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QPointer>

#include <functional>
#include <vector>

class QPushButton;
class QSortFilterProxyModel;
class ReportView;

// One entry the run result window lists: an entry that failed (Status 2 to 8), or one a full
// disk kept the run from reaching (Status 0, NotReached).
struct RunResultRow {
  int Status = 0;
  bool NotReached = false;
  QString Path;
  QString NewPath;
};

// Every entry of `files` that did not end with Status 0 or 1, in list order; after a run that
// a full disk stopped, also the entries it never reached.
std::vector<RunResultRow> RunResultRows(const FileList& files, bool stoppedByFullDisk);

// The text of the "?" button: for every kind of failure among `rows`, in the order 2, 3, 4, 5,
// 6, 7, 8 (then the entries not reached), its name and its explanation, kinds separated by an
// empty line.
QString RunResultExplanation(const std::vector<RunResultRow>& rows);

// The rows as a table: the failure, the file, the target.
class RunResultModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kFailureColumn, kSourceColumn, kTargetColumn, kColumnCount };

  explicit RunResultModel(std::vector<RunResultRow> rows, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  const std::vector<RunResultRow>& Rows() const { return rows_; }

 private:
  std::vector<RunResultRow> rows_;
};

// The run result window: after a run that left files failed (or, after a full disk,
// unprocessed), the list of those files with what went wrong, sortable by every column. "?"
// explains the kinds of failure in the message window; a double click on a file (or Enter)
// shows it in the file manager. OK, Esc and the close box close it. It can be made larger,
// never smaller than it opens.
class RunResultWindow : public QDialog {
  Q_OBJECT

 public:
  RunResultWindow(std::vector<RunResultRow> rows, std::function<bool(const QString&)> showFile,
                  QWidget* parent = nullptr);

  // Shows the explanation (the "?" button).
  void ShowExplanation();
  // Shows the file of a row of the list (in the list's order) in the file manager: the target
  // when its column was chosen and it is there, else the source when it is there, else
  // whichever is.
  void ShowFileAt(const QModelIndex& index);

  // ---- For tests and the screenshots ----
  ReportView* List() const { return list_; }
  QAbstractItemModel* ListModel() const;  // the sorted rows
  RunResultModel* Rows() const { return model_; }
  QPushButton* HelpButton() const { return help_; }
  QPushButton* OkButton() const { return ok_; }
  MessageWindow* Explanation() const { return explanation_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::function<bool(const QString&)> showFile_;
  RunResultModel* model_ = nullptr;
  QSortFilterProxyModel* sorted_ = nullptr;
  ReportView* list_ = nullptr;
  QPushButton* help_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPointer<MessageWindow> explanation_;
  bool columnsSized_ = false;
};
