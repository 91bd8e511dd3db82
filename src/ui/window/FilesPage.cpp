#include "ui/window/FilesPage.h"

#include "texts/LanguageEntries.h"
#include "ui/pages/OptionPage.h"
#include "ui/widgets/UiTexts.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

struct Group {
  int Heading;
  std::vector<std::pair<MenuCommand, int>> Items;
};

}  // namespace

FilesPage::FilesPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("page0"));
  QVBoxLayout* layout = MakePageLayout(this, kPageFiles);
  using M = MenuCommand;
  const Group groups[] = {
      {kTextMenuLoading,
       {{M::IncludeSubdirectories, kTextMenuIncludeSubfolders},
        {M::IncludeHidden, kTextMenuIncludeHiddenFiles}}},
      {kTextMenuAfterProcessing,
       {{M::KeepFiltered, kTextMenuKeepFiltered},
        {M::KeepSources, kTextMenuKeepSources},
        {M::KeepFailed, kTextMenuKeepFailed},
        {M::KeepTargets, kTextMenuKeepTargets},
        {M::KeepUnprocessed, kTextMenuKeepUnprocessed}}},
  };
  for (const Group& group : groups) {
    layout->addSpacing(6);
    auto* heading = new QLabel(PlainCaption(group.Heading));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    for (const auto& [command, entry] : group.Items) {
      // The menu's access keys are the menu's; the window gives the page keys of its own.
      auto* box = new QCheckBox(PlainCaption(entry));
      layout->addWidget(box);
      boxes_.emplace_back(command, box);
    }
  }
  layout->addStretch(1);
}

void FilesPage::Follow(const MainMenus& menus) {
  for (const auto& [command, box] : boxes_) {
    QAction* action = menus.Action(command);
    if (action == nullptr) continue;
    box->setChecked(action->isChecked());
    connect(action, &QAction::toggled, box, [box](bool on) {
      const QSignalBlocker block(box);
      box->setChecked(on);
    });
    // Through the item, so that the setting, its check mark and the new names follow as when
    // the menu is used.
    connect(box, &QCheckBox::toggled, action, [action](bool on) {
      if (action->isChecked() != on) action->trigger();
    });
  }
}

QCheckBox* FilesPage::Box(MenuCommand command) const {
  for (const auto& [which, box] : boxes_)
    if (which == command) return box;
  return nullptr;
}
