#include "ui/window/MainWindow.h"

#include "app/AppState.h"
#include "texts/LanguageEntries.h"
#include "texts/ProductTitle.h"
#include "app/Startup.h"
#include "checks/RunChecks.h"
#include "checks/Validation.h"
#include "filelist/Loader.h"
#include "platform/Process.h"
#include "journal/RunJournal.h"
#include "run/ErrorLog.h"
#include "run/ExitCode.h"
#include "run/RunProcedure.h"
#include "journal/Undo.h"
#include "platform/LocalTime.h"
#include "platform/Locations.h"
#include "settings/Locations.h"
#include "settings/PresetsFile.h"
#include "texts/Additions.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"
#include "ui/widgets/CommandButton.h"
#include "ui/list/FileListModel.h"
#include "ui/list/FileListView.h"
#include "ui/list/FileLoader.h"
#include "ui/widgets/FileManager.h"
#include "ui/widgets/FilePaths.h"
#include "ui/widgets/Icons.h"
#include "ui/widgets/Mnemonics.h"
#include "ui/list/NewNamePreview.h"
#include "ui/pages/PageList.h"
#include "ui/placeholders/PlaceholderPopups.h"
#include "ui/run/PropertiesWindow.h"
#include "ui/run/RunController.h"
#include "ui/widgets/UiTexts.h"
#include "ui/run/UndoWindow.h"
#include "ui/run/WindowRun.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSet>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>

namespace {

constexpr int kMinimumWidth = 520;
constexpr int kMinimumHeight = 400;

// The open-file dialog's patterns: caption entry, the short list shown after it, the full list.
struct FilePattern {
  int Entry;
  const char* Shown;
  const char* Patterns;
};
constexpr FilePattern kFilePatterns[] = {
    {175, "*.*", "*.*"},
    {176, "*.doc, *.pdf, *.txt, ...",
     "*.abw *.doc *.docx *.log *.odt *.pdf *.rtf *.txt *.wpd"},
    {177, "*.jpg, *.png, *.gif, ...",
     "*.bmp *.dds *.dib *.gif *.jp2 *.jpeg *.jpg *.jpx *.png *.svg *.tga *.tif *.tiff"},
    {178, "*.mpg, *.avi, *.wmv, ...",
     "*.3g2 *.3gp *.asf *.avi *.divx *.f4v *.flv *.m4v *.mkv *.mov *.mp4 *.mpa *.mpeg *.mpg *.ogv "
     "*.rm *.wmv *.xvid"},
    {179, "*.mp3, *.wma, *.ogg, ...",
     "*.aif *.flac *.ogg *.m4a *.mid *.mp2 *.mp3 *.mpa *.ra *.wav *.wma"},
    {180, "*.exe, *.bat, *.vbs, ...",
     "*.ahk *.bat *.cmd *.com *.exe *.jar *.scr *.vb *.vbs *.wsf"},
    {181, "*.zip, *.rar, *.7z, ...",
     "*.7z *.alz *.arc *.bz *.bz2 *.gz *.rar *.sfx *.sit *.sitx *.tgz *.zip *.zipx"},
    {182, "*.html, *.php, *.css, ...",
     "*.asp *.aspx *.atom *.cer *.csr *.css *.htm *.html *.js *.jsp *.php *.rss *.wml *.xhtm "
     "*.xhtml *.xml"},
    {183, "*.cpp, *.vb, *.pas, ...",
     "*.bas *.bat *.c *.class *.cpp *.cs *.fla *.fs *.fsx *.h *.hpp *.java *.js *.jspf *.lua *.m "
     "*.mm *.ocx *.pas *.pb *.php *.pl *.py *.rb *.sh *.src *.vb *.vbs"},
};

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kError:
      return QMessageBox::Critical;
    case MessageIcon::kWarning:
      return QMessageBox::Warning;
    case MessageIcon::kQuestion:
      return QMessageBox::Question;
    default:
      return QMessageBox::Information;
  }
}

// Keys of the menu bar's menus, which the pages' own keys must not take.
QString MenuBarKeys() {
  QString keys;
  for (const int entry : {2, 8, 33, 35}) {
    const QChar key = MnemonicOf(Caption(entry));
    if (!key.isNull()) keys += key;
  }
  return keys;
}

// The texts of the seven help topics, until the help window shows them in its own way.
QString TopicText(int topic) {
  const auto lines = [](int first, int last, const QString& prefix = QString()) {
    QStringList parts;
    for (int entry = first; entry <= last; ++entry) parts << prefix + LanguageText(entry);
    return parts;
  };
  QStringList text;
  switch (topic) {
    case 1:
      text = lines(265, 268);
      break;
    case 2:
      text << PlainCaption(kTextMenuTestRun) + QStringLiteral(": ") + LanguageText(kTextHelpMenuTestRun)
           << PlainCaption(kTextMenuFileDates) + QStringLiteral(": ") + LanguageText(kTextHelpMenuFileDates)
           << PlainCaption(kTextMenuKeepSources) + QStringLiteral(": ") + LanguageText(kTextHelpMenuKeepSources);
      break;
    case 3:
      text << PageCaption(3) + QStringLiteral(": ") + LanguageText(kTextHelpTipsDateRules)
           << PageCaption(6) + QStringLiteral(": ") + LanguageText(kTextHelpTipsReplaceRules)
           << PlainCaption(kTextNewNameCounterPerFolder) + QStringLiteral(": ") + LanguageText(kTextHelpTipsCounterPerFolder)
           << PlainCaption(kTextNewNameNoLeadingZeros) + QStringLiteral(": ") + LanguageText(kTextHelpTipsNoLeadingZeros)
           << PlainCaption(kTextTargetKeepSubfolders) + QStringLiteral(": ") + LanguageText(kTextHelpTipsKeepSubfolders);
      break;
    case 4:
      text = lines(277, 278, QStringLiteral("- "));
      break;
    case 5: {
      text = lines(279, 282);
      const auto list = [](std::initializer_list<std::pair<const char*, int>> items) {
        QStringList parts;
        for (const auto& [code, entry] : items)
          parts << QString::fromLatin1(code) + QStringLiteral(" (") + LanguageText(entry) + u')';
        return parts.join(QStringLiteral(", "));
      };
      text << LanguageText(kTextHelpPlaceholdersNameGroup) + QStringLiteral(": ") +
                  list({{"%001%", 195}, {"%FN%", 199}, {"%FSK%", 202}, {"%FSM%", 203},
                        {"%DS%", 208}, {"%DI%", 209}, {"%DH%", 210}, {"%DD%", 211},
                        {"%DM%", 212}, {"%DY%", 213}, {"%CC%", 214}, {"%CM%", 215},
                        {"%CS%", 216}});
      text << LanguageText(kTextHelpPlaceholdersFolderGroup) + QStringLiteral(": ") +
                  list({{"%PD%", 217}, {"%PP%", 218}, {"%PC%", 219}, {"%PF%", 220}});
      text << lines(285, 287);
      break;
    }
    case 6:
      text = lines(288, 290) + lines(291, 294, QStringLiteral(" - ")) + lines(295, 296);
      break;
    case 7:
      text = lines(297, 299, QStringLiteral("- "));
      break;
    default:
      break;
  }
  return text.join(u'\n');
}

}  // namespace

