#include "ui/window/MainWindow.h"

#include "app/AppState.h"
#include "app/Startup.h"
#include "platform/LocalTime.h"
#include "run/RunSetup.h"
#include "settings/Locations.h"
#include "texts/AdditionEntries.h"
#include "texts/LanguageEntries.h"
#include "texts/ProductTitle.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"
#include "ui/list/FileListModel.h"
#include "ui/list/FileListPanel.h"
#include "ui/list/FileListView.h"
#include "ui/list/LoadedFiles.h"
#include "ui/pages/PageList.h"
#include "ui/placeholders/PlaceholderPopups.h"
#include "ui/presets/PresetCommands.h"
#include "ui/run/RunCommands.h"
#include "ui/widgets/CommandButton.h"
#include "ui/widgets/FilePaths.h"
#include "ui/widgets/Icons.h"
#include "ui/widgets/Mnemonics.h"
#include "ui/widgets/UiTexts.h"
#include "ui/window/FilesPage.h"
#include "ui/window/HelpTexts.h"
#include "ui/window/StandardDialogs.h"
#include "ui/window/WindowShape.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kMinimumWidth = 520;
constexpr int kMinimumHeight = 400;

}  // namespace

MainWindow::MainWindow(AppState& app, QWidget* parent) : QMainWindow(parent), app_(app) {
  dialogs_ = StandardDialogs(this);
  NewNamePreview::Sources sources;
  sources.Settings = [this] {
    Preset settings = app_.WorkingSettings;
    if (pages_ != nullptr) pages_->Store(settings);
    settings.SelectedPage = 0;  // which page shows changes no name
    return settings;
  };
  sources.Folders = [this] { return TemplateFolders(app_.DesktopFolder, app_.ProgramFolder); };
  sources.DateFieldValue = [this] { return pages_ != nullptr ? pages_->DatePickerValue() : 0; };
  sources.ListFree = [this] { return !files_->LoadBusy() && !(runs_ != nullptr && runs_->Busy()); };
  sources.Ask = [this](const QString& title, const QString& text) {
    return dialogs_.Ask(title, text);
  };
  files_ = new LoadedFiles(app_.Files, app_.Load, std::move(sources), dialogs_, this);
  pageModel_ = new PageListModel(this);
  connect(files_, &LoadedFiles::LoadFinished, this, [this] {
    SetCommandsLocked(false);
    emit LoadFinished();
  });
  connect(files_, &LoadedFiles::CommandStarting, this, &MainWindow::ClosePopups);

  RunCommandHooks runHooks;
  runHooks.StorePages = [this] { StorePages(); };
  runHooks.DateFieldValue = [this] { return pages_->DatePickerValue(); };
  runHooks.Lock = [this](bool locked) { SetCommandsLocked(locked); };
  runHooks.StepAside = [this] { StepAside(); };
  runHooks.ComeBack = [this] { ComeBack(); };
  runHooks.Close = [this] { close(); };
  runHooks.ClosePopups = [this] { emit ClosePopups(); };
  runs_ = new RunCommands(app_, *files_, dialogs_, std::move(runHooks), this);

  PresetCommandHooks presetHooks;
  presetHooks.StorePages = [this] { StorePages(); };
  presetHooks.FillPages = [this] { FillPages(); };
  presetHooks.RebuildFromSettings = [this] { RebuildLater(); };
  presets_ = std::make_unique<PresetCommands>(app_, dialogs_, std::move(presetHooks));

  menus_ = new MainMenus(app_, *this);
  connect(menus_, &MainMenus::CommandStarting, this, &MainWindow::ClosePopups);
  connect(menus_, &MainMenus::Chosen, this, [this](MenuCommand command) { OnMenu(command); });
  connect(menus_, &MainMenus::PresetChosen, this,
          [this](int position) { presets_->ActivateAt(position); });

  setWindowTitle(ProductTitle(false, true, false));
  setWindowIcon(StoreIcon(kImageProgram));
  Build();
  files_->Model()->Reload();
  FillPages();
  files_->UpdateStatusLine(true, true);
  resize(sizeHint().expandedTo(QSize(kMinimumWidth, kMinimumHeight)));
}

MainWindow::~MainWindow() {
  // The worker must not append to the list after the window is gone.
  files_->StopLoadingAndWait();
}

void MainWindow::SetDialogs(WindowDialogs dialogs) {
  dialogs_.Replace(std::move(dialogs));
}

