// Stand-ins for the desktop's screenshot portal and notification service, started by a private
// session bus on the first call. Each answers one request, writes what it was asked to a log
// file and ends.
//
//   fake_desktop_services portal ANSWER PICTURE LOG   ANSWER: picture, cancel, silent, remote
//   fake_desktop_services notifications LOG
#include <QColor>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QDebug>
#include <QFile>
#include <QImage>
#include <QTextStream>
#include <QUrl>
#include <QVariantMap>

namespace {

void AppendLog(const QString& path, const QString& line) {
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Append)) QTextStream(&file) << line << '\n';
}

// Ends the program once what was sent has left: a round trip to the bus comes back only after
// every message queued before it.
void Finish(const QDBusConnection& connection) {
  connection.interface()->serviceOwner("org.freedesktop.DBus");
  QCoreApplication::quit();
}

class FakePortal final : public QDBusVirtualObject {
 public:
  FakePortal(QString answer, QString picture, QString log)
      : answer_(std::move(answer)), picture_(std::move(picture)), log_(std::move(log)) {}

  QString introspect(const QString& /*path*/) const override { return {}; }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.interface() != "org.freedesktop.portal.Screenshot" ||
        message.member() != "Screenshot" || message.arguments().size() != 2) {
      return false;
    }
    const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().at(1));
    const QString token = options.value("handle_token").toString();
    AppendLog(log_, QString("interactive=%1 token=%2")
                        .arg(options.value("interactive").toBool() ? "true" : "false", token));
    QString sender = message.service().mid(1);
    sender.replace('.', '_');
    const QString request = "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
    connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));

    if (answer_ != "silent") {
      QDBusMessage response =
          QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response");
      QVariantMap results;
      if (answer_ == "picture") {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(QColor(0, 200, 0));
        image.save(picture_, "PNG");
        results.insert("uri", QUrl::fromLocalFile(picture_).toString());
      } else if (answer_ == "remote") {
        results.insert("uri", "https://example.org/picture.png");
      }
      response << uint{answer_ == "cancel" ? 1u : 0u} << results;
      connection.send(response);
    }
    Finish(connection);
    return true;
  }

 private:
  QString answer_;
  QString picture_;
  QString log_;
};

class FakeNotifications final : public QDBusVirtualObject {
 public:
  explicit FakeNotifications(QString log) : log_(std::move(log)) {}

  QString introspect(const QString& /*path*/) const override { return {}; }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.member() != "Notify" || message.arguments().size() != 8) return false;
    const QList<QVariant> args = message.arguments();
    const QVariantMap hints = qdbus_cast<QVariantMap>(args.at(6));
    AppendLog(log_, QString("summary=%1 body=%2 image=%3")
                        .arg(args.at(3).toString(), args.at(4).toString(),
                             hints.value("image-path").toString()));
    connection.send(message.createReply(QVariant::fromValue(uint{1})));
    Finish(connection);
    return true;
  }

 private:
  QString log_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  QDBusConnection bus = QDBusConnection::sessionBus();
  std::unique_ptr<QDBusVirtualObject> service;
  QString name;
  QString path;
  if (args.size() == 5 && args[1] == "portal") {
    service = std::make_unique<FakePortal>(args[2], args[3], args[4]);
    name = "org.freedesktop.portal.Desktop";
    path = "/org/freedesktop/portal/desktop";
  } else if (args.size() == 3 && args[1] == "notifications") {
    service = std::make_unique<FakeNotifications>(args[2]);
    name = "org.freedesktop.Notifications";
    path = "/org/freedesktop/Notifications";
  } else {
    qWarning() << "usage: fake_desktop_services portal ANSWER PICTURE LOG | notifications LOG;"
               << "got" << args;
    return 2;
  }
  if (!bus.registerVirtualObject(path, service.get()) || !bus.registerService(name)) return 1;
  return app.exec();
}
