#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

#include <vector>

// The pictures of the window. Each has a number in the image store (carried in the program)
// and, where the desktop's icon theme has one for the same purpose, a theme name: the theme's
// icon is preferred so that the window fits the desktop, light or dark; ours stands in when
// the theme has none. The page icons' numbers and theme names are in the page table
// (records/Pages.h); no picture here may use one of them.
enum ImageNumber : int {
  kImageProgram = 1,
  kImageAddFiles = 3,
  kImageAddFolder = 4,
  kImageStart = 5,
  kImageAttributeSet = 18,
  kImageSortDate = 19,
  kImageFromEnd = 20,
  kImageFromStart = 21,
  kImageSortName = 22,
  kImageSortSize = 23,
  kImageSortRandom = 24,
  kImageAttributeClear = 25,
  kImageNoAttributeChange = 26,
  kImageZoneMark = 27,
  kImageArrow = 28,
  kImageAscending = 29,
  kImageDescending = 30,
};

// The picture as an icon: the theme's when the theme has it and every picture shown beside it
// (the command buttons, the page icons, the items of one combo box), else ours; an empty icon
// when neither exists.
QIcon StoreIcon(int number);
// The icon of an option page (the page table's picture), as StoreIcon gives it.
QIcon PageIcon(int page);
// Our own picture alone (no theme), e.g. for an illustration; null when it is not carried.
QPixmap StorePixmap(int number);
// The theme name used for a picture; empty when none is used.
QString ThemeNameOf(int number);
// The number of every picture the window shows, the page icons included, in no particular
// order: each number once unless two purposes collide.
std::vector<int> WindowPictureNumbers();

// The icon of a file type, by extension only (no file access), cached per extension for the
// life of the program. Never null: a generic file icon stands in.
QIcon ExtensionIcon(const QString& extension);
