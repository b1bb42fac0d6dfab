#include "desktop_notification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

namespace z900::screengrab {
namespace {

// A notification is a courtesy: never wait long for a service that does not answer.
constexpr int kNotifyTimeoutMs = 3000;

}  // namespace

bool NotifyDesktop(const QString& summary, const QString& body, const QString& picture_path) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                     "/org/freedesktop/Notifications",
                                                     "org.freedesktop.Notifications", "Notify");
  QVariantMap hints;
  if (!picture_path.isEmpty()) {
    hints.insert("image-path", QUrl::fromLocalFile(picture_path).toString());
  }
  // The body may be read as markup, and a path may hold '&' or '<'.
  call << QString("z900-screengrab") << uint{0} << QString("camera-photo") << summary
       << body.toHtmlEscaped() << QStringList() << hints << -1;
  return bus.call(call, QDBus::Block, kNotifyTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

}  // namespace z900::screengrab
