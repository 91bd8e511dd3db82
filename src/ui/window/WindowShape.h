#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

// The main window's shape as the user left it: size and place, maximised or not, where the
// divider between the pages and the list stands and how wide the list's columns are. Kept in an
// ini file of the window's own, one group per set of screens, so that a laptop on its own and
// the same laptop at a desk with two monitors each open the window as it was last left there.
struct WindowShape {
  QRect Geometry;  // the normal (not maximised) frame-less geometry
  bool Maximized = false;
  QByteArray Divider;  // QSplitter::saveState
  QByteArray Columns;  // QHeaderView::saveState of the loaded-file list
};

// The key of a set of screens: their geometries, in order of place, e.g. "1280x800+0+0".
QString ScreenSetKey(std::vector<QRect> screens);

// Where the window opens the first time: about two thirds of the screen's available area, never
// less than `smallest` nor more than the area, in the middle.
QRect FirstGeometry(const QRect& available, const QSize& smallest);

// The stored geometry, moved (and shrunk when needed) so that its top edge, where the title bar
// is, lies on one of the screens' available areas; unchanged when enough of it does already. The
// screen nearest the stored place takes it. `smallest` stays the least size.
QRect BroughtOnScreen(const QRect& stored, const std::vector<QRect>& availables,
                      const QSize& smallest);

// The shape stored for the set of screens; nothing when the file, the group or a usable
// geometry is missing, or the file is not a readable ini file.
std::optional<WindowShape> ReadWindowShape(const QString& file, const QString& screenSet);

// Stores the shape for the set of screens, keeping the other sets' groups. A file there that is
// not a readable ini file is left as it is (false), as is a failed write.
bool WriteWindowShape(const QString& file, const QString& screenSet, const WindowShape& shape);
