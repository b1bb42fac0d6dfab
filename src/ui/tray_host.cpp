#include "ui/tray_host.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

namespace z900::ui {

TrayHost CurrentTrayHost() {
  const QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return TrayHost::kXEmbed;
  const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
  QDBusMessage get = QDBusMessage::createMethodCall(
      watcher, QStringLiteral("/StatusNotifierWatcher"),
      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
  const QDBusMessage reply = bus.call(get);
  const bool registered = reply.type() == QDBusMessage::ReplyMessage &&
                          !reply.arguments().isEmpty() &&
                          qvariant_cast<QDBusVariant>(reply.arguments().front()).variant().toBool();
  return registered ? TrayHost::kStatusNotifier : TrayHost::kXEmbed;
}

bool ActivationShowsWindow(QSystemTrayIcon::ActivationReason why, TrayHost host) {
  switch (why) {
    case QSystemTrayIcon::DoubleClick:
      return true;
    case QSystemTrayIcon::Trigger:
      return host == TrayHost::kStatusNotifier;
    default:
      return false;
  }
}

}  // namespace z900::ui
