#include "ui/window/MainMenus.h"

#include "app/AppState.h"
#include "naming/PlaceholderTable.h"
#include "texts/AdditionEntries.h"
#include "texts/LanguageEntries.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"
#include "ui/widgets/Mnemonics.h"
#include "ui/widgets/UiTexts.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

namespace {

using M = MenuCommand;

// The items that switch an option of the working settings on and off.
struct OptionItem {
  MenuCommand Command;
  int Entry;
  int8_t Preset::*Field;
};
constexpr OptionItem kOptionItems[] = {
    {M::TemplateButtons, kTextMenuPlaceholderList, &Preset::TemplateButtons},
    {M::PatternButtons, kTextMenuWildcardList, &Preset::PatternButtons},
    {M::AlwaysOnTop, kTextMenuAlwaysOnTop, &Preset::AlwaysOnTop},
    {M::IncludeSubdirectories, kTextMenuIncludeSubfolders, &Preset::IncludeSubdirectories},
    {M::IncludeHidden, kTextMenuIncludeHiddenFiles, &Preset::IncludeHidden},
    {M::KeepFiltered, kTextMenuKeepFiltered, &Preset::ListKeepFiltered},
    {M::KeepSources, kTextMenuKeepSources, &Preset::ListKeepSources},
    {M::KeepFailed, kTextMenuKeepFailed, &Preset::ListKeepFailed},
    {M::KeepTargets, kTextMenuKeepTargets, &Preset::ListKeepTargets},
    {M::KeepUnprocessed, kTextMenuKeepUnprocessed, &Preset::ListKeepUnprocessed},
    {M::QuitAfterRun, kTextMenuQuitAfterRun, &Preset::QuitAfterRun},
};

// The items that choose which date of a file a setting reads: 0 last access, 1 modified,
// 2 created.
struct DateItem {
  MenuCommand Command;
  int8_t Preset::*Field;
  int8_t Value;
};
constexpr DateItem kDateItems[] = {
    {M::FilterDateLastAccess, &Preset::FilterDateSource, 0},
    {M::FilterDateModified, &Preset::FilterDateSource, 1},
    // The filter's date conditions and the date placeholders may also read the date taken (a
    // photo's, a video's).
    {M::FilterDateCreated, &Preset::FilterDateSource, 2},
    {M::FilterDateTaken, &Preset::FilterDateSource, kDateSourceTaken},
    {M::PlaceholderDateLastAccess, &Preset::DatePlaceholderSource, 0},
    {M::PlaceholderDateModified, &Preset::DatePlaceholderSource, 1},
    {M::PlaceholderDateCreated, &Preset::DatePlaceholderSource, 2},
    {M::PlaceholderDateTaken, &Preset::DatePlaceholderSource, kDateSourceTaken},
};
constexpr int kDateChoices = 4;  // per setting, in value order
constexpr int kDateCaptions[] = {kTextWordLastAccess, kTextWordModified, kTextWordCreated};

constexpr int kTopicCaptions[] = {kTextMenuTopicLoading,      kTextMenuTopicMenu,
                                  kTextMenuTopicTips,         kTextMenuTopicDragDrop,
                                  kTextMenuTopicPlaceholders, kTextMenuTopicWildcards,
                                  kTextMenuTopicCommandLine};

// The commands that would start other work while a load or a run goes on.
constexpr MenuCommand kLockedCommands[] = {M::TestRun, M::UndoLastRun, M::AddFiles, M::SelectAll};

QString WithKey(int entry, const QString& key) {
  return Caption(entry) + u'\t' + key;
}

}  // namespace

int TopicOf(MenuCommand command) {
  const int topic = static_cast<int>(command) - static_cast<int>(M::Topic1) + 1;
  return topic >= 1 && topic <= static_cast<int>(std::size(kTopicCaptions)) ? topic : 0;
}

MainMenus::MainMenus(AppState& app, QMainWindow& window)
    : QObject(&window), app_(app), window_(window) {}

QString MainMenus::MenuBarKeys() {
  QString keys;
  for (const int entry : {kTextMenuFile, kTextMenuSettings, kTextMenuPresets, kTextMenuHelp}) {
    const QChar key = MnemonicOf(Caption(entry));
    if (!key.isNull()) keys += key;
  }
  return keys;
}

QAction* MainMenus::NewAction(MenuCommand command, const QString& text) {
  auto* action = new QAction(text, window_.menuBar());
  connect(action, &QAction::triggered, this, [this, command] {
    emit CommandStarting();
    Apply(command);
    emit Chosen(command);
  });
  actions_[static_cast<size_t>(command)] = action;
  return action;
}

QAction* MainMenus::CheckAction(MenuCommand command, int entry) {
  QAction* action = NewAction(command, Caption(entry));
  action->setCheckable(true);
  return action;
}

