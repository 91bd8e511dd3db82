#include "ui/presets/PresetDialog.h"

#include "app/AppState.h"
#include "settings/PresetsFile.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/widgets/UiTexts.h"
#include "ui/window/MessageWindow.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kDescriptionWidth = 340;
constexpr int kListWidth = 225;
constexpr int kMaxListWidth = 360;
constexpr int kListHeight = 140;
constexpr int kButtonWidth = 110;
constexpr int kLabelWidth = 165;
constexpr int kComboWidth = 170;
constexpr int kOkWidth = 140;

bool DefaultAskYesNo(QWidget* parent, const QString& title, const QString& text) {
  return MakeQuestionBox(parent, title, text)->exec() == QMessageBox::Yes;
}

std::optional<QString> DefaultAskText(QWidget* parent, const QString& title,
                                      const QString& prompt) {
  const std::unique_ptr<QInputDialog> box = MakeInputBox(parent, title, prompt);
  if (box->exec() != QDialog::Accepted) return std::nullopt;
  return box->textValue();
}

void DefaultWarn(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.button(QMessageBox::Ok)->setText(PlainCaption(kTextOk));
  box.exec();
}

QPushButton* SideButton(int entry) {
  auto* button = new QPushButton(PlainCaption(entry));
  button->setMinimumWidth(kButtonWidth);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

PresetDialog::PresetDialog(QWidget* owner, Mode mode, QList<Preset>& presets, int32_t& defaultIndex,
                           const Preset& workingSettings, QString presetsFile,
                           PresetDialogHooks hooks)
    : QDialog(owner),
      mode_(mode),
      presets_(presets),
      defaultIndex_(defaultIndex),
      working_(workingSettings),
      presetsFile_(std::move(presetsFile)),
      hooks_(std::move(hooks)),
      model_(presets, defaultIndex),
      openingPresets_(presets),
      openingDefault_(defaultIndex) {
  if (!hooks_.AskYesNo) hooks_.AskYesNo = DefaultAskYesNo;
  if (!hooks_.AskText) hooks_.AskText = DefaultAskText;
  if (!hooks_.Warn) hooks_.Warn = DefaultWarn;

  setObjectName(QStringLiteral("PresetDialog"));
  setWindowTitle(PlainCaption(kTextPresetTitle));
  setModal(true);

  description_ = new QLabel(PlainCaption(kTextPresetDescription));
  description_->setObjectName(QStringLiteral("PresetDescription"));
  description_->setTextFormat(Qt::PlainText);
  description_->setWordWrap(true);
  description_->setMinimumWidth(ScaledTextWidth(kDescriptionWidth, description_->font()));

  list_ = new QListWidget;
  list_->setObjectName(QStringLiteral("PresetList"));
  list_->setAccessibleName(PlainCaption(kTextPresetTitle));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setTextElideMode(Qt::ElideRight);
  list_->setMinimumSize(kListWidth, kListHeight);
  auto* deleteKey = new QAction(list_);
  deleteKey->setShortcut(QKeySequence::Delete);
  deleteKey->setShortcutContext(Qt::WidgetShortcut);
  list_->addAction(deleteKey);
  connect(deleteKey, &QAction::triggered, this, &PresetDialog::DeleteSelected);

  saveNew_ = SideButton(kTextPresetSaveAsNew);
  delete_ = SideButton(kTextPresetDelete);
  up_ = SideButton(kTextPresetMoveUp);
  down_ = SideButton(kTextPresetMoveDown);
  restore_ = SideButton(kTextPresetRestoreBuiltin);
  saveNew_->setObjectName(QStringLiteral("PresetSaveNew"));
  delete_->setObjectName(QStringLiteral("PresetDelete"));
  up_->setObjectName(QStringLiteral("PresetUp"));
  down_->setObjectName(QStringLiteral("PresetDown"));
  restore_->setObjectName(QStringLiteral("PresetRestore"));

  comboLabel_ = new QLabel(PlainCaption(kTextPresetDefaultPreset) + QLatin1Char(':'));
  comboLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  comboLabel_->setMinimumWidth(kLabelWidth);
  combo_ = new QComboBox;
  combo_->setObjectName(QStringLiteral("PresetDefault"));
  combo_->setAccessibleName(PlainCaption(kTextPresetDefaultPreset));
  combo_->setMinimumWidth(kComboWidth);
  comboLabel_->setBuddy(combo_);

  ok_ = new QPushButton(QStringLiteral("OK"));
  ok_->setObjectName(QStringLiteral("PresetOk"));
  ok_->setMinimumWidth(kOkWidth);
  ok_->setDefault(true);

  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {saveNew_, delete_, up_, down_, restore_}) buttons->addWidget(button);
  buttons->addStretch(1);
  auto* listRow = new QHBoxLayout;
  listRow->addWidget(list_, 1);
  listRow->addLayout(buttons);
  auto* comboRow = new QHBoxLayout;
  comboRow->addWidget(comboLabel_);
  comboRow->addWidget(combo_, 1);
  auto* okRow = new QHBoxLayout;
  okRow->addStretch(1);
  okRow->addWidget(ok_);
  okRow->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addWidget(description_);
  layout->addLayout(listRow, 1);
  layout->addLayout(comboRow);
  layout->addSpacing(10);
  layout->addLayout(okRow);

  connect(saveNew_, &QPushButton::clicked, this, &PresetDialog::SaveAsNew);
  connect(delete_, &QPushButton::clicked, this, &PresetDialog::DeleteSelected);
  connect(up_, &QPushButton::clicked, this, &PresetDialog::MoveSelectedUp);
  connect(down_, &QPushButton::clicked, this, &PresetDialog::MoveSelectedDown);
  connect(restore_, &QPushButton::clicked, this, &PresetDialog::RestoreBuiltins);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(list_, &QListWidget::itemSelectionChanged, this, &PresetDialog::UpdateButtons);
  connect(combo_, &QComboBox::activated, this, [this](int index) { model_.SetDefault(index); });

  Rebuild(-1);
  // The opening size is the smallest: controls keep their room, and grow to the right.
  const QSize opening = sizeHint();
  setMinimumSize(opening);
  resize(opening);
}