WindowDialogs StandardDialogs(QWidget* owner) {
  WindowDialogs dialogs;
  dialogs.Ask = [owner](const QString& title, const QString& text) {
    return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };
  dialogs.Tell = [owner](MessageIcon icon, const QString& title, const QString& text) {
    QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok, owner);
    box.exec();
  };
  dialogs.ChooseFiles = [owner] {
    const QStringList filters = OpenFileFilters();
    // The file URLs keep every byte of a name that is not UTF-8.
    const QList<QUrl> urls = QFileDialog::getOpenFileUrls(
        owner, QString(), QUrl(), filters.join(QStringLiteral(";;")), nullptr,
        QFileDialog::HideNameFilterDetails);
    QStringList paths;
    for (const QUrl& url : urls) {
      const QString path = LocalPathFromUrl(url);
      if (!path.isEmpty()) paths << path;
    }
    return paths;
  };
  dialogs.ChooseFolder = [owner](const QString& title, const QString& start) {
    const QUrl url = QFileDialog::getExistingDirectoryUrl(
        owner, title, start.isEmpty() ? QUrl() : QUrl(FileUrlOfPath(start)));
    return url.isEmpty() ? QString() : LocalPathFromUrl(url);
  };
  dialogs.ShowFile = [](const QString& path) { return ShowInFileManager(path); };
  dialogs.ShowProperties = [owner](const QString& path) { return ShowFileProperties(path, owner); };
  dialogs.AskLater = [](QWidget* parent, const QString& title, const QString& text,
                        std::function<void(bool)> done) {
    auto* box = new QMessageBox(QMessageBox::Question, title, text,
                                QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [box, done = std::move(done)] {
      done(box->standardButton(box->clickedButton()) == QMessageBox::Yes);
    });
    // Modal over its window only, and without a loop of its own: the run goes on meanwhile.
    box->open();
  };
  dialogs.EndProgram = [] { QCoreApplication::exit(kExitOk); };
  dialogs.Fatal = [](const QString& reason) { FatalExit(reason); };
  return dialogs;
}

QStringList OpenFileFilters() {
  QStringList filters;
  for (const FilePattern& pattern : kFilePatterns)
    filters << Caption(pattern.Entry) + QStringLiteral("  (") + QString::fromLatin1(pattern.Shown) +
                   QStringLiteral(") (") + QString::fromLatin1(pattern.Patterns) + u')';
  return filters;
}

MainWindow::MainWindow(AppState& app, QWidget* parent) : QMainWindow(parent), app_(app) {
  dialogs_ = StandardDialogs(this);
  fileModel_ = new FileListModel(app_.Files, this);
  loader_ = new FileLoader(app_.Files, app_.Load, this);
  pageModel_ = new PageListModel(this);
  connect(loader_, &FileLoader::RowsArrived, this,
          [this](const std::vector<const FileEntry*>& entries) {
            fileModel_->AppendRows(entries);
            OnRowsArrived();
          });
  connect(loader_, &FileLoader::Finished, this, [this] { OnLoadFinished(); });
  NewNamePreview::Sources sources;
  sources.Settings = [this] {
    Preset settings = app_.WorkingSettings;
    if (pages_ != nullptr) pages_->Store(settings);
    settings.SelectedPage = 0;  // which page shows changes no name
    return settings;
  };
  sources.Folders = [this] { return Folders(); };
  sources.DateFieldValue = [this] { return pages_ != nullptr ? pages_->DatePickerValue() : 0; };
  sources.ListFree = [this] { return !LoadBusy() && !RunBusy(); };
  sources.Ask = [this](const QString& title, const QString& text) { return dialogs_.Ask(title, text); };
  newNames_ = new NewNamePreview(
      app_.Files, std::move(sources),
      [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
      },
      this);
  connect(newNames_, &NewNamePreview::PlanChanged, this, [this] { OnNewNamesPlanned(); });
  connect(newNames_, &NewNamePreview::ProgressChanged, this, [this] {
    if (!LoadBusy() && !RunBusy()) UpdateStatusLine(false, false, QString());
  });
  // A run takes the list when the rows go; the list is the window's again when they come back.
  connect(fileModel_, &FileListModel::Detaching, newNames_,
          [this] { newNames_->ReleaseList(NewNamePreview::Change::Replace); });
  connect(fileModel_, &FileListModel::Reloaded, newNames_, &NewNamePreview::ListChanged);
  connect(loader_, &FileLoader::Finished, newNames_, &NewNamePreview::ListChanged);
  run_ = new WindowRun(app_, this);
  connect(run_, &WindowRun::Finished, this,
          [this](const RunResult& result) { OnTestRunFinished(result); });
  controller_ = new RunController(app_, this);
  connect(controller_, &RunController::Finished, this,
          [this](const RunResult& result) { OnBatchRunFinished(result); });
  undo_ = new UndoRun(this);
  connect(undo_, &UndoRun::Finished, this,
          [this](const UndoSummary& summary) { OnUndoFinished(summary); });

  setWindowTitle(ProductTitle(false, true, false));
  setWindowIcon(StoreIcon(kImageProgram));
  Build();
  fileModel_->Reload();
  FillPages();
  UpdateStatusLine(true, true, QString());
  resize(sizeHint().expandedTo(QSize(kMinimumWidth, kMinimumHeight)));
}

void MainWindow::SetDialogs(WindowDialogs dialogs) {
  const auto take = [](auto& mine, auto& given) {
    if (given) mine = std::move(given);
  };
  take(dialogs_.Ask, dialogs.Ask);
  take(dialogs_.Tell, dialogs.Tell);
  take(dialogs_.ChooseFiles, dialogs.ChooseFiles);
  take(dialogs_.ChooseFolder, dialogs.ChooseFolder);
  take(dialogs_.ShowFile, dialogs.ShowFile);
  take(dialogs_.ShowProperties, dialogs.ShowProperties);
  take(dialogs_.AskLater, dialogs.AskLater);
  take(dialogs_.EndProgram, dialogs.EndProgram);
  take(dialogs_.Fatal, dialogs.Fatal);
}

MainWindow::~MainWindow() {
  // The worker must not append to the list after the window is gone.
  loader_->StopAndWait();
}

// ---- Building ----

