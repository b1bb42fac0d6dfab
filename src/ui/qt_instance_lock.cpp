#include "ui/qt_instance_lock.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace z900::ui {
namespace {

constexpr char kLockFile[] = "Z900Config.lock";
constexpr char kSocketName[] = "Z900Config";
constexpr int kRetryMs = 50;
constexpr int kWriteMs = 1000;  // once connected, a line goes into the socket's buffer at once

}  // namespace

QtInstanceLock::QtInstanceLock(std::filesystem::path folder, int patience_ms, QObject* parent)
    : QObject(parent), folder_(std::move(folder)), patience_ms_(patience_ms) {}

QtInstanceLock::~QtInstanceLock() {
  // Closing removes the socket file; the lock goes after it, so a new first instance never
  // finds the socket of this one.
  if (server_ != nullptr) server_->close();
}

QString QtInstanceLock::socket_path() const {
  return QString::fromStdU16String((folder_ / kSocketName).u16string());
}

platform::InstanceLock::Result QtInstanceLock::Acquire(std::string& why) {
  if (const std::error_code error = platform::EnsurePrivateFolder(folder_)) {
    why = folder_.string() + " cannot be a folder of this user's own: " + error.message();
    return Result::kUnavailable;
  }
  std::error_code error;
  lock_ = platform::LockFile(folder_ / kLockFile, platform::LockMode::kExclusive, false, error);
  if (!lock_) {
    if (error == std::errc::resource_unavailable_try_again) return Result::kAnotherRuns;
    why = "cannot lock " + (folder_ / kLockFile).string() + ": " + error.message();
    return Result::kUnavailable;
  }
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  // Whoever held the lock before has ended; a socket file of theirs is left over.
  QLocalServer::removeServer(socket_path());
  if (!server_->listen(socket_path())) {
    why = "cannot take requests at " + socket_path().toStdString() + ": " +
          server_->errorString().toStdString();
    return Result::kUnavailable;
  }
  connect(server_, &QLocalServer::newConnection, this, &QtInstanceLock::Accept);
  return Result::kFirst;
}

bool QtInstanceLock::Send(app::InstanceRequest request) {
  const std::string line = app::FormatInstanceRequest(request);
  const QDeadlineTimer deadline(patience_ms_);
  for (;;) {
    QLocalSocket socket;
    socket.connectToServer(socket_path());
    if (socket.waitForConnected(std::max(1, static_cast<int>(deadline.remainingTime())))) {
      socket.write(line.data(), static_cast<qint64>(line.size()));
      const bool sent = socket.waitForBytesWritten(kWriteMs);
      socket.disconnectFromServer();
      return sent;
    }
    if (deadline.remainingTime() < kRetryMs) return false;
    QThread::msleep(kRetryMs);
  }
}

void QtInstanceLock::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadRequests(socket); });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // A request written before the connection was taken is there already.
    ReadRequests(socket);
  }
}

void QtInstanceLock::ReadRequests(QLocalSocket* socket) {
  while (socket->canReadLine()) {
    QByteArray line = socket->readLine(app::kMaxRequestLine + 2);
    // A line too long to be a request is nobody's: the connection goes.
    if (!line.endsWith('\n')) {
      socket->abort();
      return;
    }
    line.chop(1);
    if (const auto request = app::ParseInstanceRequest(std::string_view(line.data(), line.size())))
      emit RequestReceived(*request);
  }
  if (socket->bytesAvailable() > static_cast<qint64>(app::kMaxRequestLine)) socket->abort();
}

}  // namespace z900::ui
