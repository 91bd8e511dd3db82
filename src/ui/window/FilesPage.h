#pragma once

#include "ui/window/MainMenus.h"

#include <QWidget>

#include <utility>
#include <vector>

class QCheckBox;

// The first page, "Loaded files": the list itself stands beside every page, so this page says
// what the list is for and holds the options that decide what comes into it and what stays in
// it after processing, the same options as the menus "Loading" and "After processing", in
// sight while the list is edited.
class FilesPage : public QWidget {
  Q_OBJECT

 public:
  explicit FilesPage(QWidget* parent = nullptr);

  // Each box follows its menu item and works it: ticking a box is choosing the item.
  void Follow(const MainMenus& menus);
  // The box of an option item; nullptr for a command it does not show.
  QCheckBox* Box(MenuCommand command) const;

 private:
  std::vector<std::pair<MenuCommand, QCheckBox*>> boxes_;
};