void MainWindow::Build() {
  const Preset& settings = app_.WorkingSettings;
  pages_ = new OptionPages(settings.TemplateButtons != 0, settings.PatternButtons != 0,
                           [] { return NowAsLocalDate(); }, this);

  auto* central = new QWidget;
  auto* layout = new QHBoxLayout(central);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(10);

  pageView_ = new PageListView;
  pageView_->setModel(pageModel_);
  pageView_->setAccessibleName(AdditionText(kAddPageList));
  layout->addWidget(pageView_, 0);

  auto* right = new QVBoxLayout;
  right->setSpacing(8);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(8);
  const std::array<std::pair<int, int>, 3> commands = {
      {{kImageAddFiles, 5}, {kImageAddFolder, 6}, {kImageStart, 3}}};
  for (size_t i = 0; i < commands.size(); ++i) {
    commandButtons_[i] = new CommandButton(StoreIcon(commands[i].first),
                                           PlainCaption(commands[i].second));
    buttons->addWidget(commandButtons_[i], 1);
  }
  right->addLayout(buttons);

  auto* frame = new QGroupBox;
  frame->setFlat(false);
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->setContentsMargins(10, 10, 10, 10);
  pageStack_ = new QStackedWidget;
  pageStack_->addWidget(BuildFilesPage());
  const QString menuKeys = MenuBarKeys();
  for (int page = 1; page < kPageCount; ++page) {
    QWidget* widget = pages_->Page(page);
    AssignMnemonics(widget, menuKeys);
    pageStack_->addWidget(widget);
  }
  AssignMnemonics(pageStack_->widget(0), menuKeys);
  frameLayout->addWidget(pageStack_);
  right->addWidget(frame, 1);
  layout->addLayout(right, 1);

  setCentralWidget(central);
  // The smallest window is 520 x 400, or what the desktop's font needs so that no caption of any
  // page is cut off, whichever is larger.
  central->setMinimumSize(layout->minimumSize().expandedTo(QSize(kMinimumWidth, kMinimumHeight)));
  BuildMenus();

  connect(commandButtons_[0], &QPushButton::clicked, this, [this] {
    emit ClosePopups();
    AddFilesCommand();
  });
  connect(commandButtons_[1], &QPushButton::clicked, this, [this] {
    emit ClosePopups();
    AddFolderCommand();
  });
  connect(commandButtons_[2], &QPushButton::clicked, this, [this] {
    emit ClosePopups();
    StartCommand();
  });
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
  // Every edit of a page or a menu option may change the new names.
  for (int page = 1; page < kPageCount; ++page)
    WatchEdits(pages_->Page(page), newNames_, [this] { newNames_->SettingsEdited(); });
  for (QAction* action : menuBar()->findChildren<QAction*>())
    connect(action, &QAction::triggered, newNames_, &NewNamePreview::SettingsEdited);
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
      Tell(MessageIcon::kWarning, 363, AdditionText(kAddInvalidNameCharacters));
  });

  // The pop-ups that help with templates and patterns serve this build's fields.
  popups_ = new PlaceholderPopups(this, settings.TemplateButtons != 0);
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

  for (QWidget* target : {static_cast<QWidget*>(commandButtons_[0]),
                          static_cast<QWidget*>(commandButtons_[1]), fileView_->viewport(),
                          static_cast<QWidget*>(pages_->Field(FieldKind::TargetTemplate)),
                          static_cast<QWidget*>(pages_->BrowseButton())})
    WatchDrops(target);
  SetCommandsLocked(locked_);
}

QWidget* MainWindow::BuildFilesPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("page0"));
  QVBoxLayout* layout = MakePageLayout(page, kPageFiles);
  statusLine_ = new QLabel;
  statusLine_->setTextFormat(Qt::PlainText);
  // A long line is cut rather than widening the window.
  statusLine_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  problemsButton_ = new QToolButton;
  problemsButton_->setCheckable(true);
  problemsButton_->setAutoRaise(true);
  problemsButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  problemsButton_->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
  problemsButton_->setIconSize(QSize(16, 16));
  problemsButton_->setText(AdditionText(kAddOnlyProblems));
  problemsButton_->setToolTip(AdditionText(kAddOnlyProblemsTip));
  problemsButton_->setChecked(fileModel_->OnlyProblems());
  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(statusLine_, 1);
  statusRow->addWidget(problemsButton_);
  layout->addLayout(statusRow);
  fileView_ = new FileListView;
  fileView_->setModel(fileModel_);
  fileView_->SetColumnWidths({25, 145, 125, 150, 50, 145});
  // The extension column is no longer the last one: wide enough for its caption.
  fileView_->setColumnWidth(FileListModel::kExtensionColumn,
                            std::max(fileView_->columnWidth(FileListModel::kExtensionColumn),
                                     fileView_->horizontalHeader()->sectionSizeHint(FileListModel::kExtensionColumn)));
  fileView_->setAccessibleName(PlainCaption(kTextPageLoadedFiles));
  layout->addWidget(fileView_, 1);
  removeButton_ = new QPushButton(Caption(kTextListRemoveSelected));
  clearButton_ = new QPushButton(Caption(kTextListClear));
  auto* row = new QHBoxLayout;
  row->addWidget(removeButton_, 1);
  row->addSpacing(12);
  row->addWidget(clearButton_, 1);
  layout->addLayout(row);

  connect(fileView_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (LoadBusy()) return;
    UpdateFileButtons();
    UpdateStatusLine(false, true, QString());
  });
  connect(problemsButton_, &QToolButton::toggled, this, [this](bool on) {
    fileModel_->SetOnlyProblems(on);
    UpdateFileButtons();
    if (!LoadBusy() && !RunBusy()) UpdateStatusLine(false, true, QString());
    ShowEntriesOnScreen();
  });
  connect(fileView_, &FileListView::RowsOnScreenChanged, this, [this] { ShowEntriesOnScreen(); });
  connect(fileView_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
    const FileEntry* entry = fileModel_->EntryAt(index.row());
    if (entry != nullptr && !dialogs_.ShowFile(entry->Path))
      Tell(MessageIcon::kWarning, 363, LanguageText(kTextNoFileManager));
  });
  connect(removeButton_, &QPushButton::clicked, this, [this] {
    emit ClosePopups();
    RemoveSelectedFiles();
  });
  connect(clearButton_, &QPushButton::clicked, this, [this] {
    emit ClosePopups();
    ClearFileList();
  });
  return page;
}

QAction* MainWindow::NewAction(MenuCommand command, const QString& text,
                               const std::function<void()>& run) {
  auto* action = new QAction(text, menuBar());
  connect(action, &QAction::triggered, this, [this, run] {
    emit ClosePopups();
    run();
  });
  actions_[static_cast<size_t>(command)] = action;
  return action;
}

