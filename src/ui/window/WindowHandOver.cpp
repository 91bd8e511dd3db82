#include "ui/window/WindowHandOver.h"

#include "platform/FileName.h"
#include "ui/list/LoadedFiles.h"
#include "ui/run/RunCommands.h"
#include "ui/window/MainWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>

const QString kApplicationId = QStringLiteral("org.example.mervane");
const QString kApplicationObjectPath = QStringLiteral("/org/example/mervane");

namespace {

const QString kApplicationInterface = QStringLiteral("org.freedesktop.Application");

// Reading a URI stops at these: a file URI that holds them raw is not one we can trust.
bool HasQueryOrFragment(const QByteArray& uri) {
  return uri.contains('?') || uri.contains('#');
}

// The desktop's proof that the user asked for this start, so that the running window may take
// the focus: Wayland's activation token, X11's startup notification id.
QVariantMap StartPlatformData() {
  QVariantMap data;
  const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
  if (!token.isEmpty()) data.insert(QStringLiteral("activation-token"), token);
  const QString startupId = qEnvironmentVariable("DESKTOP_STARTUP_ID");
  if (!startupId.isEmpty()) data.insert(QStringLiteral("desktop-startup-id"), startupId);
  return data;
}

// The window is not on the bus (yet): its copy may still be starting.
bool NobodyThere(const QDBusMessage& reply) {
  const QString error = reply.errorName();
  return error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
         error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
         error == QLatin1String("org.freedesktop.DBus.Error.UnknownObject");
}

}  // namespace

QStringList PathsToFileUris(const QStringList& paths) {
  QStringList uris;
  uris.reserve(paths.size());
  for (const QString& path : paths)
    uris << QLatin1String("file://") +
                QString::fromLatin1(EncodeFileName(path).toPercentEncoding("/"));
  return uris;
}

QStringList FileUrisToPaths(const QStringList& uris, int* refused) {
  QStringList paths;
  int refusedCount = 0;
  for (const QString& uri : uris) {
    QByteArray rest = uri.toUtf8();
    if (!rest.startsWith("file://") || HasQueryOrFragment(rest)) {
      ++refusedCount;
      continue;
    }
    rest.remove(0, 7);
    if (rest.startsWith("localhost/")) rest.remove(0, 9);
    // Anything but "/" here names another host: not a file of this machine.
    const QByteArray bytes = QByteArray::fromPercentEncoding(rest);
    if (!bytes.startsWith('/') || bytes.contains('\0') || bytes.contains('\n')) {
      // A line break would split the path in two on its way into the list.
      ++refusedCount;
      continue;
    }
    paths << DecodeFileName(bytes);
  }
  if (refused != nullptr) *refused = refusedCount;
  return paths;
}

WindowHandOverService::WindowHandOverService(Accept accept, BringToFront bringToFront,
                                             QObject* parent)
    : QObject(parent), accept_(std::move(accept)), bringToFront_(std::move(bringToFront)) {
  retry_.setInterval(250);
  connect(&retry_, &QTimer::timeout, this, &WindowHandOverService::OfferWaiting);
}

WindowHandOverService::~WindowHandOverService() {
  if (!registered_) return;
  connection_.unregisterService(kApplicationId);
  connection_.unregisterObject(kApplicationObjectPath);
}

bool WindowHandOverService::Register(QDBusConnection connection) {
  if (registered_ || !connection.isConnected()) return false;
  if (!connection.registerObject(kApplicationObjectPath, this,
                                 QDBusConnection::ExportScriptableSlots))
    return false;
  // The name last: a start that sees it may call at once.
  if (!connection.registerService(kApplicationId)) {
    connection.unregisterObject(kApplicationObjectPath);
    return false;
  }
  connection_ = connection;
  registered_ = true;
  return true;
}

void WindowHandOverService::Activate(const QVariantMap& platformData) {
  bringToFront_(platformData);
}

void WindowHandOverService::Open(const QStringList& uris, const QVariantMap& platformData) {
  waiting_ += FileUrisToPaths(uris);
  bringToFront_(platformData);
  OfferWaiting();
}

void WindowHandOverService::ActivateAction(const QString&, const QVariantList&,
                                           const QVariantMap& platformData) {
  // The window has no actions of its own to start; being asked still brings it forward.
  bringToFront_(platformData);
}

void WindowHandOverService::OfferWaiting() {
  if (!waiting_.isEmpty() && accept_(waiting_)) waiting_.clear();
  if (waiting_.isEmpty())
    retry_.stop();
  else if (!retry_.isActive())
    retry_.start();
}

std::unique_ptr<WindowHandOverService> OfferWindowOnBus(MainWindow& window,
                                                        QDBusConnection connection) {
  auto service = std::make_unique<WindowHandOverService>(
      [&window](const QStringList& paths) {
        // Nothing can be dropped onto the list while a dialog is up in front of it.
        if (window.CommandsLocked() || window.Files()->LoadBusy() || window.Runs()->Busy() ||
            QApplication::activeModalWidget() != nullptr)
          return false;
        window.DropOnLoadTarget(paths);
        return true;
      },
      [&window](const QVariantMap& platformData) { BringWindowToFront(window, platformData); });
  if (!service->Register(connection)) return nullptr;
  return service;
}

void BringWindowToFront(QWidget& window, const QVariantMap& platformData) {
  // Qt's Wayland shell hands this token to the compositor with the next activation.
  const QString token = platformData.value(QStringLiteral("activation-token")).toString();
  if (!token.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
  QWidget* target = QApplication::activeModalWidget();
  if (target == nullptr && window.isVisible()) target = &window;
  if (target == nullptr) {
    // A run has the window stepped aside: its progress window stands in front.
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top->isVisible() && top->isWindow()) {
        target = top;
        break;
      }
  }
  if (target == nullptr) return;
  if (target->isMinimized())
    target->setWindowState((target->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  target->raise();
  target->activateWindow();
}

HandOverResult HandPathsOver(QDBusConnection connection, const QStringList& paths, int waitMs) {
  if (!connection.isConnected()) return HandOverResult::kNoSessionBus;
  QDBusMessage call = QDBusMessage::createMethodCall(
      kApplicationId, kApplicationObjectPath, kApplicationInterface,
      paths.isEmpty() ? QStringLiteral("Activate") : QStringLiteral("Open"));
  if (paths.isEmpty())
    call << StartPlatformData();
  else
    call << PathsToFileUris(paths) << StartPlatformData();
  // Nothing on the bus may start a window for us: the lock says one runs already.
  call.setAutoStartService(false);
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    const QDBusMessage reply = connection.call(call, QDBus::Block, 25000);
    if (reply.type() == QDBusMessage::ReplyMessage) return HandOverResult::kHandedOver;
    if (!NobodyThere(reply) || waited.elapsed() >= waitMs) return HandOverResult::kNoWindowAnswered;
    QThread::msleep(100);
  }
}

HandOverResult HandPathsToRunningWindow(const QStringList& paths) {
  // QtDBus runs its connections in a thread of its own that wants an application object. This
  // start ends right after the call, so the object simply stays.
  if (QCoreApplication::instance() == nullptr) {
    static int argc = 1;
    static char name[] = "mervane";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
  }
  const QString connectionName = QStringLiteral("mervane-hand-over");
  HandOverResult result;
  {
    const QDBusConnection connection =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
    // The first copy takes the lock before its window is on the bus: a start right after it
    // waits a moment for the window rather than giving up at once.
    result = HandPathsOver(connection, paths, 5000);
  }
  QDBusConnection::disconnectFromBus(connectionName);
  return result;
}
