#pragma once

// One window, many starts: the window offers the freedesktop application interface
// (org.freedesktop.Application) on the session bus under the program's application id, and a
// second start in window mode hands it its paths there as file URIs instead of opening a window
// of its own. URIs carry every byte of a name (percent-encoded), so names that are not UTF-8
// arrive as they are.

#include "app/Startup.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <functional>
#include <memory>

class MainWindow;
class QWidget;

// The application id: the bus name, the desktop file's and the icon's name.
extern const QString kApplicationId;
// The object path the freedesktop interface lives at ("/" + the id with dots as slashes).
extern const QString kApplicationObjectPath;

// file:// URIs for absolute paths, and back. A URI that is no local file URI (another scheme,
// another host, a relative path) is left out of the paths and counted in `refused`.
QStringList PathsToFileUris(const QStringList& paths);
QStringList FileUrisToPaths(const QStringList& uris, int* refused = nullptr);

// The running window's end. `accept` gets the paths as a drop hands them on and returns false
// while the window cannot take them (a load or a run is going, the commands are locked); they
// are kept and offered again until it can, in the order they came. `bringToFront` is called
// for every start that reached the window.
class WindowHandOverService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

 public:
  using Accept = std::function<bool(const QStringList& paths)>;
  using BringToFront = std::function<void(const QVariantMap& platformData)>;

  WindowHandOverService(Accept accept, BringToFront bringToFront, QObject* parent = nullptr);
  ~WindowHandOverService() override;  // gives the application id back

  // Registers the object and then the application id on `connection`. False when there is no
  // bus or another process owns the id already; the window works on without the hand-over.
  bool Register(QDBusConnection connection);

  // Paths that arrived but the window has not taken yet.
  const QStringList& Waiting() const { return waiting_; }

 public slots:
  Q_SCRIPTABLE void Activate(const QVariantMap& platformData);
  Q_SCRIPTABLE void Open(const QStringList& uris, const QVariantMap& platformData);
  Q_SCRIPTABLE void ActivateAction(const QString& actionName, const QVariantList& parameter,
                                   const QVariantMap& platformData);

 private:
  void OfferWaiting();

  Accept accept_;
  BringToFront bringToFront_;
  QDBusConnection connection_{QString()};
  bool registered_ = false;
  QStringList waiting_;
  QTimer retry_;
};

// The main window's service on `connection`: paths are loaded as a drop onto the list loads
// them, once no load, run, dialog or locked command is in the way. Null when it could not
// register.
std::unique_ptr<WindowHandOverService> OfferWindowOnBus(MainWindow& window,
                                                        QDBusConnection connection);

// Brings `window` (or the modal window in front of it) to the front, with the desktop's
// activation token from `platformData` where the starting program had one.
void BringWindowToFront(QWidget& window, const QVariantMap& platformData);

// The second start's end: hands `paths` (absolute) to the window on `connection`, waiting up
// to `waitMs` for it to appear on the bus (the first copy may still be building its window).
HandOverResult HandPathsOver(QDBusConnection connection, const QStringList& paths, int waitMs);

// The same on the session bus; the hook start-up calls. Makes the application object QtDBus
// needs for the time of the call.
HandOverResult HandPathsToRunningWindow(const QStringList& paths);