// ---- Building ----

// The window's layout: on the left the page list beside the frame with the shown page; on the
// right, past a divider the user may move, the three command buttons above the loaded-file list,
// so that the new names stay in sight while any page is edited.
void MainWindow::Build() {
  const Preset& settings = app_.WorkingSettings;
  pages_ = new OptionPages(
      settings.TemplateButtons != 0, settings.PatternButtons != 0, [] { return NowAsLocalDate(); },
      this);

  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(10, 10, 10, 10);

  auto* pagesSide = new QWidget;
  auto* pagesLayout = new QHBoxLayout(pagesSide);
  pagesLayout->setContentsMargins(0, 0, 0, 0);
  pagesLayout->setSpacing(10);
  pageView_ = new PageListView;
  pageView_->setModel(pageModel_);
  pageView_->setAccessibleName(AdditionText(kAddPageList));
  pagesLayout->addWidget(pageView_, 0);

  auto* listSide = new QWidget;
  auto* listLayout = new QVBoxLayout(listSide);
  listLayout->setContentsMargins(0, 0, 0, 0);
  listLayout->setSpacing(8);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(8);
  const std::array<std::pair<int, int>, 3> commands = {{{kImageAddFiles, kTextMenuAddFiles},
                                                        {kImageAddFolder, kTextMenuAddFolder},
                                                        {kImageStart, kTextMenuStart}}};
  for (size_t i = 0; i < commands.size(); ++i) {
    commandButtons_[i] =
        new CommandButton(StoreIcon(commands[i].first), PlainCaption(commands[i].second));
    buttons->addWidget(commandButtons_[i], 1);
  }
  listLayout->addLayout(buttons);
  // The command buttons wrap their captions before the list side gets any narrower, never
  // cutting a word (their smallest size), so the window fits a small screen.
  FileListPanel* panel = files_->BuildPanel();
  listLayout->addWidget(panel, 1);
  // The list's buttons are always there: their keys are taken on every page.
  const QString menuKeys = MainMenus::MenuBarKeys();
  AssignMnemonics(panel, menuKeys);
  QString listKeys;
  for (const QAbstractButton* button : panel->findChildren<QAbstractButton*>())
    if (const QChar key = MnemonicOf(button->text()); !key.isNull()) listKeys += key;
  pagesLayout->addWidget(BuildPageArea(menuKeys + listKeys), 1);

  divider_ = new QSplitter(Qt::Horizontal);
  divider_->setObjectName(QStringLiteral("divider"));
  divider_->setChildrenCollapsible(false);
  divider_->addWidget(pagesSide);
  divider_->addWidget(listSide);
  // A wider window gives the list the room: its columns want it, the pages do not.
  divider_->setStretchFactor(0, 0);
  divider_->setStretchFactor(1, 1);
  layout->addWidget(divider_, 1);

  setCentralWidget(central);
  if (!dividerState_.isEmpty()) {
    divider_->restoreState(dividerState_);
  } else {
    // At first the pages get what they need and the list the rest: the sizes are weights, so
    // the split holds at whatever width the window opens.
    const int pagesWidth = pagesSide->minimumSizeHint().width();
    divider_->setSizes({pagesWidth, std::max(pagesWidth, width() - pagesWidth)});
  }
  connect(divider_, &QSplitter::splitterMoved, this,
          [this] { dividerState_ = divider_->saveState(); });
  // The smallest window is 520 x 400, or what the desktop's font needs so that no caption of any
  // page and of the list is cut off, whichever is larger.
  central->setMinimumSize(layout->minimumSize().expandedTo(QSize(kMinimumWidth, kMinimumHeight)));
  // Asked again once the pages and the list have been filled and laid out: what they need then
  // (the longest texts, the list's header) decides, so that nothing runs past the window's edge.
  QTimer::singleShot(0, central, [central, layout] {
    layout->invalidate();
    central->setMinimumSize(layout->minimumSize().expandedTo(QSize(kMinimumWidth, kMinimumHeight)));
  });
  menus_->Build(files_->View());
  filesPage_->Follow(*menus_);
  // Every edit of a page or a menu option may change the new names.
  NewNamePreview* newNames = files_->NewNames();
  for (int page = 1; page < kPageCount; ++page)
    WatchEdits(pages_->Page(page), newNames, [newNames] { newNames->SettingsEdited(); });
  for (QAction* action : menuBar()->findChildren<QAction*>())
    connect(action, &QAction::triggered, newNames, &NewNamePreview::SettingsEdited);

  const std::array<void (MainWindow::*)(), 2> loadCommands = {&MainWindow::AddFilesCommand,
                                                              &MainWindow::AddFolderCommand};
  for (size_t i = 0; i < loadCommands.size(); ++i) {
    connect(commandButtons_[i], &QPushButton::clicked, this, [this, command = loadCommands[i]] {
      emit ClosePopups();
      (this->*command)();
    });
  }
  connect(commandButtons_[2], &QPushButton::clicked, this, [this] {
    emit ClosePopups();
    runs_->Start();
  });
  ConnectPages();
  AttachPopups();
  for (QWidget* target :
       {static_cast<QWidget*>(commandButtons_[0]), static_cast<QWidget*>(commandButtons_[1]),
        files_->View()->viewport(), static_cast<QWidget*>(pages_->Field(FieldKind::TargetTemplate)),
        static_cast<QWidget*>(pages_->BrowseButton())})
    WatchDrops(target);
  SetCommandsLocked(locked_);
}

