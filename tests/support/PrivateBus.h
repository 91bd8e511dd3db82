#pragma once

// A session bus of the test's own: a dbus-daemon started for it and ended with it, so that
// nothing reaches the desktop session of whoever runs the tests.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class PrivateBus {
 public:
  PrivateBus() {
    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                          QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    daemon_.start();
    if (!daemon_.waitForStarted(10000)) return;
    QByteArray line;
    while (!line.contains('\n') && daemon_.waitForReadyRead(10000))
      line += daemon_.readAllStandardOutput();
    address_ = QString::fromUtf8(line.trimmed());
  }
  ~PrivateBus() {
    if (daemon_.state() == QProcess::NotRunning) return;
    daemon_.terminate();
    if (!daemon_.waitForFinished(5000)) daemon_.kill();
    daemon_.waitForFinished(5000);
  }
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  // The address for DBUS_SESSION_BUS_ADDRESS; empty when the daemon could not be started.
  const QString& Address() const { return address_; }

 private:
  QProcess daemon_;
  QString address_;
};