void MainWindow::BuildMenus() {
  // A new menu bar owns every action of this build; the old one goes with its actions.
  auto* bar = new QMenuBar;
  setMenuBar(bar);
  actions_.fill(nullptr);
  presetActions_.fill(nullptr);
  using M = MenuCommand;
  const auto tab = [](int entry, const QString& key) {
    return Caption(entry) + u'\t' + key;
  };

  QMenu* file = bar->addMenu(Caption(kTextMenuFile));
  menus_[0] = file;
  file->addAction(NewAction(M::Start, Caption(kTextMenuStart), [this] { StartCommand(); }));
  file->addSeparator();
  QAction* testRun = NewAction(M::TestRun, tab(4, CtrlKeyText(QStringLiteral("D"))),
                               [this] { TestRunCommand(); });
  testRun->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
  file->addAction(testRun);
  file->addAction(NewAction(M::UndoLastRun, AdditionText(kAddUndoMenuItem) + QStringLiteral("..."),
                            [this] { UndoLastRunCommand(); }));
  QAction* addFiles = NewAction(
      M::AddFiles, Caption(kTextMenuAddFiles) + QStringLiteral("...\t") + CtrlKeyText(QStringLiteral("L")),
      [this] { AddFilesCommand(); });
  addFiles->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  file->addAction(addFiles);
  file->addAction(NewAction(M::AddFolder, Caption(kTextMenuAddFolder) + QStringLiteral("..."),
                            [this] { AddFolderCommand(); }));
  file->addSeparator();
  file->addAction(NewAction(M::Exit, Caption(kTextMenuExit), [this] { close(); }));

  Preset& s = app_.WorkingSettings;
  QMenu* settings = bar->addMenu(Caption(kTextMenuSettings));
  menus_[1] = settings;
  QAction* save = NewAction(M::SavePreset, tab(30, CtrlKeyText(QStringLiteral("S"))),
                            [this] { SavePreset(); });
  save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  settings->addAction(save);
  settings->addAction(NewAction(M::SaveAsNewPreset, Caption(kTextMenuSaveAsNewPreset) + QStringLiteral("..."), [this] {
    if (presetDialog_) presetDialog_(1);
  }));
  const auto check = [this](M command, int entry, int8_t* field, bool rebuild) {
    QAction* action = NewAction(command, Caption(entry), [this, field, rebuild] {
      ToggleOption(*field, rebuild);
    });
    action->setCheckable(true);
    return action;
  };
  QMenu* window = settings->addMenu(Caption(kTextMenuWindow));
  window->addAction(check(M::TemplateButtons, 10, &s.TemplateButtons, true));
  window->addAction(check(M::PatternButtons, 11, &s.PatternButtons, true));
  window->addSeparator();
  QAction* onTop = NewAction(M::AlwaysOnTop, Caption(kTextMenuAlwaysOnTop), [this] {
    app_.WorkingSettings.AlwaysOnTop = app_.WorkingSettings.AlwaysOnTop != 0 ? 0 : 1;
    ApplyAlwaysOnTop();
    UpdateMenuChecks();
  });
  onTop->setCheckable(true);
  window->addAction(onTop);
  QMenu* loading = settings->addMenu(Caption(kTextMenuLoading));
  loading->addAction(check(M::IncludeSubdirectories, 14, &s.IncludeSubdirectories, false));
  loading->addAction(check(M::IncludeHidden, 15, &s.IncludeHidden, false));
  QMenu* dates = settings->addMenu(Caption(kTextMenuFileDates));
  const auto dateChoice = [this, dates](int entry, std::array<M, 3> commands, int8_t* field) {
    QMenu* sub = dates->addMenu(Caption(entry));
    auto* group = new QActionGroup(sub);
    const std::array<int, 3> captions = {207, 206, 205};
    for (int value = 0; value < 3; ++value) {
      QAction* action = NewAction(commands[static_cast<size_t>(value)],
                                  u'&' + Caption(captions[static_cast<size_t>(value)]),
                                  [this, field, value] {
                                    *field = static_cast<int8_t>(value);
                                    UpdateMenuChecks();
                                  });
      action->setCheckable(true);
      group->addAction(action);
      sub->addAction(action);
    }
  };
  dateChoice(17, {M::FilterDateLastAccess, M::FilterDateModified, M::FilterDateCreated},
             &s.FilterDateSource);
  dateChoice(18,
             {M::PlaceholderDateLastAccess, M::PlaceholderDateModified,
              M::PlaceholderDateCreated},
             &s.DatePlaceholderSource);
  QMenu* after = settings->addMenu(Caption(kTextMenuAfterProcessing));
  after->addAction(check(M::KeepFiltered, 20, &s.ListKeepFiltered, false));
  after->addAction(check(M::KeepSources, 21, &s.ListKeepSources, false));
  after->addAction(check(M::KeepFailed, 22, &s.ListKeepFailed, false));
  after->addAction(check(M::KeepTargets, 23, &s.ListKeepTargets, false));
  after->addAction(check(M::KeepUnprocessed, 24, &s.ListKeepUnprocessed, false));
  after->addSeparator();
  after->addAction(check(M::QuitAfterRun, 25, &s.QuitAfterRun, false));
  settings->addSeparator();
  QMenu* language = settings->addMenu(Caption(kTextMenuLanguage));
  language->addAction(NewAction(M::LanguageAutomatic, Caption(kTextMenuLanguageAutomatic), [this] { ChangeLanguage(-1); }));
  language->addSeparator();
  auto* languages = new QActionGroup(language);
  for (const auto& [command, entry, native, index] :
       {std::tuple{M::LanguageGerman, 28, "  (Deutsch)", kLanguageGerman},
        std::tuple{M::LanguageEnglish, 29, "  (English)", kLanguageEnglish}}) {
    QAction* action = NewAction(command, Caption(entry) + QString::fromLatin1(native),
                                [this, index = index] { ChangeLanguage(index); });
    action->setCheckable(true);
    languages->addAction(action);
    language->addAction(action);
  }

  presetMenu_ = bar->addMenu(Caption(kTextMenuPresets));
  menus_[2] = presetMenu_;
  NewAction(M::ManagePresets, Caption(kTextMenuManagePresets), [this] {
    if (presetDialog_) presetDialog_(0);
  });
  BuildPresetItems();

  QMenu* help = bar->addMenu(Caption(kTextMenuHelp));
  menus_[3] = help;
  QAction* helpAction = NewAction(M::Help, tab(36, QStringLiteral("F1")), [this] {
    if (helpWindow_) helpWindow_(0);
  });
  helpAction->setShortcut(QKeySequence(Qt::Key_F1));
  help->addAction(helpAction);
  QMenu* topics = help->addMenu(Caption(kTextMenuTopics));
  for (int topic = 1; topic <= 7; ++topic) {
    const auto command = static_cast<M>(static_cast<int>(M::Topic1) + topic - 1);
    topics->addAction(NewAction(command, Caption(37 + topic), [this, topic] { ShowTopic(topic); }));
  }
  help->addSeparator();
  help->addAction(NewAction(M::Information, Caption(kTextMenuInformation) + QStringLiteral("..."), [this] {
    Tell(MessageIcon::kInformation, 359, LanguageText(kTextSettingsLocation));
  }));
  help->addSeparator();
  help->addAction(NewAction(M::About, Caption(kTextMenuAbout), [this] {
    if (aboutWindow_) aboutWindow_();
  }));

  // Shortcuts of their own, without a menu item.
  QAction* selectAll = NewAction(M::SelectAll, QString(), [this] {
    if (!locked_ && fileView_->hasFocus()) fileView_->selectAll();
  });
  selectAll->setShortcut(QKeySequence::SelectAll);
  selectAll->setShortcutContext(Qt::WidgetShortcut);
  fileView_->addAction(selectAll);
  QAction* nextPage = NewAction(M::NextPage, QString(), [this] {
    ShowPage((ShownPage() + 1) % kPageCount);
    pageView_->setFocus();
  });
  nextPage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab));
  QAction* stop = NewAction(M::StopLoading, QString(), [this] { StopLoading(); });
  stop->setShortcut(QKeySequence(Qt::Key_Escape));
  for (QAction* action : {nextPage, stop}) {
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
  }

  Action(M::Help)->setEnabled(static_cast<bool>(helpWindow_));
  Action(M::About)->setEnabled(static_cast<bool>(aboutWindow_));
  UpdateMenuChecks();
}

void MainWindow::BuildPresetItems() {
  presetMenu_->clear();
  presetActions_.fill(nullptr);
  const qsizetype count = std::min<qsizetype>(app_.PresetList.size(), kMaxPresetShortcuts);
  for (int position = 0; position < count; ++position) {
    const QString number = QString::number(position);
    auto* action = new QAction(
        app_.PresetList[position].PresetName + u'\t' + CtrlKeyText(number), menuBar());
    action->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_0 + position)));
    connect(action, &QAction::triggered, this, [this, position] {
      emit ClosePopups();
      ActivatePresetAt(position);
    });
    presetMenu_->addAction(action);
    presetActions_[static_cast<size_t>(position)] = action;
  }
  presetMenu_->addSeparator();
  QAction* manage = Action(MenuCommand::ManagePresets);
  presetMenu_->addAction(manage);
  manage->setEnabled(static_cast<bool>(presetDialog_));
  if (QAction* save = Action(MenuCommand::SavePreset))
    save->setEnabled(app_.DefaultPresetIndex > 0 &&
                     app_.DefaultPresetIndex < app_.PresetList.size());
  if (QAction* saveAsNew = Action(MenuCommand::SaveAsNewPreset))
    saveAsNew->setEnabled(presetDialog_ && app_.PresetList.size() - 1 < 9);
  SetCommandsLocked(locked_);
}

