#pragma once

#include "records/Preset.h"
#include "ui/presets/PresetDialogModel.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QInputDialog;
class QMessageBox;
class QLabel;
class QListWidget;
class QPushButton;
struct AppState;

// What the preset dialog needs from the main window, and its questions, which tests replace.
// Empty members get the defaults: message boxes and an input box over the dialog.
struct PresetDialogHooks {
  // Stores the page controls of the main window into the working settings.
  std::function<void()> StorePageControls;
  // A Yes/No question; true for Yes.
  std::function<bool(QWidget* parent, const QString& title, const QString& text)> AskYesNo;
  // An input box with an empty default; nothing when it was cancelled.
  std::function<std::optional<QString>(QWidget* parent, const QString& title,
                                       const QString& prompt)>
      AskText;
  // A warning with an OK button.
  std::function<void(QWidget* parent, const QString& title, const QString& text)> Warn;
};

// Lists the saved presets, saves the page settings as a new preset, deletes, orders and
// restores presets, and chooses the default preset (loaded at start-up, overwritten by Ctrl+S).
// When it closes after a change, the presets file is written and PresetsChanged is sent, so the
// main window rebuilds its presets menus.
class PresetDialog : public QDialog {
  Q_OBJECT

 public:
  enum class Mode {
    kManage,     // the presets menu's "Manage presets..."
    kSaveAsNew,  // "Save as new preset...": asks for the name at once and closes after it
  };

  PresetDialog(QWidget* owner, Mode mode, QList<Preset>& presets, int32_t& defaultIndex,
               const Preset& workingSettings, QString presetsFile, PresetDialogHooks hooks);

  // The save-as-new step: asks for a name, asks before replacing a preset of that name, and
  // stores the page settings into the new or replaced preset, which becomes the default. True
  // when a preset was added or replaced.
  bool SaveAsNew();
  // The other buttons, on the list's selected row.
  void DeleteSelected();
  void MoveSelectedUp();
  void MoveSelectedDown();
  void RestoreBuiltins();

  // The presets or the default preset differ from when the dialog opened.
  bool Changed() const;

  QListWidget* List() const { return list_; }
  QComboBox* DefaultCombo() const { return combo_; }
  QPushButton* SaveNewButton() const { return saveNew_; }
  QPushButton* DeleteButton() const { return delete_; }
  QPushButton* UpButton() const { return up_; }
  QPushButton* DownButton() const { return down_; }
  QPushButton* RestoreButton() const { return restore_; }
  QPushButton* OkButton() const { return ok_; }

  void done(int result) override;

 signals:
  // The dialog closed after a change; the presets file has been written (or the user was told
  // that it could not be).
  void PresetsChanged();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Rebuild(int selectRow);
  void UpdateButtons();
  int SelectedRow() const;

  Mode mode_;
  QList<Preset>& presets_;
  int32_t& defaultIndex_;
  const Preset& working_;
  QString presetsFile_;
  PresetDialogHooks hooks_;
  PresetDialogModel model_;
  QList<Preset> openingPresets_;
  int32_t openingDefault_;
  bool started_ = false;
  bool finished_ = false;

  QLabel* description_ = nullptr;
  QListWidget* list_ = nullptr;
  QPushButton* saveNew_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* up_ = nullptr;
  QPushButton* down_ = nullptr;
  QPushButton* restore_ = nullptr;
  QLabel* comboLabel_ = nullptr;
  QComboBox* combo_ = nullptr;
  QPushButton* ok_ = nullptr;
};

// The Yes/No question and the name box of the dialog, with their buttons in the program's
// language; No is the default answer.
std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* parent, const QString& title,
                                             const QString& text);
std::unique_ptr<QInputDialog> MakeInputBox(QWidget* parent, const QString& title,
                                           const QString& prompt);

// Opens the preset dialog over the main window for the program's presets and returns when it
// is closed; `presetsChanged` runs when the presets changed (rebuild the presets menus there).
void RunPresetDialog(QWidget* owner, PresetDialog::Mode mode, AppState& app,
                     PresetDialogHooks hooks, const std::function<void()>& presetsChanged);