// The frame with the pages, one above the other: the loaded files, then the option pages.
// `reservedKeys` are the access keys the menus and the list take.
QWidget* MainWindow::BuildPageArea(const QString& reservedKeys) {
  auto* frame = new QGroupBox;
  frame->setFlat(false);
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->setContentsMargins(10, 10, 10, 10);
  pageStack_ = new QStackedWidget;
  filesPage_ = new FilesPage;
  AssignMnemonics(filesPage_, reservedKeys);
  pageStack_->addWidget(filesPage_);
  for (int page = 1; page < kPageCount; ++page) {
    QWidget* widget = pages_->Page(page);
    AssignMnemonics(widget, reservedKeys);
    pageStack_->addWidget(widget);
  }
  frameLayout->addWidget(pageStack_);
  return frame;
}

void MainWindow::ConnectPages() {
  connect(pageView_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
    const int page = PageListModel::PageOfRow(index.row());
    if (page >= 0) ShowPage(page);
  });
  connect(pageView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            const int page = PageListModel::PageOfRow(current.row());
            if (page >= 0 && page != ShownPage()) ShowPage(page);
          });
  connect(pages_, &OptionPages::SwitchesChanged, this, [this] { UpdatePageList(); });
  connect(pages_, &OptionPages::ListButtonClicked, this,
          [this](FieldKind kind) { emit ListButtonClicked(kind, pages_->Field(kind)); });
  connect(pages_, &OptionPages::BrowseTargetClicked, this, [this] {
    emit ClosePopups();
    QLineEdit* field = pages_->Field(FieldKind::TargetTemplate);
    const QString folder = dialogs_.ChooseFolder(PlainCaption(kTextChooseTargetFolder), QString());
    if (folder.isEmpty()) return;
    field->setText(folder.endsWith(u'/') ? folder : folder + u'/');
    field->setFocus();
  });
  connect(pages_, &OptionPages::RuleRefused, this, [this](const RuleRefusal& refusal) {
    if (refusal.Field != nullptr) refusal.Field->setFocus();
    if (refusal.Problem == RuleProblem::InvalidCharacters)
      dialogs_.TellTitled(MessageIcon::kWarning, kTextWarning,
                          AdditionText(kAddInvalidNameCharacters));
  });
}

// The pop-ups that help with templates and patterns serve this build's fields.
void MainWindow::AttachPopups() {
  popups_ = new PlaceholderPopups(this, app_.WorkingSettings.TemplateButtons != 0);
  const std::array<std::pair<FieldKind, PlaceholderField>, kFieldKindCount> served = {{
      {FieldKind::InsertText, PlaceholderField::kInsertText},
      {FieldKind::ReplaceWith, PlaceholderField::kReplaceWith},
      {FieldKind::NameTemplate, PlaceholderField::kNameTemplate},
      {FieldKind::TargetTemplate, PlaceholderField::kTargetDir},
      {FieldKind::FilterText, PlaceholderField::kPattern},
      {FieldKind::FindText, PlaceholderField::kPattern},
      {FieldKind::OldExtensions, PlaceholderField::kPattern},
  }};
  for (const auto& [kind, field] : served) {
    if (QToolButton* button = pages_->ListButton(kind))
      popups_->AttachListButton(button, pages_->Field(kind), field);
    if (IsTemplateField(kind)) popups_->AttachPreviewField(pages_->Field(kind), field);
  }
  connect(this, &MainWindow::ClosePopups, popups_, &PlaceholderPopups::CloseAll);
}