void MainWindow::UpdateMenuChecks() {
  const Preset& s = app_.WorkingSettings;
  using M = MenuCommand;
  const auto set = [this](M command, bool on) {
    if (QAction* action = Action(command)) action->setChecked(on);
  };
  set(M::TemplateButtons, s.TemplateButtons != 0);
  set(M::PatternButtons, s.PatternButtons != 0);
  set(M::AlwaysOnTop, s.AlwaysOnTop != 0);
  set(M::IncludeSubdirectories, s.IncludeSubdirectories != 0);
  set(M::IncludeHidden, s.IncludeHidden != 0);
  set(M::FilterDateLastAccess, s.FilterDateSource == 0);
  set(M::FilterDateModified, s.FilterDateSource == 1);
  set(M::FilterDateCreated, s.FilterDateSource == 2);
  set(M::PlaceholderDateLastAccess, s.DatePlaceholderSource == 0);
  set(M::PlaceholderDateModified, s.DatePlaceholderSource == 1);
  set(M::PlaceholderDateCreated, s.DatePlaceholderSource == 2);
  set(M::KeepFiltered, s.ListKeepFiltered != 0);
  set(M::KeepSources, s.ListKeepSources != 0);
  set(M::KeepFailed, s.ListKeepFailed != 0);
  set(M::KeepTargets, s.ListKeepTargets != 0);
  set(M::KeepUnprocessed, s.ListKeepUnprocessed != 0);
  set(M::QuitAfterRun, s.QuitAfterRun != 0);
  set(M::LanguageGerman, app_.LanguageIndex == kLanguageGerman);
  set(M::LanguageEnglish, app_.LanguageIndex == kLanguageEnglish);
}

// ---- For the components that attach ----

QAction* MainWindow::Action(MenuCommand command) const {
  return actions_[static_cast<size_t>(command)];
}

QAction* MainWindow::PresetAction(int position) const {
  return position >= 0 && position < kMaxPresetShortcuts
             ? presetActions_[static_cast<size_t>(position)]
             : nullptr;
}

QLineEdit* MainWindow::Field(FieldKind kind) const {
  return pages_->Field(kind);
}

QToolButton* MainWindow::ListButton(FieldKind kind) const {
  return pages_->ListButton(kind);
}

void MainWindow::AttachHelpWindow(std::function<void(int topic)> show) {
  helpWindow_ = std::move(show);
  Action(MenuCommand::Help)->setEnabled(static_cast<bool>(helpWindow_));
}

void MainWindow::AttachAboutWindow(std::function<void()> show) {
  aboutWindow_ = std::move(show);
  Action(MenuCommand::About)->setEnabled(static_cast<bool>(aboutWindow_));
}

void MainWindow::AttachPresetDialog(std::function<void(int mode)> show) {
  presetDialog_ = std::move(show);
  BuildPresetItems();
}

void MainWindow::AttachRunStarter(std::function<void()> start) {
  runStarter_ = std::move(start);
}

void MainWindow::PresetsChanged() {
  BuildPresetItems();
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
  UpdateMenuChecks();
  UpdatePageList();
  ApplyAlwaysOnTop();
}

void MainWindow::UpdatePageList() {
  pageModel_->SetSwitches(pages_->Switches());
}

// ---- Loading and the file list ----

bool MainWindow::LoadBusy() const {
  return loader_->Busy() || app_.Load.LoadBusy.load(std::memory_order_relaxed) != 0;
}

bool MainWindow::LoadPaths(const QString& paths) {
  if (LoadBusy() || RunBusy()) return false;
  newNames_->ReleaseList(NewNamePreview::Change::Append);
  if (!loader_->Start(paths, app_.WorkingSettings)) return false;
  UpdateStatusLine(false, false, LanguageText(kTextLoadingFiles));
  SetCommandsLocked(true);
  return true;
}

void MainWindow::StopLoading() {
  if (RunBusy()) {
    AskToCancelRun(357);
    return;
  }
  loader_->Stop();
}

