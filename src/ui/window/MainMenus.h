#pragma once

#include <QObject>
#include <QString>

#include <array>

struct AppState;
class QAction;
class QMainWindow;
class QMenu;
class QWidget;

// Every command of the menus and keyboard shortcuts.
enum class MenuCommand {
  Start,
  TestRun,
  UndoLastRun,
  AddFiles,
  AddFolder,
  Exit,
  SavePreset,
  SaveAsNewPreset,
  TemplateButtons,
  PatternButtons,
  AlwaysOnTop,
  IncludeSubdirectories,
  IncludeHidden,
  FilterDateLastAccess,
  FilterDateModified,
  FilterDateCreated,
  FilterDateTaken,
  PlaceholderDateLastAccess,
  PlaceholderDateModified,
  PlaceholderDateCreated,
  PlaceholderDateTaken,
  KeepFiltered,
  KeepSources,
  KeepFailed,
  KeepTargets,
  KeepUnprocessed,
  QuitAfterRun,
  LanguageAutomatic,
  LanguageGerman,
  LanguageEnglish,
  ManagePresets,
  Help,
  Topic1,
  Topic2,
  Topic3,
  Topic4,
  Topic5,
  Topic6,
  Topic7,
  Information,
  About,
  SelectAll,
  NextPage,
  StopLoading,
};
inline constexpr int kMenuCommandCount = static_cast<int>(MenuCommand::StopLoading) + 1;
inline constexpr int kMaxPresetShortcuts = 10;  // Ctrl+0 .. Ctrl+9

// The help topic (1 to 7) of a Topic command; 0 for any other command.
int TopicOf(MenuCommand command);

// The main window's menu bar and its shortcuts without a menu item. The items that stand for
// an option (the check marks and the date choices) set it in the working settings themselves;
// every item then reports itself through Chosen, after CommandStarting, so that open pop-ups close
// before the command runs. Menu 3 lists the first ten presets.
class MainMenus : public QObject {
  Q_OBJECT

 public:
  MainMenus(AppState& app, QMainWindow& window);

  // A new menu bar for a new build of the window (the old bar goes with its actions). Select
  // all belongs to `listView`, the other shortcuts to the window.
  void Build(QWidget* listView);
  // Menu 3's presets and the preset items of menu 2, after the preset list changed.
  void BuildPresetItems();
  // The check marks from the working settings and the language.
  void UpdateChecks();
  // While locked, the menus that would start other work and their shortcuts are off.
  void SetLocked(bool locked);
  // The help window, the about window and the preset dialog are attached: their items work.
  void SetAttached(bool help, bool about, bool presetDialog);

  QAction* Action(MenuCommand command) const;
  QAction* PresetAction(int position) const;  // nullptr when there is none

  // The access keys of the menu bar's menus, which the pages' own keys must not take.
  static QString MenuBarKeys();

 signals:
  void CommandStarting();
  void Chosen(MenuCommand command);
  void PresetChosen(int position);

 private:
  QAction* NewAction(MenuCommand command, const QString& text);
  QAction* CheckAction(MenuCommand command, int entry);
  void BuildFileMenu(QMenu* file);
  void BuildSettingsMenu(QMenu* settings);
  void BuildHelpMenu(QMenu* help);
  void BuildShortcuts(QWidget* listView);
  void Apply(MenuCommand command);  // an option item's setting
  void UpdateEnabling();

  AppState& app_;
  QMainWindow& window_;
  bool locked_ = false;
  bool help_ = false;
  bool about_ = false;
  bool presetDialog_ = false;
  std::array<QAction*, kMenuCommandCount> actions_{};
  std::array<QAction*, kMaxPresetShortcuts> presetActions_{};
  std::array<QMenu*, 4> menus_{};
};
