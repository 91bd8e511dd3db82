#include "ui/FileManager.h"

#include "ui/FilePaths.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QUrl>

bool ShowInFileManager(const QString& path) {
  const QString service = QStringLiteral("org.freedesktop.FileManager1");
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected() && bus.interface() != nullptr) {
    // Activatable services start on demand; the call itself tells whether one answered.
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, QStringLiteral("/org/freedesktop/FileManager1"), service,
        QStringLiteral("ShowItems"));
    call << QStringList{FileUrlOfPath(path)} << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
  }
  const qsizetype slash = path.lastIndexOf(u'/');
  if (slash < 0) return false;
  return QDesktopServices::openUrl(QUrl(FileUrlOfPath(path.left(slash + 1)), QUrl::StrictMode));
}
