#pragma once

#include "filelist/StatusLine.h"
#include "naming/Placeholders.h"
#include "platform/Messages.h"
#include "ui/pages/OptionPages.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>
#include <vector>

struct AppState;
class CommandButton;
class FileListModel;
class FileListView;
class FileLoader;
class NewNamePreview;
class PageListModel;
class PageListView;
class PlaceholderPopups;
class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;
class QTimer;
class RunController;
class RunJournal;
class UndoProgressDialog;
class UndoResultDialog;
class UndoRun;
class WindowRun;
struct RunResult;
struct RunTimings;
struct UndoSummary;

// Every command of the menus and keyboard shortcuts.
enum class MenuCommand {
  Start, TestRun, UndoLastRun, AddFiles, AddFolder, Exit,
  SavePreset, SaveAsNewPreset, TemplateButtons, PatternButtons, AlwaysOnTop,
  IncludeSubdirectories, IncludeHidden,
  FilterDateLastAccess, FilterDateModified, FilterDateCreated,
  PlaceholderDateLastAccess, PlaceholderDateModified, PlaceholderDateCreated,
  KeepFiltered, KeepSources, KeepFailed, KeepTargets, KeepUnprocessed, QuitAfterRun,
  LanguageAutomatic, LanguageGerman, LanguageEnglish,
  ManagePresets,
  Help, Topic1, Topic2, Topic3, Topic4, Topic5, Topic6, Topic7, Information, About,
  SelectAll, NextPage, StopLoading,
};
inline constexpr int kMenuCommandCount = static_cast<int>(MenuCommand::StopLoading) + 1;
inline constexpr int kMaxPresetShortcuts = 10;  // Ctrl+0 .. Ctrl+9

// How the window asks and tells: message boxes and file dialogs by default; tests put in
// answers of their own so that nothing waits for a person.
struct WindowDialogs {
  std::function<bool(const QString& title, const QString& text)> Ask;  // Yes/No, true = Yes
  std::function<void(MessageIcon icon, const QString& title, const QString& text)> Tell;
  std::function<QStringList()> ChooseFiles;  // the open-file dialog; paths
  std::function<QString(const QString& title, const QString& start)> ChooseFolder;
  // The file manager: a file shown selected (double click), a file's properties (test run).
  std::function<bool(const QString& path)> ShowFile;
  std::function<bool(const QString& path)> ShowProperties;
  // While a run goes on: a Yes/No question that does not wait (true = Yes), over `parent`.
  std::function<void(QWidget* parent, const QString& title, const QString& text,
                     std::function<void(bool)> done)>
      AskLater;
  // The program ends through its shut-down (the quit answer, QuitAfterRun), or with a fatal
  // message (a thread could not be started).
  std::function<void()> EndProgram;
  std::function<void(const QString& reason)> Fatal;
};
WindowDialogs StandardDialogs(QWidget* owner);

// The open-file dialog's nine patterns in Qt's filter form: the caption with its short list as
// the language table gives it, then the full wildcard list in parentheses.
QStringList OpenFileFilters();

// What the test run tells about a file it did not copy: taken out by the filter, or the
// explanation of its failure ("(3)" and the like for a status without one).
QString TestRunOutcomeText(const FileEntry& entry);