void MainMenus::Build(QWidget* listView) {
  // A new menu bar owns every action of this build; the old one goes with its actions.
  auto* bar = new QMenuBar;
  window_.setMenuBar(bar);
  actions_.fill(nullptr);
  presetActions_.fill(nullptr);
  menus_[0] = bar->addMenu(Caption(kTextMenuFile));
  BuildFileMenu(menus_[0]);
  menus_[1] = bar->addMenu(Caption(kTextMenuSettings));
  BuildSettingsMenu(menus_[1]);
  menus_[2] = bar->addMenu(Caption(kTextMenuPresets));
  NewAction(M::ManagePresets, Caption(kTextMenuManagePresets));
  BuildPresetItems();
  menus_[3] = bar->addMenu(Caption(kTextMenuHelp));
  BuildHelpMenu(menus_[3]);
  BuildShortcuts(listView);
  UpdateEnabling();
  UpdateChecks();
  SetLocked(locked_);
}

void MainMenus::BuildFileMenu(QMenu* file) {
  file->addAction(NewAction(M::Start, Caption(kTextMenuStart)));
  file->addSeparator();
  QAction* testRun =
      NewAction(M::TestRun, WithKey(kTextMenuTestRun, CtrlKeyText(QStringLiteral("D"))));
  testRun->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
  file->addAction(testRun);
  file->addAction(
      NewAction(M::UndoLastRun, AdditionText(kAddUndoMenuItem) + QStringLiteral("...")));
  QAction* addFiles = NewAction(M::AddFiles, Caption(kTextMenuAddFiles) + QStringLiteral("...\t") +
                                                 CtrlKeyText(QStringLiteral("L")));
  addFiles->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  file->addAction(addFiles);
  file->addAction(NewAction(M::AddFolder, Caption(kTextMenuAddFolder) + QStringLiteral("...")));
  file->addSeparator();
  file->addAction(NewAction(M::Exit, Caption(kTextMenuExit)));
}

void MainMenus::BuildSettingsMenu(QMenu* settings) {
  QAction* save =
      NewAction(M::SavePreset, WithKey(kTextMenuSavePreset, CtrlKeyText(QStringLiteral("S"))));
  save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  settings->addAction(save);
  settings->addAction(
      NewAction(M::SaveAsNewPreset, Caption(kTextMenuSaveAsNewPreset) + QStringLiteral("...")));
  const auto option = [this](MenuCommand command) {
    for (const OptionItem& item : kOptionItems)
      if (item.Command == command) return CheckAction(command, item.Entry);
    return static_cast<QAction*>(nullptr);
  };
  QMenu* window = settings->addMenu(Caption(kTextMenuWindow));
  window->addAction(option(M::TemplateButtons));
  window->addAction(option(M::PatternButtons));
  window->addSeparator();
  window->addAction(option(M::AlwaysOnTop));
  QMenu* loading = settings->addMenu(Caption(kTextMenuLoading));
  loading->addAction(option(M::IncludeSubdirectories));
  loading->addAction(option(M::IncludeHidden));
  QMenu* dates = settings->addMenu(Caption(kTextMenuFileDates));
  for (const auto& [entry, first] :
       {std::pair{kTextMenuFilterDate, 0}, std::pair{kTextMenuPlaceholderDate, kDateChoices}}) {
    QMenu* sub = dates->addMenu(Caption(entry));
    auto* group = new QActionGroup(sub);
    for (int value = 0; value < kDateChoices; ++value) {
      const DateItem& item = kDateItems[first + value];
      const QString caption =
          value < 3 ? Caption(kDateCaptions[value]) : AdditionText(kAddDateSourceTaken);
      QAction* action = NewAction(item.Command, u'&' + caption);
      action->setCheckable(true);
      group->addAction(action);
      sub->addAction(action);
    }
  }
  QMenu* after = settings->addMenu(Caption(kTextMenuAfterProcessing));
  for (const MenuCommand command :
       {M::KeepFiltered, M::KeepSources, M::KeepFailed, M::KeepTargets, M::KeepUnprocessed})
    after->addAction(option(command));
  after->addSeparator();
  after->addAction(option(M::QuitAfterRun));
  settings->addSeparator();
  QMenu* language = settings->addMenu(Caption(kTextMenuLanguage));
  language->addAction(NewAction(M::LanguageAutomatic, Caption(kTextMenuLanguageAutomatic)));
  language->addSeparator();
  auto* languages = new QActionGroup(language);
  for (const auto& [command, entry, native] :
       {std::tuple{M::LanguageGerman, kTextMenuGerman, "  (Deutsch)"},
        std::tuple{M::LanguageEnglish, kTextMenuEnglish, "  (English)"}}) {
    QAction* action = NewAction(command, Caption(entry) + QString::fromLatin1(native));
    action->setCheckable(true);
    languages->addAction(action);
    language->addAction(action);
  }
}