// ---- The menus ----

void MainWindow::OnMenu(MenuCommand command) {
  using M = MenuCommand;
  switch (command) {
    case M::Start:
      runs_->Start();
      break;
    case M::TestRun:
      runs_->TestRun();
      break;
    case M::UndoLastRun:
      runs_->UndoLastRun();
      break;
    case M::AddFiles:
      AddFilesCommand();
      break;
    case M::AddFolder:
      AddFolderCommand();
      break;
    case M::Exit:
      close();
      break;
    case M::SavePreset:
      presets_->Save();
      break;
    case M::SaveAsNewPreset:
    case M::ManagePresets:
      if (presetDialog_) presetDialog_(command == M::SaveAsNewPreset ? 1 : 0);
      break;
    case M::TemplateButtons:
    case M::PatternButtons:
      Rebuild();
      break;
    case M::AlwaysOnTop:
      ApplyAlwaysOnTop();
      break;
    case M::LanguageAutomatic:
      ChangeLanguage(-1);
      break;
    case M::LanguageGerman:
      ChangeLanguage(kLanguageGerman);
      break;
    case M::LanguageEnglish:
      ChangeLanguage(kLanguageEnglish);
      break;
    case M::Help:
      if (helpWindow_) helpWindow_(kHelpGettingStarted);
      break;
    case M::Information:
      dialogs_.TellTitled(MessageIcon::kInformation, kTextInformation,
                          LanguageText(kTextSettingsLocation));
      break;
    case M::About:
      if (aboutWindow_) aboutWindow_();
      break;
    case M::SelectAll:
      files_->SelectAll();
      break;
    case M::NextPage:
      ShowPage((ShownPage() + 1) % kPageCount);
      pageView_->setFocus();
      break;
    case M::StopLoading:
      StopLoading();
      break;
    default:
      // The topics; the other items set their option themselves.
      if (const int topic = TopicOf(command); topic != 0) ShowTopic(topic);
      break;
  }
}

QLineEdit* MainWindow::Field(FieldKind kind) const {
  return pages_->Field(kind);
}

QToolButton* MainWindow::ListButton(FieldKind kind) const {
  return pages_->ListButton(kind);
}

void MainWindow::AttachHelpWindow(std::function<void(int topic)> show) {
  helpWindow_ = std::move(show);
  menus_->SetAttached(static_cast<bool>(helpWindow_), static_cast<bool>(aboutWindow_),
                      static_cast<bool>(presetDialog_));
}

void MainWindow::AttachAboutWindow(std::function<void()> show) {
  aboutWindow_ = std::move(show);
  menus_->SetAttached(static_cast<bool>(helpWindow_), static_cast<bool>(aboutWindow_),
                      static_cast<bool>(presetDialog_));
}

void MainWindow::AttachPresetDialog(std::function<void(int mode)> show) {
  presetDialog_ = std::move(show);
  menus_->SetAttached(static_cast<bool>(helpWindow_), static_cast<bool>(aboutWindow_),
                      static_cast<bool>(presetDialog_));
}

void MainWindow::PresetsChanged() {
  menus_->BuildPresetItems();
}

void MainWindow::ShowTopic(int topic) {
  if (helpWindow_) {
    helpWindow_(topic);
    return;
  }
  dialogs_.Tell(MessageIcon::kInformation, HelpTitle(topic), HelpText(topic));
}

// ---- Pages ----

void MainWindow::ShowPage(int page) {
  if (page < 0 || page >= kPageCount) return;
  pageStack_->setCurrentIndex(page);
  pageModel_->SetShownPage(page);
  const QModelIndex row = pageModel_->index(PageListModel::RowOfPage(page));
  pageView_->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
}

int MainWindow::ShownPage() const {
  return pageModel_->ShownPage();
}

void MainWindow::StorePages() {
  pages_->Store(app_.WorkingSettings);
  app_.WorkingSettings.SelectedPage = static_cast<int8_t>(ShownPage());
}

