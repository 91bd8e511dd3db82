#pragma once

#include "filelist/FileList.h"
#include "filelist/StatusLine.h"
#include "records/Preset.h"
#include "records/RunFlags.h"
#include "ui/list/FileListPanel.h"
#include "ui/list/NewNamePreview.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class FileListModel;
class FileListView;
class FileLoader;
class QPushButton;
class QToolButton;
struct WindowDialogs;

// The loaded-file list in the window: the model over the program's FileList, the loader's
// window side, the plan of the new names, the status line, and the commands on the list (load,
// remove the selected files, clear). Its panel is built anew with every build of the window;
// the model, the loader and the plan stay.
//
// Who has the list: the window, except while a load runs (the loader appends to it) or a run
// goes on (HandOver until TakeBack). While the window's commands are locked, the list's
// commands change nothing.
class LoadedFiles : public QObject {
  Q_OBJECT

 public:
  // `sources` says what the new names are planned from; its ListFree also tells the status line
  // when the figures may be counted.
  LoadedFiles(FileList& files, LoadFlags& load, NewNamePreview::Sources sources,
              const WindowDialogs& dialogs, QObject* parent = nullptr);
  ~LoadedFiles() override;  // a load in hand is stopped and waited for

  // The panel of a new build (the old one goes with the old build).
  FileListPanel* BuildPanel();

  // ---- Loading ----
  // Starts loading the line-feed-separated paths. False when a load runs already or no thread
  // could be started.
  bool Load(const QString& paths, const Preset& settings);
  bool LoadBusy() const;
  // The load stops after the file in hand; what was loaded stays.
  void StopLoading();
  void StopLoadingAndWait();
  // Waits until a running load has ended; the rows it loaded are in the list then.
  void WaitForLoad();

  // ---- Commands ----
  void SetLocked(bool locked);
  void RemoveSelected();
  // Clears the list after a question.
  void Clear();
  // Ctrl+A while the list has the focus.
  void SelectAll();

  // ---- Runs ----
  // The entry a test run works on: the selected row under the cursor, else the first selected.
  const FileEntry* ChosenEntry() const;
  // A batch run takes the list: the view shows no rows until TakeBack.
  void HandOver();
  // The run is over: the rows come back, the first is selected when none is.
  void TakeBack();
  // After an undo: every entry read afresh from the disk (see ReadListAgain).
  void ReadAgain(const Preset& settings);
  void SetViewEnabled(bool enabled);
  void FocusView();

  // ---- The status line ----
  // Counts the list's figures again (all entries, the selected ones) and shows `text` in place
  // of the figures while it is not empty ("Loading files...").
  void UpdateStatusLine(bool recountAll, bool recountSelected, const QString& text = QString());
  QString StatusText() const { return statusText_; }

  // ---- The columns ----
  // The widths, order and hidden state of the list's columns (QHeaderView::saveState); they
  // last through the builds of the panel. Until widths are restored or the user has had a list,
  // the columns fit the contents of the first rows with new names once.
  QByteArray ColumnsState() const;
  void RestoreColumns(const QByteArray& state);
  bool ColumnsSettled() const { return columnsSettled_; }

  // ---- For the window, tests and the screenshots ----
  FileListModel* Model() const { return model_; }
  NewNamePreview* NewNames() const { return newNames_; }
  FileListPanel* Panel() const { return panel_; }
  FileListView* View() const;
  QToolButton* OnlyProblemsButton() const;
  QPushButton* RemoveButton() const;
  QPushButton* ClearButton() const;

 signals:
  // A load has ended; its rows are in the list.
  void LoadFinished();
  // One of the panel's buttons was pressed; its command follows.
  void CommandStarting();

 private:
  void OnLoadFinished();
  void OnNewNamesPlanned();
  void ShowEntriesOnScreen();
  void ShowNewFolderColumn();
  void UpdateButtons();
  void SelectFirstRowWhenNone();
  // Calls `visit` once for every selected row.
  void ForEachSelectedRow(const std::function<void(int row)>& visit) const;
  bool ListFree() const;

  FileList& files_;
  LoadFlags& load_;
  const WindowDialogs& dialogs_;
  std::function<bool()> listFree_;
  FileListModel* model_ = nullptr;
  FileLoader* loader_ = nullptr;
  NewNamePreview* newNames_ = nullptr;
  QPointer<FileListPanel> panel_;
  bool locked_ = false;
  bool columnsSettled_ = false;
  QByteArray columns_;  // of the last panel, for the next
  StatusFigures figures_;
  QString statusText_;
};
