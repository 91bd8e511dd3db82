#include "ui/window/WindowShape.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>
#include <QStringList>
#include <QStringTokenizer>

#include <algorithm>
#include <tuple>

namespace {

const QString kGeometry = QStringLiteral("geometry");
const QString kMaximized = QStringLiteral("maximized");
const QString kDivider = QStringLiteral("divider");
const QString kColumns = QStringLiteral("columns");

// How much of the window's top strip must lie on a screen for the user to grab it there.
constexpr int kGrabWidth = 120;
constexpr int kGrabHeight = 24;

int Clamped(int value, int low, int high) {
  return high < low ? low : std::clamp(value, low, high);
}

// A screen's size and place cannot be a key's part as they stand: "/" would open a subgroup.
QString Part(const QRect& screen) {
  return QStringLiteral("%1x%2%3%4%5%6")
      .arg(screen.width())
      .arg(screen.height())
      .arg(screen.x() < 0 ? QString() : QStringLiteral("+"))
      .arg(screen.x())
      .arg(screen.y() < 0 ? QString() : QStringLiteral("+"))
      .arg(screen.y());
}

int DistanceSquared(const QRect& area, const QPoint& point) {
  const int dx = point.x() < area.left() ? area.left() - point.x()
                 : point.x() > area.right() ? point.x() - area.right()
                                            : 0;
  const int dy = point.y() < area.top() ? area.top() - point.y()
                 : point.y() > area.bottom() ? point.y() - area.bottom()
                                             : 0;
  return dx * dx + dy * dy;
}

// QSettings reads almost anything as ini and, on the next write, replaces it with its own
// lines. A file that is missing or looks like ini text is ours; anything else (binary bytes,
// text that is not UTF-8, lines that are neither a group, a key nor a comment) is not.
bool OursOrMissing(const QString& file) {
  QFile in(file);
  if (!in.exists()) return true;
  constexpr qint64 kMostBytes = 1 << 20;  // a shape per set of screens is a few hundred bytes
  if (!QFileInfo(file).isFile() || in.size() > kMostBytes || !in.open(QIODevice::ReadOnly))
    return false;
  const QByteArray bytes = in.readAll();
  if (bytes.contains('\0')) return false;
  QStringDecoder decode(QStringDecoder::Utf8);
  const QString text = decode(bytes);
  if (decode.hasError()) return false;
  for (const QStringView line : QStringTokenizer(text, u'\n')) {
    const QStringView trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(u';') || trimmed.startsWith(u'#')) continue;
    if (trimmed.startsWith(u'[') ? !trimmed.endsWith(u']') : !trimmed.contains(u'='))
      return false;
  }
  return true;
}

}  // namespace

QString ScreenSetKey(std::vector<QRect> screens) {
  std::sort(screens.begin(), screens.end(), [](const QRect& a, const QRect& b) {
    return std::tuple(a.x(), a.y(), a.width(), a.height()) <
           std::tuple(b.x(), b.y(), b.width(), b.height());
  });
  QStringList parts;
  for (const QRect& screen : screens) parts << Part(screen);
  return parts.isEmpty() ? QStringLiteral("none") : parts.join(u'_');
}

QRect FirstGeometry(const QRect& available, const QSize& smallest) {
  QSize size(available.width() * 2 / 3, available.height() * 2 / 3);
  size = size.expandedTo(smallest);
  // A screen smaller than the smallest window gets the whole screen, and the window its least.
  size = size.boundedTo(available.size()).expandedTo(smallest);
  QRect geometry(QPoint(0, 0), size);
  geometry.moveCenter(available.center());
  geometry.moveTop(std::max(geometry.top(), available.top()));
  geometry.moveLeft(std::max(geometry.left(), available.left()));
  return geometry;
}

QRect BroughtOnScreen(const QRect& stored, const std::vector<QRect>& availables,
                      const QSize& smallest) {
  QRect geometry(stored.topLeft(), stored.size().expandedTo(smallest));
  if (availables.empty()) return geometry;
  const QRect grip(geometry.left(), geometry.top(), geometry.width(), kGrabHeight);
  for (const QRect& area : availables) {
    const QRect common = area.intersected(grip);
    // The title bar must not stick out above the screen, and enough of it must be on it.
    if (geometry.top() >= area.top() && common.width() >= std::min(kGrabWidth, geometry.width()) &&
        common.height() >= kGrabHeight / 2)
      return geometry;
  }
  // Off every screen, or only its lower part on one: onto the screen nearest its top left.
  const QRect* nearest = &availables.front();
  for (const QRect& area : availables)
    if (DistanceSquared(area, geometry.topLeft()) < DistanceSquared(*nearest, geometry.topLeft()))
      nearest = &area;
  geometry.setSize(geometry.size().boundedTo(nearest->size()).expandedTo(smallest));
  geometry.moveLeft(Clamped(geometry.left(), nearest->left(), nearest->right() + 1 - geometry.width()));
  geometry.moveTop(Clamped(geometry.top(), nearest->top(), nearest->bottom() + 1 - geometry.height()));
  return geometry;
}

std::optional<WindowShape> ReadWindowShape(const QString& file, const QString& screenSet) {
  if (file.isEmpty() || !QFileInfo(file).isFile() || !OursOrMissing(file)) return std::nullopt;
  QSettings settings(file, QSettings::IniFormat);
  if (settings.status() != QSettings::NoError) return std::nullopt;
  settings.beginGroup(screenSet);
  WindowShape shape;
  shape.Geometry = settings.value(kGeometry).toRect();
  if (!shape.Geometry.isValid() || shape.Geometry.width() > 100000 ||
      shape.Geometry.height() > 100000)
    return std::nullopt;
  shape.Maximized = settings.value(kMaximized).toBool();
  shape.Divider = settings.value(kDivider).toByteArray();
  shape.Columns = settings.value(kColumns).toByteArray();
  return shape;
}

bool WriteWindowShape(const QString& file, const QString& screenSet, const WindowShape& shape) {
  if (file.isEmpty() || !OursOrMissing(file)) return false;
  QSettings settings(file, QSettings::IniFormat);
  // Someone else's file under this name is not ours to rewrite.
  if (settings.status() != QSettings::NoError) return false;
  settings.beginGroup(screenSet);
  settings.setValue(kGeometry, shape.Geometry);
  settings.setValue(kMaximized, shape.Maximized);
  settings.setValue(kDivider, shape.Divider);
  settings.setValue(kColumns, shape.Columns);
  settings.endGroup();
  settings.sync();
  return settings.status() == QSettings::NoError;
}