void MainWindow::WaitForLoad() {
  // The rows reach the list through the event loop, so it keeps running meanwhile.
  while (LoadBusy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void MainWindow::OnRowsArrived() {
  UpdateFileButtons();
}

void MainWindow::OnLoadFinished() {
  SetCommandsLocked(false);
  if (!fileView_->HasSelection() && fileModel_->RowCount() > 0) {
    fileView_->selectionModel()->setCurrentIndex(
        fileModel_->index(0, FileListModel::kDirectoryColumn),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  UpdateFileButtons();
  UpdateStatusLine(true, true, QString());
  emit LoadFinished();
}

void MainWindow::OnNewNamesPlanned() {
  const std::shared_ptr<const NewNamePlan> plan = newNames_->Plan();
  fileModel_->SetPlan(plan);
  fileView_->setColumnHidden(FileListModel::kNewFolderColumn,
                             !plan || plan->Settings().TargetDirActive == 0);
  if (!LoadBusy() && !RunBusy()) UpdateStatusLine(false, true, QString());
  ShowEntriesOnScreen();
}

void MainWindow::ShowEntriesOnScreen() {
  const auto [first, last] = fileView_->RowsOnScreen();
  std::vector<const FileEntry*> entries;
  for (int row = first; row <= last; ++row)
    if (const FileEntry* entry = fileModel_->EntryAt(row)) entries.push_back(entry);
  newNames_->ShowEntries(entries);
}

void MainWindow::UpdateFileButtons() {
  removeButton_->setEnabled(!locked_ && fileView_->HasSelection());
  clearButton_->setEnabled(!locked_ && fileModel_->RowCount() > 0);
}

QString MainWindow::StatusText() const {
  return statusText_;
}

void MainWindow::UpdateStatusLine(bool recountAll, bool recountSelected, const QString& text) {
  // Counted from the rows: they name exactly the entries of the list, and reading them needs
  // no look-up by id.
  if (recountAll) figures_.CountText = FigureText(fileModel_->RowCount(), fileModel_->TotalSize());
  if (recountSelected) {
    qsizetype count = 0;
    int64_t total = 0;
    ForEachSelectedRow([&](int row) {
      if (const FileEntry* entry = fileModel_->EntryAt(row)) {
        ++count;
        total += entry->Size;
      }
    });
    figures_.SelectedText = FigureText(count, total);
  }
  statusText_ = !text.isEmpty() ? text
                                : LanguageText(kTextListFiles) + QStringLiteral(": ") + figures_.CountText +
                                      QStringLiteral("   ") + LanguageText(kTextListSelected) +
                                      QStringLiteral(": ") + figures_.SelectedText;
  if (text.isEmpty()) {
    const QString names = newNames_->StatusText();
    if (!names.isEmpty()) statusText_ += QStringLiteral("   ") + names;
  }
  statusLine_->setText(statusText_);
  statusLine_->setToolTip(statusText_);
}

void MainWindow::ForEachSelectedRow(const std::function<void(int row)>& visit) const {
  if (fileView_ == nullptr || fileView_->selectionModel() == nullptr) return;
  const QItemSelection selection = fileView_->selectionModel()->selection();
  if (selection.size() == 1) {
    // Ctrl+A and one dragged range: no row can come twice.
    for (int row = selection.first().top(); row <= selection.first().bottom(); ++row) visit(row);
    return;
  }
  // Ranges may overlap; every row counts once.
  std::vector<bool> seen(static_cast<size_t>(fileModel_->RowCount()), false);
  for (const QItemSelectionRange& range : selection) {
    for (int row = range.top(); row <= range.bottom(); ++row) {
      if (row < 0 || static_cast<size_t>(row) >= seen.size() || seen[static_cast<size_t>(row)])
        continue;
      seen[static_cast<size_t>(row)] = true;
      visit(row);
    }
  }
}

void MainWindow::RemoveSelectedFiles() {
  if (locked_ || LoadBusy()) return;
  qsizetype selected = 0;
  ForEachSelectedRow([&](int) { ++selected; });
  if (selected == 0) return;
  newNames_->ReleaseList(NewNamePreview::Change::Replace);
  if (selected == fileModel_->RowCount()) {
    // Every entry (Ctrl+A): one sweep instead of a look-up per entry.
    app_.Files.Clear();
  } else {
    QSet<int32_t> ids;
    ids.reserve(selected);
    ForEachSelectedRow([&](int row) {
      if (const FileEntry* entry = fileModel_->EntryAt(row)) ids.insert(entry->Id);
    });
    app_.Files.RemoveByIds(ids);
  }
  fileModel_->Reload();
  UpdateFileButtons();
  UpdateStatusLine(true, true, QString());
}

void MainWindow::ClearFileList() {
  if (locked_ || LoadBusy() || app_.Files.IsEmpty()) return;
  if (!dialogs_.Ask(PlainCaption(kTextQuestion), LanguageText(kTextAskClearList))) return;
  newNames_->ReleaseList(NewNamePreview::Change::Replace);
  app_.Files.Clear();
  fileModel_->Reload();
  UpdateFileButtons();
  UpdateStatusLine(true, true, QString());
}

void MainWindow::AddFilesCommand() {
  if (locked_ || LoadBusy()) return;
  const QStringList paths = dialogs_.ChooseFiles();
  if (!paths.isEmpty()) LoadPaths(paths.join(u'\n'));
}

void MainWindow::AddFolderCommand() {
  if (locked_ || LoadBusy()) return;
  const QString folder = dialogs_.ChooseFolder(PlainCaption(kTextChooseFolderToLoad), QString());
  if (!folder.isEmpty()) LoadPaths(folder);
}

void MainWindow::DropOnLoadTarget(const QStringList& paths) {
  emit ClosePopups();
  if (paths.isEmpty() || locked_ || LoadBusy()) return;
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

// ---- Commands ----

void MainWindow::SetCommandsLocked(bool locked) {
  locked_ = locked;
  for (int i = 0; i < 3; ++i)
    if (menus_[static_cast<size_t>(i)] != nullptr)
      menus_[static_cast<size_t>(i)]->menuAction()->setEnabled(!locked);
  for (CommandButton* button : commandButtons_)
    if (button != nullptr) button->setEnabled(!locked);
  using M = MenuCommand;
  for (const M command : {M::TestRun, M::UndoLastRun, M::AddFiles, M::SelectAll})
    if (QAction* action = Action(command)) action->setEnabled(!locked);
  for (QAction* action : presetActions_)
    if (action != nullptr) action->setEnabled(!locked);
  if (fileView_ != nullptr) fileView_->SetLocked(locked);
  if (removeButton_ != nullptr) UpdateFileButtons();
  if (menuBar() != nullptr) menuBar()->update();
}

void MainWindow::ActivatePresetAt(int position) {
  // A key for a preset that does not exist does nothing: it must not throw away the settings
  // on the pages for the defaults.
  if (locked_ || position < 0 || position >= app_.PresetList.size()) return;
  const int8_t templateButtons = app_.WorkingSettings.TemplateButtons;
  const int8_t patternButtons = app_.WorkingSettings.PatternButtons;
  const int32_t activated = ActivatePreset(position, app_.PresetList, app_.WorkingSettings);
  if (activated == kActivateFailed) FatalExit(QStringLiteral("Couldn't initialize program."));
  app_.ActivePresetIndex = activated;
  if (app_.WorkingSettings.TemplateButtons != templateButtons ||
      app_.WorkingSettings.PatternButtons != patternButtons) {
    // The pages are built anew from the activated settings, which must not be overwritten.
    if (!rebuildPending_) {
      rebuildPending_ = true;
      QTimer::singleShot(0, this, [this] { DoRebuild(); });
    }
    return;
  }
  FillPages();
}

void MainWindow::SavePreset() {
  const int32_t position = app_.DefaultPresetIndex;
  if (position <= 0 || position >= app_.PresetList.size()) return;
  StorePages();
  StorePreset(position, app_.PresetList, app_.WorkingSettings);
  // A save that did not reach the disk is said, so the user does not rely on it.
  if (!::SavePresets(app_.PresetsFile, app_.PresetList, app_.DefaultPresetIndex))
    Tell(MessageIcon::kWarning, 363, LanguageText(kTextSettingsNotSaved));
}

PathFolders MainWindow::Folders() const {
  PathFolders folders;
  folders.Desktop = app_.DesktopFolder;
  folders.Documents = DocumentsFolder();
  folders.Program = app_.ProgramFolder;
  return folders;
}

bool MainWindow::RunBusy() const {
  return run_->Busy() || controller_->Busy() || undo_->Busy() || app_.Run.RunActive.load() != 0 ||
         app_.Run.RunSingle.load() != 0;
}

void MainWindow::RequestQuit() {
  quitWhenRunEnds_ = true;
  if (controller_->Busy()) {
    controller_->RequestQuit();
    return;
  }
  if (undo_->Busy()) {
    // The undo stops after the file in hand and its end closes the window; the rest can be
    // taken back later.
    undo_->Stop();
    return;
  }
  app_.Run.RunCancelled.store(1);
  if (run_->Busy()) return;  // the test run's end closes the window
  loader_->StopAndWait();
  dialogs_.EndProgram();
}

void MainWindow::SetRunTimings(const RunTimings& timings) {
  controller_->SetTimings(timings);
}

void MainWindow::StartCommand() {
  if (locked_ || LoadBusy() || RunBusy()) return;
  StorePages();
  const RunValues values = PrepareRunValues(app_.WorkingSettings, app_.Files.Count(), Folders(),
                                            pages_->DatePickerValue());
  const WindowCheckResult check = CheckBeforeWindowRun(false, app_.Files, app_.WorkingSettings,
                                                       values, app_.Options.IgnoreWarnings);
  switch (check.Result) {
    case WindowCheckResult::RefusedSilently:
      return;
    case WindowCheckResult::Refused:
      Tell(check.Message.Icon, check.Message.TitleEntry, check.Message.Text);
      return;
    case WindowCheckResult::Ask:
      if (!dialogs_.Ask(PlainCaption(check.Message.TitleEntry), check.Message.Text)) return;
      break;
    case WindowCheckResult::Start:
      break;
  }
  if (!newNames_->ConfirmStart(app_.Options.IgnoreWarnings)) return;
  if (runStarter_) {
    runStarter_();
    return;
  }
  StartBatchRun();
}

std::unique_ptr<RunJournal> MainWindow::OpenRunJournal(const Preset& settings) {
  RunJournalInfo info;
  const Preset& active = app_.PresetList.value(app_.ActivePresetIndex, app_.WorkingSettings);
  info.PresetNumber = active.PresetNumber;
  info.PresetName = active.PresetName;
  info.FrontEnd = JournalFrontEnd::Window;
  info.ListCount = static_cast<uint32_t>(app_.Files.Count());
  if (settings.NameTemplateActive)
    info.Values.append({QStringLiteral("NameTemplate"), settings.NameTemplate});
  if (settings.TargetDirActive) {
    info.Values.append({QStringLiteral("TargetDirectory"), settings.TargetDirTemplate});
    info.Values.append({QStringLiteral("TargetMove"), QString::number(settings.TargetMove)});
  }
  auto journal = std::make_unique<RunJournal>(app_.JournalFolder, info, &app_.Run.RunCancelled);
  if (const int err = journal->Open(); err != 0) {
    dialogs_.Tell(MessageIcon::kError, AdditionText(kAddUndoTitle),
                  AdditionText(kAddJournalCannotOpen).arg(app_.JournalFolder, journal->OpenErrorText()));
    return nullptr;
  }
  return journal;
}

void MainWindow::StartBatchRun() {
  // A run of the list records its changes for undo first; one whose journal cannot be written
  // does not start, and the window stays as it is.
  std::unique_ptr<RunJournal> journal = OpenRunJournal(app_.WorkingSettings);
  if (!journal) return;
  emit ClosePopups();
  RunControllerHooks hooks;
  hooks.Ask = [this](QWidget* parent, const QString& title, const QString& text,
                     std::function<void(bool)> done) {
    dialogs_.AskLater(parent, title, text, std::move(done));
  };
  hooks.ShowFile = [this](const QString& path) { return dialogs_.ShowFile(path); };
  hooks.EndProgram = [this] {
    quitWhenRunEnds_ = true;
    dialogs_.EndProgram();
  };
  hooks.Fatal = [this](const QString& reason) { dialogs_.Fatal(reason); };
  hooks.JournalFailed = [this](const QString& path, int error) {
    dialogs_.Tell(MessageIcon::kError, AdditionText(kAddUndoTitle),
                  AdditionText(kAddJournalWriteFailed).arg(path, SystemErrorText(error)));
  };
  controller_->SetHooks(std::move(hooks));
  // From here until the run ends the lists are the run's: the view shows no rows, and the
  // window steps aside for the progress window.
  shownBeforeRun_ = isVisible();
  stateBeforeRun_ = windowState();
  fileModel_->Detach();
  SetCommandsLocked(true);
  hide();
  if (!controller_->Start(app_.WorkingSettings, Folders(), pages_->DatePickerValue(), this,
                         std::move(journal))) {
    // Only when the fatal message let the program live on (a test).
    fileModel_->Reload();
    SetCommandsLocked(false);
    ShowAfterRun();
  }
}

void MainWindow::OnBatchRunFinished(const RunResult& result) {
  (void)result;
  const Preset& settings = controller_->Settings();
  // The list holds what the options keep after a run, in the run's order.
  controller_->DiscardLater(std::move(app_.Files));
  const bool keep = settings.ListKeepFiltered != 0 || settings.ListKeepSources != 0 ||
                    settings.ListKeepFailed != 0 || settings.ListKeepTargets != 0 ||
                    settings.ListKeepUnprocessed != 0;
  if (keep) app_.Files = std::move(app_.FollowUp);
  app_.FollowUp.Clear();
  fileModel_->Reload();
  SetCommandsLocked(false);
  if (!fileView_->HasSelection() && fileModel_->RowCount() > 0)
    fileView_->selectionModel()->setCurrentIndex(
        fileModel_->index(0, FileListModel::kDirectoryColumn),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  UpdateFileButtons();
  UpdateStatusLine(true, true, QString());
  ShowAfterRun();
  emit RunFinished();
}

void MainWindow::ShowAfterRun() {
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

void MainWindow::TestRunCommand() {
  if (locked_ || LoadBusy() || RunBusy()) return;
  // The selected row under the cursor, else the first selected row.
  const QModelIndex current = fileView_->currentIndex();
  const std::vector<int> rows = fileView_->SelectedRows();
  int row = rows.empty() ? -1 : rows.front();
  if (current.isValid() && fileView_->selectionModel()->isRowSelected(current.row()))
    row = current.row();
  const FileEntry* entry = fileModel_->EntryAt(row);
  if (entry == nullptr) {
    Tell(MessageIcon::kInformation, 359, LanguageText(kTextSelectFileFirst));
    return;
  }
  StorePages();
  // The run gets a copy of the settings with these few overridden, so the working settings
  // come out as they went in whatever happens: a copy of the one file goes into the preview
  // folder, and nothing is asked, kept or sorted.
  Preset settings = app_.WorkingSettings;
  settings.ListKeepFiltered = settings.ListKeepSources = settings.ListKeepFailed = 0;
  settings.ListKeepTargets = settings.ListKeepUnprocessed = 0;
  settings.QuitAfterRun = 1;
  settings.SortActive = 0;
  settings.TargetDirActive = 1;
  settings.TargetDirTemplate = app_.PreviewFolder;
  settings.KeepSubfolders = 0;
  settings.TargetMove = 0;
  const RunValues values = PrepareRunValues(settings, 1, Folders(), pages_->DatePickerValue());
  const WindowCheckResult check = CheckBeforeWindowRun(false, app_.Files, settings, values, true);
  if (check.Result == WindowCheckResult::Refused) {
    Tell(check.Message.Icon, check.Message.TitleEntry, check.Message.Text);
    return;
  }
  if (check.Result == WindowCheckResult::RefusedSilently) return;
  testRunEntry_ = entry->Id;
  // The run works on a copy of the entry: the list stays on screen, locked.
  SetCommandsLocked(true);
  fileView_->setEnabled(false);
  UpdateStatusLine(false, false, LanguageText(kTextTestRunInProgress));
  if (!run_->StartTest(settings, Folders(), pages_->DatePickerValue(), *entry)) {
    fileView_->setEnabled(true);
    SetCommandsLocked(false);
    UpdateStatusLine(true, true, QString());
    dialogs_.Fatal(RunFailureReason(RunFailure::Process));
  }
}

bool MainWindow::AskToCancelRun(int textEntry) {
  if (app_.Run.RunCancelled.load() != 0) return true;
  app_.Run.RunAsking.store(1);
  const bool yes = dialogs_.Ask(PlainCaption(kTextQuestion), LanguageText(textEntry));
  if (yes) {
    app_.Run.RunCancelled.store(1);
    app_.Run.RunPaused.store(0);
  }
  app_.Run.RunAsking.store(0);
  return yes;
}

QString TestRunOutcomeText(const FileEntry& entry) {
  QString text = LanguageText(kTextResultTitle) + QStringLiteral(":\n");
  if (entry.Detail == 1) return text + LanguageText(kTextLeftOutByFilter);
  text += LanguageText(kTextResultErrorColumn) + QStringLiteral("! ");
  switch (entry.Status) {
    case kStatusSourceMissing:
    case kStatusReadError:
    case kStatusAttributesFailed:
    case kStatusInvalidName:
    case kStatusCopyMoveFailed:
      return text + FailureExplanation(entry.Status);
    default:
      // Statuses without an explanation of their own (3, 4) say their number.
      return text + u'(' + QString::number(entry.Status) + u')';
  }
}

void MainWindow::UndoLastRunCommand() {
  if (locked_ || LoadBusy() || RunBusy()) return;
  const RunChoice choice = ChooseRunToUndo(app_.JournalFolder, 0);
  const QString title = AdditionText(kAddUndoTitle);
  if (choice.What != RunChoice::Found::Run) {
    // A journal that cannot be used (refused, in use, unreadable) is said as such.
    const QString problem = RunChoiceText(choice, 0);
    dialogs_.Tell(problem.isEmpty() ? MessageIcon::kInformation : MessageIcon::kError, title,
                  problem.isEmpty() ? AdditionText(kAddUndoNothing) : problem);
    return;
  }
  const JournalHeader& header = choice.Summary.Header;
  // One pass, so that a "%" in the preset's name stays as it is.
  const QString question =
      AdditionText(kAddUndoQuestion)
          .arg(QString::number(choice.File.Number), RunTimeText(header.Started),
               QString::number(header.PresetNumber), header.PresetName,
               QString::number(choice.Summary.Files));
  if (!dialogs_.Ask(title, question)) return;
  if (undoResult_) undoResult_->close();
  // The files of the list may move meanwhile: the commands wait for the undo.
  SetCommandsLocked(true);
  undoRunNumber_ = choice.File.Number;
  if (!undo_->Start(choice.File.Path)) {
    SetCommandsLocked(false);
    FatalExit(RunFailureReason(RunFailure::Process));
  }
  undoProgress_ =
      new UndoProgressDialog(AdditionText(kAddUndoProgress).arg(choice.File.Number), *undo_, this);
  undoProgress_->setAttribute(Qt::WA_DeleteOnClose);
  undoProgress_->show();
}

UndoProgressDialog* MainWindow::UndoProgress() const {
  return undoProgress_;
}

UndoResultDialog* MainWindow::UndoResult() const {
  return undoResult_;
}

void MainWindow::RefreshListAfterUndo() {
  // The undo moved files back, removed copies and restored dates and attributes: each entry is
  // read afresh from the disk, in the list's order, and an entry whose file no longer stands at
  // its path (taken back to its old place) leaves the list.
  newNames_->ReleaseList(NewNamePreview::Change::Replace);
  Preset settings = app_.WorkingSettings;
  settings.IncludeHidden = 1;  // what was listed stays listed, hidden or not
  FileList refreshed;
  const qsizetype current = app_.Files.Current;
  qsizetype position = 0;
  qsizetype newCurrent = -1;
  for (const FileEntry& entry : app_.Files) {
    const bool kept = AdmitFile(entry.Path, refreshed, settings) == 1;
    if (kept && position == current) newCurrent = refreshed.Count() - 1;
    ++position;
  }
  refreshed.Current = newCurrent >= 0 ? newCurrent : (refreshed.IsEmpty() ? -1 : 0);
  app_.Files = std::move(refreshed);
  fileModel_->Reload();
  UpdateFileButtons();
  UpdateStatusLine(true, true, QString());
}

void MainWindow::OnUndoFinished(const UndoSummary& summary) {
  if (undoProgress_) {
    undoProgress_->hide();
    undoProgress_->deleteLater();
  }
  SetCommandsLocked(false);
  if (quitWhenRunEnds_) {
    close();
    return;
  }
  RefreshListAfterUndo();
  undoResult_ = new UndoResultDialog(undoRunNumber_, summary, this);
  undoResult_->setAttribute(Qt::WA_DeleteOnClose);
  undoResult_->show();
  emit UndoFinished();
}

void MainWindow::OnTestRunFinished(const RunResult& result) {
  fileView_->setEnabled(true);
  SetCommandsLocked(false);
  UpdateStatusLine(true, true, QString());
  if (result.Failure != RunFailure::None) {
    dialogs_.Fatal(RunFailureReason(result.Failure));
    return;
  }
  // Whatever became of the copy, the folder is removed at the end of the program.
  app_.PreviewFolderCreated = true;
  const FileEntry* tested = run_->TestedEntry();
  testRunEntry_ = 0;
  if (quitWhenRunEnds_) {
    close();
    return;
  }
  if (tested != nullptr) {
    if (tested->Status == kStatusDone) {
      if (!dialogs_.ShowProperties(tested->NewPath))
        Tell(MessageIcon::kWarning, 363, LanguageText(kTextNoFileManager));
    } else {
      Tell(MessageIcon::kInformation, 359, TestRunOutcomeText(*tested));
    }
  }
  fileView_->setFocus(Qt::OtherFocusReason);
  emit RunFinished();
}

void MainWindow::ToggleOption(int8_t& field, bool rebuild) {
  field = field != 0 ? 0 : 1;
  if (rebuild)
    Rebuild();
  else
    UpdateMenuChecks();
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
      UpdateMenuChecks();
      return;
    }
    app_.LanguageIndex = choice;
    // Not stored (a read-only settings folder): the choice lasts until the program ends.
    SaveLanguage(app_.LanguageFile, choice);
  }
  if (!LoadLanguageTable(app_.LanguageIndex)) FatalExit(QStringLiteral("Couldn't initialize program."));
  if (!app_.PresetList.isEmpty()) app_.PresetList[0].PresetName = LanguageText(kTextPresetDefaultSettings);
  Rebuild();
}

void MainWindow::ShowTopic(int topic) {
  if (helpWindow_) {
    helpWindow_(topic);
    return;
  }
  dialogs_.Tell(MessageIcon::kInformation,
                PlainCaption(kTextMenuHelp) + QStringLiteral(" - ") + PlainCaption(37 + topic),
                TopicText(topic));
}

void MainWindow::Tell(MessageIcon icon, int titleEntry, const QString& text) {
  dialogs_.Tell(icon, PlainCaption(titleEntry), text);
}

CommandButton* MainWindow::CommandButtonAt(int index) const {
  return index >= 0 && index < 3 ? commandButtons_[static_cast<size_t>(index)] : nullptr;
}

// ---- Rebuilding ----

void MainWindow::Rebuild() {
  StorePages();
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
  fileModel_->RefreshHeaders();
  UpdateFileButtons();
  UpdateStatusLine(true, true, LoadBusy() ? LanguageText(kTextLoadingFiles) : QString());
  if (visible) setGeometry(geometry);
  emit Rebuilt();
}

// ---- Window events ----

void MainWindow::closeEvent(QCloseEvent* event) {
  emit ClosePopups();
  if (undo_->Busy()) {
    // The undo stops after the file in hand; the window closes then. The rest of the run can be
    // taken back later.
    if (quitWhenRunEnds_ || dialogs_.Ask(PlainCaption(kTextQuestion), LanguageText(kTextAskQuit))) {
      quitWhenRunEnds_ = true;
      undo_->Stop();
    }
    event->ignore();
    return;
  }
  if (RunBusy()) {
    // The run ends after the file in hand; the window closes then.
    if (quitWhenRunEnds_ || AskToCancelRun(358)) {
      quitWhenRunEnds_ = true;
      app_.Run.QuitRequested.store(1);
    }
    event->ignore();
    return;
  }
  if (!quitWhenRunEnds_ && fileModel_->RowCount() > 0 && !dialogs_.Ask(PlainCaption(kTextQuestion), LanguageText(kTextAskQuit))) {
    event->ignore();
    return;
  }
  loader_->StopAndWait();
  event->accept();
}

void MainWindow::moveEvent(QMoveEvent* event) {
  emit ClosePopups();
  QMainWindow::moveEvent(event);
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
  const bool targetField = watched == pages_->Field(FieldKind::TargetTemplate) ||
                           watched == pages_->BrowseButton();
  if (!targetField && (locked_ || LoadBusy())) {
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
