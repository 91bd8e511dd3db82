#include "ui/window/FilesPage.h"

#include "support/TempDir.h"
#include "support/WindowFixture.h"
#include "ui/list/FileListModel.h"
#include "ui/widgets/UiTexts.h"

#include <QAction>
#include <QCheckBox>

#include <memory>

namespace {

class FilesPageTest : public WindowFixture {
 protected:
  std::unique_ptr<MainWindow> MakeWindow() {
    auto window = std::make_unique<MainWindow>(*app_);
    window->SetDialogs(RecordingDialogs());
    return window;
  }
};

// Each box of the first page and its menu item are one option: either one changes the setting,
// and the other shows it, also after a preset was activated and after a rebuild.
TEST_F(FilesPageTest, EachBoxAndItsMenuItemAreOneOption) {
  using M = MenuCommand;
  const struct {
    MenuCommand Command;
    int8_t Preset::*Field;
  } cases[] = {{M::IncludeSubdirectories, &Preset::IncludeSubdirectories},
               {M::IncludeHidden, &Preset::IncludeHidden},
               {M::KeepFiltered, &Preset::ListKeepFiltered},
               {M::KeepSources, &Preset::ListKeepSources},
               {M::KeepFailed, &Preset::ListKeepFailed},
               {M::KeepTargets, &Preset::ListKeepTargets},
               {M::KeepUnprocessed, &Preset::ListKeepUnprocessed}};
  for (const auto& c : cases) {
    const int name = static_cast<int>(c.Command);
    const auto window = MakeWindow();
    QCheckBox* box = window->FirstPage()->Box(c.Command);
    QAction* item = window->Menus()->Action(c.Command);
    ASSERT_NE(box, nullptr) << name;
    ASSERT_NE(item, nullptr) << name;
    const bool before = app_->WorkingSettings.*c.Field != 0;
    EXPECT_EQ(box->isChecked(), before) << name;
    // The box's caption is the item's, with a key of the page's own.
    EXPECT_EQ(WithoutMnemonics(box->text()), WithoutMnemonics(item->text())) << name;

    box->click();
    EXPECT_EQ(app_->WorkingSettings.*c.Field != 0, !before) << name;
    EXPECT_EQ(item->isChecked(), !before) << name;

    item->trigger();
    EXPECT_EQ(app_->WorkingSettings.*c.Field != 0, before) << name;
    EXPECT_EQ(box->isChecked(), before) << name;

    // A preset that says otherwise shows in the box.
    app_->WorkingSettings.*c.Field = before ? 0 : 1;
    window->FillPages();
    EXPECT_EQ(box->isChecked(), !before) << name;

    window->Rebuild();
    ProcessEvents();
    QCheckBox* rebuilt = window->FirstPage()->Box(c.Command);
    ASSERT_NE(rebuilt, nullptr) << name;
    EXPECT_EQ(rebuilt->isChecked(), !before) << name;
    rebuilt->click();
    EXPECT_EQ(app_->WorkingSettings.*c.Field != 0, before) << name;
    EXPECT_EQ(window->Menus()->Action(c.Command)->isChecked(), before) << name;
  }
}

// Unticking "Include subfolders" on the first page loads a folder without what is below it.
TEST_F(FilesPageTest, TheSubfolderBoxDecidesWhatALoadTakes) {
  TempDir folder;
  folder.WriteFile("top.jpg", "a");
  folder.WriteFile("deeper/below.jpg", "b");
  for (const bool subfolders : {true, false}) {
    app_->WorkingSettings.IncludeSubdirectories = 1;
    app_->Files.Clear();
    const auto window = MakeWindow();
    QCheckBox* box = window->FirstPage()->Box(MenuCommand::IncludeSubdirectories);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(box->isChecked());
    if (!subfolders) box->click();
    ASSERT_TRUE(window->LoadPaths(folder.Path()));
    ASSERT_TRUE(ProcessUntil([&] { return !window->Files()->LoadBusy(); }));
    EXPECT_EQ(window->Files()->Model()->RowCount(), subfolders ? 2 : 1) << subfolders;
  }
}

}  // namespace