int PresetDialog::SelectedRow() const {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  return selected.isEmpty() ? -1 : list_->row(selected.first());
}

void PresetDialog::Rebuild(int selectRow) {
  const QSignalBlocker blockList(list_);
  list_->clear();
  for (const QString& row : model_.ListRows()) {
    auto* item = new QListWidgetItem(row, list_);
    item->setToolTip(row);  // a long name is cut off in the list
  }
  // Wide enough for the rows, within reason: a longer name is cut off with its tooltip.
  const int rows = list_->count() > 0 ? list_->sizeHintForColumn(0) : 0;
  list_->setMinimumWidth(std::clamp(rows + 2 * list_->frameWidth() + 8, kListWidth, kMaxListWidth));
  if (selectRow >= 0 && selectRow < list_->count()) {
    list_->setCurrentRow(selectRow);
    list_->item(selectRow)->setSelected(true);
  } else {
    list_->setCurrentRow(-1);
    list_->clearSelection();
  }
  const QSignalBlocker blockCombo(combo_);
  combo_->clear();
  combo_->addItems(model_.ComboRows());
  // A stored default that names no preset shows no row until one is chosen.
  combo_->setCurrentIndex(model_.DefaultIndex() < combo_->count() ? model_.DefaultIndex() : -1);
  UpdateButtons();
}

void PresetDialog::UpdateButtons() {
  const int row = SelectedRow();
  saveNew_->setEnabled(model_.CanSaveNew());
  delete_->setEnabled(model_.CanDelete(row));
  up_->setEnabled(model_.CanMoveUp(row));
  down_->setEnabled(model_.CanMoveDown(row));
}