// The main window: the page list, the three command buttons, the pages, the menus with their
// shortcuts, the loaded-file list and its loader. Everything the user changes on the pages is
// written back into the working settings before any check, run or preset save.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(AppState& app, QWidget* parent = nullptr);
  ~MainWindow() override;

  // What is not given stays as it was.
  void SetDialogs(WindowDialogs dialogs);

  // ---- For the components that attach to the window ----
  QAction* Action(MenuCommand command) const;
  QAction* PresetAction(int position) const;  // menu 3's item, nullptr when there is none
  // The four template fields and the three pattern fields, and their "<" buttons (nullptr
  // while the option that shows them is off). New widgets after every rebuild.
  QLineEdit* Field(FieldKind kind) const;
  QToolButton* ListButton(FieldKind kind) const;
  OptionPages* Pages() const { return pages_; }
  // The placeholder list and preview of this build (made anew with every build).
  PlaceholderPopups* Popups() const { return popups_; }
  // The help window (topic 0 = getting started, 1..7 the topics), the about window and the
  // preset dialog (mode 0 manage, 1 save as new) come as components of their own. Attaching
  // one enables its menu items; until then they are disabled (the topics show message boxes).
  void AttachHelpWindow(std::function<void(int topic)> show);
  void AttachAboutWindow(std::function<void()> show);
  void AttachPresetDialog(std::function<void(int mode)> show);
  // After the preset list or the default preset changed: menu 3 and the first items of menu 2.
  void PresetsChanged();
  // Puts something else in place of the run procedure once the checks passed (tests count
  // starts with it); without it the window runs the batch itself.
  void AttachRunStarter(std::function<void()> start);

  // ---- Commands, callable as the menus and buttons call them ----
  void ShowPage(int page);
  int ShownPage() const;
  void StorePages();  // page controls -> working settings
  void FillPages();   // working settings -> page controls, menus, shown page
  bool LoadPaths(const QString& paths);  // false when a load runs already
  bool LoadBusy() const;
  void StopLoading();
  // Waits until a running load has ended; the rows it loaded are in the list then.
  void WaitForLoad();
  void ActivatePresetAt(int position);
  void SavePreset();
  void RemoveSelectedFiles();
  void ClearFileList();
  void AddFilesCommand();
  void AddFolderCommand();
  void StartCommand();
  // The single-file test run of the selected file, into the preview folder.
  void TestRunCommand();
  // Takes back the newest run not taken back yet, after a question that names it: on a worker
  // thread, with a progress window, then a window with the result.
  void UndoLastRunCommand();
  // A batch or test run (or an undo) is going: the lists belong to it until it ends.
  bool RunBusy() const;
  // The program is asked to end from outside (a stop signal): a run ends after the file in
  // hand and then the program, without questions; otherwise the program ends at once.
  void RequestQuit();
  // The batch run from the window (progress window, questions, result window).
  RunController* BatchRun() const { return controller_; }
  void SetRunTimings(const RunTimings& timings);
  void SetCommandsLocked(bool locked);
  bool CommandsLocked() const { return locked_; }
  void Rebuild();
  // Drops (as the drop targets hand them on): loading, or the target field's folder.
  void DropOnLoadTarget(const QStringList& paths);
  void DropOnTargetField(const QStringList& paths);

  // ---- For tests and the screenshots ----
  FileListModel* FileModel() const { return fileModel_; }
  FileListView* FileView() const { return fileView_; }
  // The plan of the new names that the list shows.
  NewNamePreview* NewNames() const { return newNames_; }
  QToolButton* OnlyProblemsButton() const { return problemsButton_; }
  PageListModel* PageModel() const { return pageModel_; }
  PageListView* PageView() const { return pageView_; }
  QString StatusText() const;
  QPushButton* RemoveFilesButton() const { return removeButton_; }
  QPushButton* ClearFilesButton() const { return clearButton_; }
  CommandButton* CommandButtonAt(int index) const;  // 0 add files, 1 add folder, 2 start
  UndoProgressDialog* UndoProgress() const;
  UndoResultDialog* UndoResult() const;

 signals:
  // Open pop-ups must close: a menu command or shortcut, a drop, a rebuild, a move.
  void ClosePopups();
  void ListButtonClicked(FieldKind kind, QLineEdit* field);
  // The window was built anew: fields and buttons are new widgets.
  void Rebuilt();
  // A load has ended and the list is the window's again.
  void LoadFinished();
  // A run has ended and the lists are the window's again.
  void RunFinished();
  // An undo has ended; its result window is open.
  void UndoFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  void BuildMenus();
  void BuildPresetItems();
  QWidget* BuildFilesPage();
  QAction* NewAction(MenuCommand command, const QString& text, const std::function<void()>& run);
  void Run(MenuCommand command);
  void UpdateMenuChecks();
  void UpdatePageList();
  void UpdateFileButtons();
  // Calls `visit` once for every selected row of the file list.
  void ForEachSelectedRow(const std::function<void(int row)>& visit) const;
  void UpdateStatusLine(bool recountAll, bool recountSelected, const QString& text);
  void OnRowsArrived();
  void OnLoadFinished();
  void ChangeLanguage(int choice);  // -1 automatic, else the language index
  void ToggleOption(int8_t& field, bool rebuild);
  void ApplyAlwaysOnTop();
  void ShowTopic(int topic);
  void Tell(MessageIcon icon, int titleEntry, const QString& text);
  void WatchDrops(QWidget* widget);
  void DoRebuild();
  PathFolders Folders() const;
  void StartBatchRun();
  std::unique_ptr<RunJournal> OpenRunJournal(const Preset& settings);
  void OnBatchRunFinished(const RunResult& result);
  void OnTestRunFinished(const RunResult& result);
  void ShowAfterRun();
  void OnUndoFinished(const UndoSummary& summary);
  void RefreshListAfterUndo();
  bool AskToCancelRun(int textEntry);
  void OnNewNamesPlanned();
  void ShowEntriesOnScreen();

  AppState& app_;
  WindowDialogs dialogs_;
  FileListModel* fileModel_ = nullptr;
  FileLoader* loader_ = nullptr;
  NewNamePreview* newNames_ = nullptr;
  WindowRun* run_ = nullptr;  // the test run
  RunController* controller_ = nullptr;  // the batch run
  Qt::WindowStates stateBeforeRun_;  // shown again so after a batch run
  bool shownBeforeRun_ = false;
  int32_t testRunEntry_ = 0;  // the entry a test run works on
  UndoRun* undo_ = nullptr;
  uint32_t undoRunNumber_ = 0;
  QPointer<UndoProgressDialog> undoProgress_;
  QPointer<UndoResultDialog> undoResult_;
  bool quitWhenRunEnds_ = false;
  PageListModel* pageModel_ = nullptr;
  StatusFigures figures_;
  QString statusText_;
  bool locked_ = false;
  bool rebuildPending_ = false;

  std::function<void(int)> helpWindow_;
  std::function<void()> aboutWindow_;
  std::function<void(int)> presetDialog_;
  std::function<void()> runStarter_;

  // Widgets of the current build.
  OptionPages* pages_ = nullptr;
  PlaceholderPopups* popups_ = nullptr;
  PageListView* pageView_ = nullptr;
  QStackedWidget* pageStack_ = nullptr;
  std::array<CommandButton*, 3> commandButtons_{};
  FileListView* fileView_ = nullptr;
  QLabel* statusLine_ = nullptr;
  QToolButton* problemsButton_ = nullptr;
  QPushButton* removeButton_ = nullptr;
  QPushButton* clearButton_ = nullptr;
  std::array<QAction*, kMenuCommandCount> actions_{};
  std::array<QAction*, kMaxPresetShortcuts> presetActions_{};
  std::array<QMenu*, 4> menus_{};
  QMenu* presetMenu_ = nullptr;
};
