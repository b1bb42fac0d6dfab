#include "portal_capture.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QImageReader>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

namespace z900::screengrab {
namespace {

constexpr char kPortalService[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kScreenshotInterface[] = "org.freedesktop.portal.Screenshot";
constexpr char kRequestInterface[] = "org.freedesktop.portal.Request";

// The portal answers the call at once and the picture later; while its dialog is open the user
// may take their time, but a portal that never answers must not keep us forever.
constexpr int kCallTimeoutMs = 30'000;
constexpr int kAnswerTimeoutMs = 10 * 60'000;

// Response codes of a portal request.
constexpr uint kResponseSuccess = 0;
constexpr uint kResponseCancelled = 1;

}  // namespace

// One screenshot request: subscribes to the Response signal of the request object before the
// call (so that a fast answer is not missed), calls, and waits for the answer or for the portal
// to leave the bus. The subscription names no sender, because the portal may be started by
// the call itself; an answer counts only from the sender that answered the call.
class PortalRequest final : public QObject, protected QDBusContext {
  Q_OBJECT

 public:
  explicit PortalRequest(QDBusConnection bus) : bus_(std::move(bus)) {}

  Capture Run(CaptureMode mode) {
    const QString token = QString("z900_screengrab_%1").arg(QRandomGenerator::global()->generate());
    // The request object's path follows from our unique name and the token.
    QString sender = bus_.baseService().mid(1);
    sender.replace('.', '_');
    Listen(QString("%1/request/%2/%3").arg(kPortalPath, sender, token));

    QDBusServiceWatcher watcher(kPortalService, bus_, QDBusServiceWatcher::WatchForUnregistration);
    connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
      Answer(Capture::Failed("the desktop portal left the bus without an answer"));
    });

    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                       kScreenshotInterface, "Screenshot");
    const QVariantMap options = {
        {"handle_token", token}, {"modal", true}, {"interactive", mode != CaptureMode::kDesktop}};
    call << QString() << options;
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) {
      return Capture::Failed(
          "the desktop portal cannot take screenshots: " +
          (reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage()));
    }
    portal_ = reply.service();
    // Portals older than the handle_token rule name another request object.
    const QString handle = reply.arguments().front().value<QDBusObjectPath>().path();
    if (!handle.isEmpty() && handle != request_path_) Listen(handle);

    QTimer::singleShot(kAnswerTimeoutMs, this,
                       [this] { Answer(Capture::Failed("the desktop portal did not answer")); });
    if (!answer_) loop_.exec();
    return std::move(*answer_);
  }

 private slots:
  void OnResponse(uint response, const QVariantMap& results) {
    if (message().service() != portal_) return;
    if (response == kResponseCancelled) return Answer(Capture::Cancelled());
    if (response != kResponseSuccess) {
      return Answer(Capture::Failed("the desktop portal could not take the screenshot"));
    }
    Answer(LoadPicture(results.value("uri").toString()));
  }

 private:
  void Listen(const QString& path) {
    if (!request_path_.isEmpty()) {
      bus_.disconnect({}, request_path_, kRequestInterface, "Response", this,
                      SLOT(OnResponse(uint, QVariantMap)));
    }
    request_path_ = path;
    bus_.connect({}, request_path_, kRequestInterface, "Response", this,
                 SLOT(OnResponse(uint, QVariantMap)));
  }

  void Answer(Capture capture) {
    if (answer_) return;
    answer_ = std::move(capture);
    loop_.quit();
  }

  // The portal hands the picture over as a file; only a local file is accepted.
  static Capture LoadPicture(const QString& uri) {
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile()) {
      return Capture::Failed("the desktop portal gave no local picture file: '" + uri + "'");
    }
    QImageReader reader(url.toLocalFile());
    QImage image = reader.read();
    if (image.isNull()) {
      return Capture::Failed("cannot read the portal's picture " + url.toLocalFile() + ": " +
                             reader.errorString());
    }
    return Capture::Taken(std::move(image));
  }

  QDBusConnection bus_;
  QString request_path_;
  QString portal_;  // unique bus name of the portal that took the call
  QEventLoop loop_;
  std::optional<Capture> answer_;
};

Capture CaptureThroughPortal(CaptureMode mode) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    return Capture::Failed("the desktop portal cannot be reached: no session bus");
  }
  PortalRequest request(bus);
  return request.Run(mode);
}

}  // namespace z900::screengrab

#include "portal_capture.moc"
