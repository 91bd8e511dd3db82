#pragma once

#include "ui/pages/OptionPages.h"
#include "ui/widgets/WindowDialogs.h"
#include "ui/window/MainMenus.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

struct AppState;
class CommandButton;
class FilesPage;
class LoadedFiles;
class PageListModel;
class PageListView;
class PlaceholderPopups;
class PresetCommands;
class QSplitter;
class QStackedWidget;
class RunCommands;

// The main window: the page list, the three command buttons, the pages with the loaded-file
// list on the first one, and the menus. It builds them (anew after a change of language or of
// the "<" buttons), shows the pages, locks the commands while a load or a run goes on, and
// takes drops and the close. The list (LoadedFiles), the runs (RunCommands), the presets
// (PresetCommands) and the menus (MainMenus) are parts of their own that it wires together.
// Everything the user changes on the pages is written back into the working settings before
// any check, run or preset save.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(AppState& app, QWidget* parent = nullptr);
  ~MainWindow() override;

  // What is not given stays as it was.
  void SetDialogs(WindowDialogs dialogs);

  // ---- The parts ----
  MainMenus* Menus() const { return menus_; }
  LoadedFiles* Files() const { return files_; }
  RunCommands* Runs() const { return runs_; }
  PresetCommands* Presets() const { return presets_.get(); }
  OptionPages* Pages() const { return pages_; }
  FilesPage* FirstPage() const { return filesPage_; }
  // The placeholder list and preview of this build (made anew with every build).
  PlaceholderPopups* Popups() const { return popups_; }
  // The four template fields and the three pattern fields, and their "<" buttons (nullptr
  // while the option that shows them is off). New widgets after every rebuild.
  QLineEdit* Field(FieldKind kind) const;
  QToolButton* ListButton(FieldKind kind) const;
  // The help window (topic 0 = getting started, 1..7 the topics), the about window and the
  // preset dialog (mode 0 manage, 1 save as new) come as components of their own. Attaching
  // one enables its menu items; until then they are disabled (the topics show message boxes).
  void AttachHelpWindow(std::function<void(int topic)> show);
  void AttachAboutWindow(std::function<void()> show);
  void AttachPresetDialog(std::function<void(int mode)> show);
  // After the preset list or the default preset changed: menu 3 and the first items of menu 2.
  void PresetsChanged();

  // ---- Commands, callable as the menus and buttons call them ----
  void ShowPage(int page);
  int ShownPage() const;
  void StorePages();                     // page controls -> working settings
  void FillPages();                      // working settings -> page controls, menus, shown page
  bool LoadPaths(const QString& paths);  // false when a load or a run goes on
  void StopLoading();                    // while a run goes on, asks whether to cancel it instead
  void AddFilesCommand();
  void AddFolderCommand();
  // The program is asked to end from outside (a stop signal): a run ends after the file in
  // hand and then the program, without questions; otherwise the program ends at once.
  void RequestQuit();
  void SetCommandsLocked(bool locked);
  bool CommandsLocked() const { return locked_; }
  // The window is built anew from the working settings (after the pages were stored), later,
  // from the event loop.
  void Rebuild();
  // Drops (as the drop targets hand them on): loading, or the target field's folder.
  void DropOnLoadTarget(const QStringList& paths);
  void DropOnTargetField(const QStringList& paths);

  // ---- The window's shape ----
  // Takes the shape stored in `file` for the screens there are now (brought on screen), else
  // opens at about two thirds of the screen in its middle. The shape is stored there again when
  // the window closes; an empty name stores nothing.
  void RestoreShape(const QString& file);
  // Stores the shape now; false when there is no file or it could not be written.
  bool SaveShape() const;
  QSplitter* Divider() const { return divider_; }

  // ---- For tests and the screenshots ----
  PageListModel* PageModel() const { return pageModel_; }
  PageListView* PageView() const { return pageView_; }
  QString StatusText() const;
  CommandButton* CommandButtonAt(int index) const;  // 0 add files, 1 add folder, 2 start

 signals:
  // Open pop-ups must close: a menu command or shortcut, a drop, a rebuild, a move.
  void ClosePopups();
  void ListButtonClicked(FieldKind kind, QLineEdit* field);
  // The window was built anew: fields and buttons are new widgets.
  void Rebuilt();
  // A load has ended and the list is the window's again.
  void LoadFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  QWidget* BuildPageArea(const QString& reservedKeys);
  void ConnectPages();
  void AttachPopups();
  void OnMenu(MenuCommand command);
  void UpdatePageList();
  void ChangeLanguage(int choice);  // -1 automatic, else the language index
  void ApplyAlwaysOnTop();
  void ShowTopic(int topic);
  void RebuildLater();
  void DoRebuild();
  void StepAside();
  void ComeBack();
  void WatchDrops(QWidget* widget);

  AppState& app_;
  WindowDialogs dialogs_;
  LoadedFiles* files_ = nullptr;
  RunCommands* runs_ = nullptr;
  std::unique_ptr<PresetCommands> presets_;
  MainMenus* menus_ = nullptr;
  PageListModel* pageModel_ = nullptr;
  bool locked_ = false;
  bool rebuildPending_ = false;
  Qt::WindowStates stateBeforeRun_;  // shown again so after a batch run
  bool shownBeforeRun_ = false;
  QString shapeFile_;
  QByteArray dividerState_;  // lasts through the builds

  std::function<void(int)> helpWindow_;
  std::function<void()> aboutWindow_;
  std::function<void(int)> presetDialog_;

  // Widgets of the current build.
  OptionPages* pages_ = nullptr;
  PlaceholderPopups* popups_ = nullptr;
  PageListView* pageView_ = nullptr;
  FilesPage* filesPage_ = nullptr;
  QStackedWidget* pageStack_ = nullptr;
  QSplitter* divider_ = nullptr;
  std::array<CommandButton*, 3> commandButtons_{};
};
