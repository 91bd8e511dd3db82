#include "ui/widgets/Icons.h"

#include "app/ImageStore.h"

#include <QApplication>
#include <QHash>
#include <QImage>
#include <QMimeDatabase>
#include <QStyle>

#include <algorithm>
#include <iterator>

namespace {

struct ThemeName {
  int Number;
  const char* Name;
};

// Icon names that freedesktop icon themes share (and common additions to them).
constexpr ThemeName kThemeNames[] = {
    {kImageAddFiles, "document-open"},
    {kImageAddFolder, "folder-new"},
    {kImageStart, "media-playback-start"},
    {6, "system-file-manager"},
    {7, "edit-find"},
    {8, "x-office-calendar"},
    {9, "appointment-new"},
    {10, "document-properties"},
    {11, "edit-cut"},
    {12, "edit-find-replace"},
    {13, "text-x-generic"},
    {14, "view-sort-ascending"},
    {15, "internet-web-browser"},
    {16, "accessories-text-editor"},
    {17, "folder-move"},
    {kImageAttributeSet, "list-add"},
    {kImageSortDate, "x-office-calendar"},
    {kImageFromEnd, "go-last"},
    {kImageFromStart, "go-first"},
    {kImageSortName, "text-x-generic"},
    {kImageSortSize, "drive-harddisk"},
    {kImageSortRandom, "media-playlist-shuffle"},
    {kImageAttributeClear, "list-remove"},
    {kImageNoAttributeChange, "edit-undo"},
    {kImageArrow, "go-next"},
    {kImageAscending, "go-up"},
    {kImageDescending, "go-down"},
};

// Pictures shown side by side come from one source: the theme's icons only when the theme has
// every one of the group, else ours, so that a row of buttons never mixes two styles.
constexpr int kGroups[][12] = {
    {kImageAddFiles, kImageAddFolder, kImageStart},
    {6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17},
    {kImageAttributeSet, kImageAttributeClear},
    {kImageFromStart, kImageFromEnd},
    {kImageSortRandom, kImageSortName, kImageSortSize, kImageSortDate},
    {kImageAscending, kImageDescending},
};

bool ThemeHasGroupOf(int number) {
  for (const auto& group : kGroups) {
    if (std::find(std::begin(group), std::end(group), number) == std::end(group)) continue;
    for (const int member : group)
      if (member != 0 && !QIcon::hasThemeIcon(ThemeNameOf(member))) return false;
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
  for (const ThemeName& entry : kThemeNames)
    if (entry.Number == number) return QString::fromLatin1(entry.Name);
  return QString();
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