void MainWindow::FillPages() {
  const Preset& s = app_.WorkingSettings;
  pages_->Fill(s);
  ShowPage(s.SelectedPage >= 0 && s.SelectedPage < kPageCount ? s.SelectedPage : 0);
  menus_->UpdateChecks();
  UpdatePageList();
  ApplyAlwaysOnTop();
}

void MainWindow::UpdatePageList() {
  pageModel_->SetSwitches(pages_->Switches());
}

// ---- Loading ----

bool MainWindow::LoadPaths(const QString& paths) {
  if (files_->LoadBusy() || runs_->Busy()) return false;
  if (!files_->Load(paths, app_.WorkingSettings)) return false;
  SetCommandsLocked(true);
  return true;
}

void MainWindow::StopLoading() {
  if (runs_->Busy()) {
    runs_->AskToCancel();
    return;
  }
  files_->StopLoading();
}

void MainWindow::AddFilesCommand() {
  if (locked_ || files_->LoadBusy()) return;
  const QStringList paths = dialogs_.ChooseFiles();
  if (!paths.isEmpty()) LoadPaths(paths.join(u'\n'));
}

void MainWindow::AddFolderCommand() {
  if (locked_ || files_->LoadBusy()) return;
  const QString folder = dialogs_.ChooseFolder(PlainCaption(kTextChooseFolderToLoad), QString());
  if (!folder.isEmpty()) LoadPaths(folder);
}

QString MainWindow::StatusText() const {
  return files_->StatusText();
}

// ---- Commands ----

void MainWindow::SetCommandsLocked(bool locked) {
  locked_ = locked;
  menus_->SetLocked(locked);
  for (CommandButton* button : commandButtons_)
    if (button != nullptr) button->setEnabled(!locked);
  files_->SetLocked(locked);
  runs_->SetLocked(locked);
  presets_->SetLocked(locked);
}

CommandButton* MainWindow::CommandButtonAt(int index) const {
  return index >= 0 && index < 3 ? commandButtons_[static_cast<size_t>(index)] : nullptr;
}

void MainWindow::RequestQuit() {
  if (runs_->RequestQuit()) return;  // the window closes when the run or the undo has ended
  files_->StopLoadingAndWait();
  SaveShape();
  dialogs_.EndProgram();
}

void MainWindow::StepAside() {
  shownBeforeRun_ = isVisible();
  stateBeforeRun_ = windowState();
  hide();
}

void MainWindow::ComeBack() {
  if (!shownBeforeRun_) return;
  if (stateBeforeRun_.testFlag(Qt::WindowMinimized))
    showMinimized();
  else if (stateBeforeRun_.testFlag(Qt::WindowFullScreen))
    showFullScreen();
  else if (stateBeforeRun_.testFlag(Qt::WindowMaximized))
    showMaximized();
  else
    showNormal();
  raise();
  activateWindow();
}

void MainWindow::ApplyAlwaysOnTop() {
  const bool onTop = app_.WorkingSettings.AlwaysOnTop != 0;
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) return;
  const bool visible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  if (visible) show();  // changing the flags hides the window
}

void MainWindow::ChangeLanguage(int choice) {
  if (choice < 0) {
    ForgetLanguage(app_.LanguageFile);
    app_.LanguageIndex = SystemLanguageIndex();
  } else {
    if (choice == app_.LanguageIndex) {
      menus_->UpdateChecks();
      return;
    }
    app_.LanguageIndex = choice;
    // Not stored (a read-only settings folder): the choice lasts until the program ends.
    SaveLanguage(app_.LanguageFile, choice);
  }
  if (!LoadLanguageTable(app_.LanguageIndex)) {
    dialogs_.Fatal(InitializeFailureReason());
    return;
  }
  if (!app_.PresetList.isEmpty())
    app_.PresetList[0].PresetName = LanguageText(kTextPresetDefaultSettings);
  Rebuild();
}

// ---- Rebuilding ----

void MainWindow::Rebuild() {
  StorePages();
  RebuildLater();
}

void MainWindow::RebuildLater() {
  if (rebuildPending_) return;
  rebuildPending_ = true;
  // Later, from the event loop: the command that asked for it may come from a menu of the
  // build that goes away.
  QTimer::singleShot(0, this, [this] { DoRebuild(); });
}