bool PresetDialog::SaveAsNew() {
  if (!model_.CanSaveNew()) return false;
  const std::optional<QString> typed =
      hooks_.AskText(this, QString(), PlainCaption(kTextPresetNewName));
  if (!typed) return false;
  QString name = PresetDialogModel::CleanName(*typed);
  if (name.isEmpty()) return false;

  int row = -1;
  const int match = model_.FindName(name);
  // The working preset is never saved, so its name is only ever avoided, not replaced.
  if (match > 0 &&
      hooks_.AskYesNo(this, PlainCaption(kTextQuestion), PlainCaption(kTextAskReplacePreset))) {
    if (hooks_.StorePageControls) hooks_.StorePageControls();
    row = model_.Replace(match, working_);
  } else {
    if (match >= 0) name = model_.FreeName(name);
    if (hooks_.StorePageControls) hooks_.StorePageControls();
    row = model_.Add(name, working_);
  }
  Rebuild(row);
  return row >= 0;
}

void PresetDialog::DeleteSelected() {
  const int row = SelectedRow();
  if (!model_.CanDelete(row)) return;
  // A deleted preset cannot be brought back: the file is written when the dialog closes.
  if (!hooks_.AskYesNo(this, PlainCaption(kTextQuestion), PlainCaption(kTextAskDeletePreset)))
    return;
  model_.Delete(row);
  Rebuild(-1);
}

void PresetDialog::MoveSelectedUp() {
  const int row = SelectedRow();
  if (!model_.CanMoveUp(row)) return;
  Rebuild(model_.MoveUp(row));
}

void PresetDialog::MoveSelectedDown() {
  const int row = SelectedRow();
  if (!model_.CanMoveDown(row)) return;
  Rebuild(model_.MoveDown(row));
}

void PresetDialog::RestoreBuiltins() {
  if (!hooks_.AskYesNo(this, PlainCaption(kTextQuestion), PlainCaption(kTextAskRestorePresets)))
    return;
  model_.RestoreBuiltins();
  Rebuild(-1);
}

bool PresetDialog::Changed() const {
  return defaultIndex_ != openingDefault_ || presets_ != openingPresets_;
}

void PresetDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (mode_ == Mode::kSaveAsNew && !started_) {
    started_ = true;
    // After the dialog is on screen, as if its button had been pressed; it closes afterwards
    // whether or not a preset was added.
    QTimer::singleShot(0, this, [this] {
      SaveAsNew();
      accept();
    });
  }
}

void PresetDialog::done(int result) {
  if (!finished_) {
    finished_ = true;
    if (Changed()) {
      // The menus must show the list in memory even when the file could not be written; the
      // user is told, since the presets would be lost at the next start.
      if (!SavePresets(presetsFile_, presets_, defaultIndex_))
        hooks_.Warn(this, PlainCaption(kTextWarning), PlainCaption(kTextSettingsNotSaved));
      emit PresetsChanged();
    }
  }
  QDialog::done(result);
}

// The boxes' buttons speak the program's language, whatever translations Qt has loaded.
std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* parent, const QString& title,
                                             const QString& text) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::Question, title, text,
                                           QMessageBox::Yes | QMessageBox::No, parent);
  box->setTextFormat(Qt::PlainText);
  box->button(QMessageBox::Yes)->setText(PlainCaption(kTextYes));
  box->button(QMessageBox::No)->setText(PlainCaption(kTextNo));
  // Each question here can lose presets; Enter alone must not.
  box->setDefaultButton(QMessageBox::No);
  return box;
}

std::unique_ptr<QInputDialog> MakeInputBox(QWidget* parent, const QString& title,
                                           const QString& prompt) {
  auto box = std::make_unique<QInputDialog>(parent);
  box->setWindowTitle(title);
  box->setLabelText(prompt);
  box->setInputMode(QInputDialog::TextInput);
  box->setOkButtonText(PlainCaption(kTextOk));
  box->setCancelButtonText(PlainCaption(kTextCancel));
  return box;
}

void RunPresetDialog(QWidget* owner, PresetDialog::Mode mode, AppState& app,
                     PresetDialogHooks hooks, const std::function<void()>& presetsChanged) {
  PresetDialog dialog(owner, mode, app.PresetList, app.DefaultPresetIndex, app.WorkingSettings,
                      app.PresetsFile, std::move(hooks));
  if (presetsChanged) QObject::connect(&dialog, &PresetDialog::PresetsChanged, presetsChanged);
  dialog.exec();
}
