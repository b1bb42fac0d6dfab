#include "ui/qt_instance_lock.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>

#include "platform/utf8_path.h"

namespace z900::ui {
namespace {

namespace fs = std::filesystem;

constexpr char kLockFile[] = "Z900Config.lock";
constexpr char kSocketName[] = "Z900Config";
constexpr int kRetryMs = 50;  // between a second instance's attempts to connect

int Remaining(const QDeadlineTimer& deadline) {
  return std::max(1, static_cast<int>(deadline.remainingTime()));
}

QString QtPath(const fs::path& path) { return QString::fromStdU16String(path.u16string()); }

}  // namespace

QtInstanceLock::QtInstanceLock(fs::path folder, Limits limits, QObject* parent)
    : QObject(parent), folder_(std::move(folder)), limits_(limits) {}

QtInstanceLock::~QtInstanceLock() {
  // Closing removes the socket file; the lock goes after it, so a new first instance never
  // finds the socket of this one.
  if (server_ != nullptr) server_->close();
}

QString QtInstanceLock::socket_path() const { return QtPath(folder_ / kSocketName); }

platform::InstanceLock::Result QtInstanceLock::Acquire(std::string& why) {
  // The folder of our own is made here; the folders above it are the user's (a cache folder
  // that does not exist yet).
  std::error_code ignored;
  if (folder_.has_parent_path()) fs::create_directories(folder_.parent_path(), ignored);
  if (const std::error_code error = platform::EnsurePrivateFolder(folder_)) {
    why = platform::PathToUtf8(folder_) + " cannot be a folder of this user's own: " + error.message();
    return Result::kUnavailable;
  }
  std::error_code error;
  lock_ = platform::LockFile(folder_ / kLockFile, platform::LockMode::kExclusive, false, error);
  if (!lock_) {
    if (error == std::errc::resource_unavailable_try_again) return Result::kAnotherRuns;
    why = "cannot lock " + platform::PathToUtf8(folder_ / kLockFile) + ": " + error.message();
    return Result::kUnavailable;
  }
  if (!Listen(why)) return Result::kUnavailable;
  platform::MarkRunningInstance();
  // Whatever closes the channel shows in the folder: the socket file goes (removed by someone,
  // or by the server itself when an accept failed for want of descriptors).
  watcher_ = new QFileSystemWatcher(this);
  watcher_->addPath(QtPath(folder_));
  connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &QtInstanceLock::CheckChannel);
  retry_ = new QTimer(this);
  retry_->setSingleShot(true);
  retry_->setInterval(limits_.retry_ms);
  connect(retry_, &QTimer::timeout, this, &QtInstanceLock::CheckChannel);
  return Result::kFirst;
}

bool QtInstanceLock::Listen(std::string& why) {
  // Made anew each time, as the folder may have been made anew; the server is closed, so the
  // old path is no longer in its use.
  listen_path_ = std::make_unique<platform::LocalSocketPath>(folder_, kSocketName);
  if (listen_path_->path().empty()) {
    why = "cannot take requests at " + socket_path().toStdString() + ": " +
          listen_path_->error().message();
    return false;
  }
  if (server_ == nullptr) {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &QtInstanceLock::Accept);
  }
  const QString name = QString::fromStdString(listen_path_->path());
  // Whoever held the lock before has ended; a socket file of theirs is left over.
  QLocalServer::removeServer(name);
  if (!server_->listen(name)) {
    why = "cannot take requests at " + socket_path().toStdString() + ": " +
          server_->errorString().toStdString();
    return false;
  }
  std::error_code error;
  socket_is_file_ = fs::is_socket(folder_ / kSocketName, error);
  return true;
}

