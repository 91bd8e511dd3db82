#include "ui/widgets/FileManager.h"

#include "ui/widgets/FilePaths.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QUrl>

namespace {

// Asks the desktop's file manager to act on one file; false when none answered.
bool CallFileManager(const QString& method, const QString& path) {
  const QString service = QStringLiteral("org.freedesktop.FileManager1");
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  // Activatable services start on demand; the call itself tells whether one answered.
  QDBusMessage call = QDBusMessage::createMethodCall(
      service, QStringLiteral("/org/freedesktop/FileManager1"), service, method);
  call << QStringList{FileUrlOfPath(path)} << QString();
  const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
  return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace

bool ShowPropertiesInFileManager(const QString& path) {
  return CallFileManager(QStringLiteral("ShowItemProperties"), path);
}

bool ShowInFileManager(const QString& path) {
  if (CallFileManager(QStringLiteral("ShowItems"), path)) return true;
  const qsizetype slash = path.lastIndexOf(u'/');
  if (slash < 0) return false;
  return QDesktopServices::openUrl(QUrl(FileUrlOfPath(path.left(slash + 1)), QUrl::StrictMode));
}