void MainWindow::DoRebuild() {
  rebuildPending_ = false;
  emit ClosePopups();
  const QRect geometry = this->geometry();
  const bool visible = isVisible();
  delete popups_;
  popups_ = nullptr;
  QWidget* old = takeCentralWidget();
  delete old;
  delete pages_;
  pages_ = nullptr;
  Build();
  FillPages();
  files_->Model()->RefreshHeaders();
  files_->UpdateStatusLine(true, true,
                           files_->LoadBusy() ? LanguageText(kTextLoadingFiles) : QString());
  if (visible) setGeometry(geometry);
  emit Rebuilt();
}

// ---- The window's shape ----

namespace {

std::vector<QRect> ScreenGeometries(bool available) {
  std::vector<QRect> areas;
  for (const QScreen* screen : QGuiApplication::screens())
    areas.push_back(available ? screen->availableGeometry() : screen->geometry());
  return areas;
}

}  // namespace

void MainWindow::RestoreShape(const QString& file) {
  shapeFile_ = file;
  const QSize smallest = minimumSizeHint().expandedTo(minimumSize());
  const std::optional<WindowShape> shape =
      ReadWindowShape(file, ScreenSetKey(ScreenGeometries(false)));
  if (!shape) {
    const QScreen* screen =
        this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) setGeometry(FirstGeometry(screen->availableGeometry(), smallest));
    return;
  }
  setGeometry(BroughtOnScreen(shape->Geometry, ScreenGeometries(true), smallest));
  if (!shape->Divider.isEmpty() && divider_->restoreState(shape->Divider))
    dividerState_ = shape->Divider;
  files_->RestoreColumns(shape->Columns);
  if (shape->Maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

bool MainWindow::SaveShape() const {
  if (shapeFile_.isEmpty()) return false;
  WindowShape shape;
  const bool maximized = isMaximized();
  shape.Geometry = maximized || isFullScreen() ? normalGeometry() : geometry();
  if (!shape.Geometry.isValid()) shape.Geometry = geometry();
  shape.Maximized = maximized;
  shape.Divider = divider_->saveState();
  shape.Columns = files_->ColumnsState();
  return WriteWindowShape(shapeFile_, ScreenSetKey(ScreenGeometries(false)), shape);
}

// ---- Window events ----

void MainWindow::closeEvent(QCloseEvent* event) {
  emit ClosePopups();
  if (runs_->HoldClose()) {
    event->ignore();
    return;
  }
  if (!runs_->Quitting() && files_->Model()->RowCount() > 0 &&
      !dialogs_.Ask(PlainCaption(kTextQuestion), LanguageText(kTextAskQuit))) {
    event->ignore();
    return;
  }
  files_->StopLoadingAndWait();
  SaveShape();
  event->accept();
}

void MainWindow::moveEvent(QMoveEvent* event) {
  emit ClosePopups();
  QMainWindow::moveEvent(event);
}

void MainWindow::DropOnLoadTarget(const QStringList& paths) {
  emit ClosePopups();
  if (paths.isEmpty() || locked_ || files_->LoadBusy()) return;
  LoadPaths(paths.join(u'\n'));
}

void MainWindow::DropOnTargetField(const QStringList& paths) {
  emit ClosePopups();
  if (paths.isEmpty()) return;
  const QString folder = TargetFolderForDrop(paths.first());
  if (folder.isEmpty()) return;
  QLineEdit* field = pages_->Field(FieldKind::TargetTemplate);
  field->setText(folder);
  field->setCursorPosition(static_cast<int>(folder.size()));
}

void MainWindow::WatchDrops(QWidget* widget) {
  if (widget == nullptr) return;
  widget->setAcceptDrops(true);
  widget->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
    return QMainWindow::eventFilter(watched, event);
  auto* drop = static_cast<QDropEvent*>(event);
  const QStringList paths = LocalPathsFromMime(drop->mimeData());
  if (paths.isEmpty()) {
    // Text dragged within a field is its own business; anything else is refused here.
    if (qobject_cast<QLineEdit*>(watched) != nullptr) return false;
    drop->ignore();
    return true;
  }
  const bool targetField =
      watched == pages_->Field(FieldKind::TargetTemplate) || watched == pages_->BrowseButton();
  if (!targetField && (locked_ || files_->LoadBusy())) {
    drop->ignore();
    return true;
  }
  drop->setDropAction(targetField ? Qt::LinkAction : Qt::CopyAction);
  drop->accept();
  if (type == QEvent::Drop) {
    if (targetField)
      DropOnTargetField(paths);
    else
      DropOnLoadTarget(paths);
  }
  return true;
}