void MainMenus::BuildHelpMenu(QMenu* help) {
  QAction* helpAction = NewAction(M::Help, WithKey(kTextMenuGettingStarted, QStringLiteral("F1")));
  helpAction->setShortcut(QKeySequence(Qt::Key_F1));
  help->addAction(helpAction);
  QMenu* topics = help->addMenu(Caption(kTextMenuTopics));
  for (int topic = 1; topic <= static_cast<int>(std::size(kTopicCaptions)); ++topic) {
    const auto command = static_cast<MenuCommand>(static_cast<int>(M::Topic1) + topic - 1);
    topics->addAction(NewAction(command, Caption(kTopicCaptions[topic - 1])));
  }
  help->addSeparator();
  help->addAction(NewAction(M::Information, Caption(kTextMenuInformation) + QStringLiteral("...")));
  help->addSeparator();
  help->addAction(NewAction(M::About, Caption(kTextMenuAbout)));
}

void MainMenus::BuildShortcuts(QWidget* listView) {
  QAction* selectAll = NewAction(M::SelectAll, QString());
  selectAll->setShortcut(QKeySequence::SelectAll);
  selectAll->setShortcutContext(Qt::WidgetShortcut);
  listView->addAction(selectAll);
  QAction* nextPage = NewAction(M::NextPage, QString());
  nextPage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab));
  QAction* stop = NewAction(M::StopLoading, QString());
  stop->setShortcut(QKeySequence(Qt::Key_Escape));
  for (QAction* action : {nextPage, stop}) {
    action->setShortcutContext(Qt::WindowShortcut);
    window_.addAction(action);
  }
}

void MainMenus::BuildPresetItems() {
  QMenu* presets = menus_[2];
  presets->clear();
  presetActions_.fill(nullptr);
  const qsizetype count = std::min<qsizetype>(app_.PresetList.size(), kMaxPresetShortcuts);
  for (int position = 0; position < count; ++position) {
    const QString number = QString::number(position);
    auto* action = new QAction(app_.PresetList[position].PresetName + u'\t' + CtrlKeyText(number),
                               window_.menuBar());
    action->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_0 + position)));
    connect(action, &QAction::triggered, this, [this, position] {
      emit CommandStarting();
      emit PresetChosen(position);
    });
    presets->addAction(action);
    presetActions_[static_cast<size_t>(position)] = action;
  }
  presets->addSeparator();
  presets->addAction(Action(M::ManagePresets));
  UpdateEnabling();
  SetLocked(locked_);
}

void MainMenus::SetAttached(bool help, bool about, bool presetDialog) {
  help_ = help;
  about_ = about;
  presetDialog_ = presetDialog;
  UpdateEnabling();
}

void MainMenus::UpdateEnabling() {
  const auto enable = [this](MenuCommand command, bool on) {
    if (QAction* action = Action(command)) action->setEnabled(on);
  };
  enable(M::Help, help_);
  enable(M::About, about_);
  enable(M::ManagePresets, presetDialog_);
  enable(M::SavePreset,
         app_.DefaultPresetIndex > 0 && app_.DefaultPresetIndex < app_.PresetList.size());
  enable(M::SaveAsNewPreset, presetDialog_ && app_.PresetList.size() - 1 < 9);
}

void MainMenus::Apply(MenuCommand command) {
  Preset& settings = app_.WorkingSettings;
  for (const OptionItem& item : kOptionItems) {
    if (item.Command != command) continue;
    int8_t& field = settings.*item.Field;
    field = field != 0 ? 0 : 1;
    UpdateChecks();
    return;
  }
  for (const DateItem& item : kDateItems) {
    if (item.Command != command) continue;
    settings.*item.Field = item.Value;
    UpdateChecks();
    return;
  }
}

void MainMenus::UpdateChecks() {
  const Preset& settings = app_.WorkingSettings;
  const auto set = [this](MenuCommand command, bool on) {
    if (QAction* action = Action(command)) action->setChecked(on);
  };
  for (const OptionItem& item : kOptionItems) set(item.Command, settings.*item.Field != 0);
  for (const DateItem& item : kDateItems) set(item.Command, settings.*item.Field == item.Value);
  set(M::LanguageGerman, app_.LanguageIndex == kLanguageGerman);
  set(M::LanguageEnglish, app_.LanguageIndex == kLanguageEnglish);
}

void MainMenus::SetLocked(bool locked) {
  locked_ = locked;
  for (int i = 0; i < 3; ++i)
    if (menus_[static_cast<size_t>(i)] != nullptr)
      menus_[static_cast<size_t>(i)]->menuAction()->setEnabled(!locked);
  for (const MenuCommand command : kLockedCommands)
    if (QAction* action = Action(command)) action->setEnabled(!locked);
  for (QAction* action : presetActions_)
    if (action != nullptr) action->setEnabled(!locked);
  if (window_.menuBar() != nullptr) window_.menuBar()->update();
}

QAction* MainMenus::Action(MenuCommand command) const {
  return actions_[static_cast<size_t>(command)];
}

QAction* MainMenus::PresetAction(int position) const {
  return position >= 0 && position < kMaxPresetShortcuts
             ? presetActions_[static_cast<size_t>(position)]
             : nullptr;
}
