#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include "ui/tray_host.h"

namespace z900::ui {

TrayHost CurrentTrayHost() {
  const QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return TrayHost::kIconWindow;
  const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
  QDBusMessage get = QDBusMessage::createMethodCall(
      watcher, QStringLiteral("/StatusNotifierWatcher"),
      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
  const QDBusMessage reply = bus.call(get);
  const bool registered = reply.type() == QDBusMessage::ReplyMessage &&
                          !reply.arguments().isEmpty() &&
                          qvariant_cast<QDBusVariant>(reply.arguments().front()).variant().toBool();
  return registered ? TrayHost::kStatusNotifier : TrayHost::kIconWindow;
}

}  // namespace z900::ui
