#include "ui/widgets/Icons.h"

#include "app/ImageStore.h"
#include "records/Pages.h"

#include <QApplication>
#include <QHash>
#include <QImage>
#include <QMimeDatabase>
#include <QStyle>

#include <algorithm>

namespace {

struct Picture {
  int Number;
  const char* ThemeName;  // nullptr: ours only
};

// The window's pictures but the page icons, with the icon names that freedesktop icon themes
// share (and common additions to them).
constexpr Picture kPictures[] = {
    {kImageProgram, nullptr},
    {kImageAddFiles, "document-open"},
    {kImageAddFolder, "folder-new"},
    {kImageStart, "media-playback-start"},
    {kImageAttributeSet, "list-add"},
    {kImageSortDate, "x-office-calendar"},
    {kImageFromEnd, "go-last"},
    {kImageFromStart, "go-first"},
    {kImageSortName, "text-x-generic"},
    {kImageSortSize, "drive-harddisk"},
    {kImageSortRandom, "media-playlist-shuffle"},
    {kImageAttributeClear, "list-remove"},
    {kImageNoAttributeChange, "edit-undo"},
    {kImageZoneMark, nullptr},
    {kImageArrow, "go-next"},
    {kImageAscending, "go-up"},
    {kImageDescending, "go-down"},
};

// Pictures shown side by side come from one source: the theme's icons only when the theme has
// every one of the group, else ours, so that a row of buttons never mixes two styles. The page
// icons, which the page list and the page headers show together, are one more group.
const std::vector<std::vector<int>>& Groups() {
  static const std::vector<std::vector<int>> groups = [] {
    std::vector<std::vector<int>> all = {
        {kImageAddFiles, kImageAddFolder, kImageStart},
        {kImageAttributeSet, kImageAttributeClear},
        {kImageFromStart, kImageFromEnd},
        {kImageSortRandom, kImageSortName, kImageSortSize, kImageSortDate},
        {kImageAscending, kImageDescending},
    };
    std::vector<int> pages;
    for (const PageRow& row : kPages) pages.push_back(row.Icon.Image);
    all.push_back(std::move(pages));
    return all;
  }();
  return groups;
}

bool ThemeHasGroupOf(int number) {
  for (const std::vector<int>& group : Groups()) {
    if (std::find(group.begin(), group.end(), number) == group.end()) continue;
    for (const int member : group)
      if (!QIcon::hasThemeIcon(ThemeNameOf(member))) return false;
    return true;
  }
  return QIcon::hasThemeIcon(ThemeNameOf(number));
}

QHash<QString, QIcon>& ExtensionIcons() {
  static QHash<QString, QIcon> cache;
  return cache;
}

}  // namespace

QString ThemeNameOf(int number) {
  for (const Picture& picture : kPictures)
    if (picture.Number == number)
      return picture.ThemeName != nullptr ? QString::fromLatin1(picture.ThemeName) : QString();
  for (const PageRow& row : kPages)
    if (row.Icon.Image == number) return QString::fromLatin1(row.Icon.ThemeName);
  return QString();
}

std::vector<int> WindowPictureNumbers() {
  std::vector<int> numbers;
  for (const Picture& picture : kPictures) numbers.push_back(picture.Number);
  for (const PageRow& row : kPages) numbers.push_back(row.Icon.Image);
  return numbers;
}

QPixmap StorePixmap(int number) {
  const Image* image = EmbeddedImage(number);
  if (image == nullptr) return QPixmap();
  // The store holds straight RGBA rows without padding.
  const QImage view(reinterpret_cast<const uchar*>(image->Rgba.constData()), image->Width,
                    image->Height, image->Width * 4, QImage::Format_RGBA8888);
  return QPixmap::fromImage(view.copy());
}

QIcon StoreIcon(int number) {
  QIcon ours;
  const QPixmap pixmap = StorePixmap(number);
  if (!pixmap.isNull()) ours.addPixmap(pixmap);
  const QString themeName = ThemeNameOf(number);
  if (themeName.isEmpty() || !ThemeHasGroupOf(number)) return ours;
  return QIcon::fromTheme(themeName, ours);
}

QIcon PageIcon(int page) {
  const PageRow* row = FindPage(page);
  return row != nullptr ? StoreIcon(row->Icon.Image) : QIcon();
}

QIcon ExtensionIcon(const QString& extension) {
  auto& cache = ExtensionIcons();
  const auto found = cache.constFind(extension);
  if (found != cache.cend()) return found.value();
  QIcon icon;
  if (!extension.isEmpty()) {
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(QStringLiteral("x.") + extension,
                                                    QMimeDatabase::MatchExtension);
    icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
  }
  if (icon.isNull()) icon = QIcon::fromTheme(QStringLiteral("text-x-generic"));
  if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
  cache.insert(extension, icon);
  return icon;
}