void QtInstanceLock::CheckChannel() {
  if (!lock_ || server_ == nullptr) return;
  std::error_code error;
  const bool listening = server_->isListening();
  if (listening && (!socket_is_file_ || fs::is_socket(folder_ / kSocketName, error))) return;
  if (!lost_) {
    lost_ = true;
    emit ChannelLost(listening ? QStringLiteral("its socket file was removed")
                               : QStringLiteral("the server closed: ") + server_->errorString());
  }
  server_->close();
  // The whole folder may have gone: it is made again and the lock taken anew there, unless an
  // instance started meanwhile holds it (then this one can do nothing about it).
  if (!fs::exists(folder_ / kLockFile, error)) {
    if (platform::EnsurePrivateFolder(folder_)) return retry_->start();
    auto lock =
        platform::LockFile(folder_ / kLockFile, platform::LockMode::kExclusive, false, error);
    if (!lock) return;
    lock_ = std::move(lock);
  }
  if (!watcher_->directories().contains(QtPath(folder_))) watcher_->addPath(QtPath(folder_));
  std::string why;
  if (!Listen(why)) return retry_->start();  // most likely no descriptor free yet
  lost_ = false;
  emit Reopened();
}

bool QtInstanceLock::Send(app::InstanceRequest request, std::string& why) {
  const std::string line = app::FormatInstanceRequest(request);
  const QDeadlineTimer deadline(limits_.patience_ms);
  const platform::LocalSocketPath path(folder_, kSocketName);
  std::string problem = "cannot be reached at " + socket_path().toStdString();
  if (path.path().empty()) {
    problem += ": " + path.error().message();
  } else {
    for (;;) {
      QLocalSocket socket;
      socket.connectToServer(QString::fromStdString(path.path()));
      if (socket.waitForConnected(Remaining(deadline))) {
        socket.write(line.data(), static_cast<qint64>(line.size()));
        // Only the answer tells that the request was carried out: a channel that takes requests
        // and never answers is as good as none.
        while (!socket.canReadLine() && socket.waitForReadyRead(Remaining(deadline))) {
        }
        if (socket.canReadLine() && socket.readLine(64) == app::kRequestDone) {
          socket.disconnectFromServer();
          return true;
        }
        problem = "did not answer at " + socket_path().toStdString() + " within " +
                  std::to_string(limits_.patience_ms) + " ms";
      } else {
        problem = "cannot be reached at " + socket_path().toStdString() + ": " +
                  socket.errorString().toStdString();
      }
      if (deadline.remainingTime() < kRetryMs) break;
      QThread::msleep(kRetryMs);
    }
  }
  const fs::path lock_file = folder_ / kLockFile;
  const QString owner = QFileInfo(QtPath(lock_file)).owner();
  why = "the instance that holds " + platform::PathToUtf8(lock_file) +
        (owner.isEmpty() ? std::string() : " (a file of " + owner.toStdString() + ")") + " " +
        problem;
  return false;
}

void QtInstanceLock::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    // Clients that connect and say nothing must not use up our descriptors: the oldest goes.
    if (connections_.size() >= static_cast<std::size_t>(std::max(1, limits_.max_connections))) {
      Forget(connections_.front());
    }
    connections_.push_back(socket);
    auto* idle = new QTimer(socket);
    idle->setObjectName(QStringLiteral("idle"));
    idle->setSingleShot(true);
    idle->setInterval(limits_.idle_ms);
    connect(idle, &QTimer::timeout, this, [this, socket] { Forget(socket); });
    idle->start();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadRequests(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] { Forget(socket); });
    // A request written before the connection was taken is there already.
    ReadRequests(socket);
  }
}

void QtInstanceLock::Forget(QLocalSocket* socket) {
  const auto it = std::find(connections_.begin(), connections_.end(), socket);
  if (it == connections_.end()) return;
  connections_.erase(it);
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
}

void QtInstanceLock::ReadRequests(QLocalSocket* socket) {
  const QPointer<QLocalSocket> alive(socket);
  while (alive && socket->canReadLine()) {
    QByteArray line = socket->readLine(app::kMaxRequestLine + 2);
    // A line too long to be a request is nobody's: the connection goes.
    if (!line.endsWith('\n')) return Forget(socket);
    line.chop(1);
    const auto request = app::ParseInstanceRequest(std::string_view(line.data(), line.size()));
    if (!request) continue;
    emit RequestReceived(*request);
    if (!alive || socket->state() != QLocalSocket::ConnectedState) return;
    socket->write(app::kRequestDone);
    if (auto* idle = socket->findChild<QTimer*>(QStringLiteral("idle"))) idle->start();
  }
  if (alive && socket->bytesAvailable() > static_cast<qint64>(app::kMaxRequestLine)) {
    Forget(socket);
  }
}

}  // namespace z900::ui
