#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <memory>
#include <string>

#include "app/instance_messages.h"
#include "platform/file_io.h"
#include "platform/instance_lock.h"

class QFileSystemWatcher;
class QLocalServer;
class QLocalSocket;
class QTimer;

namespace z900::ui {

// The time limits and the size of the channel to the running instance.
struct InstanceChannelLimits {
  // How long Send tries to reach a first instance and have its answer; one that holds the
  // lock but is still starting may not take requests yet.
  int patience_ms = 3000;
  // How long a connection may stay without bringing a request before it is closed.
  int idle_ms = 2000;
  // Connections held at once; a new one beyond them closes the oldest.
  int max_connections = 8;
  // How soon a channel that could not be opened again is tried once more.
  int retry_ms = 500;
};

// The single-instance lock of the window program, in a folder of the user's own: a locked file
// "Z900Config.lock" that the first instance holds until it ends (the system lets it go however
// the process ends), and beside it the local socket "Z900Config" on which that instance takes
// requests from others, one line each, and answers each it carried out (app/instance_messages.h).
// The channel outlives what could end it: a failed accept (no descriptors left), a socket file
// someone removed, clients that connect and say nothing.
class QtInstanceLock final : public QObject, public platform::InstanceLock {
  Q_OBJECT

 public:
  using Limits = InstanceChannelLimits;

  explicit QtInstanceLock(std::filesystem::path folder, Limits limits = {},
                          QObject* parent = nullptr);
  ~QtInstanceLock() override;

  Result Acquire(std::string& why) override;
  bool RequestShow(std::string& why) override {
    return Send(app::InstanceRequest::kShowWindow, why);
  }
  // Sends one request to the running instance and waits for its answer; false, with `why`,
  // when none came within the patience.
  bool Send(app::InstanceRequest request, std::string& why);

  // The socket's place in the folder.
  QString socket_path() const;
  // Connections open now.
  int connection_count() const { return static_cast<int>(connections_.size()); }

 signals:
  // A request from another program, on the ui thread.
  void RequestReceived(app::InstanceRequest request);
  // The channel was found closed (an accept that failed, a socket file removed); `why` says
  // how. It is opened again as soon as it can be, then Reopened follows.
  void ChannelLost(const QString& why);
  void Reopened();

 private:
  bool Listen(std::string& why);
  // Opens the channel again when it was closed or its socket file went away.
  void CheckChannel();
  void Accept();
  void ReadRequests(QLocalSocket* socket);
  void Forget(QLocalSocket* socket);

  std::filesystem::path folder_;
  const Limits limits_;
  std::unique_ptr<platform::FileLock> lock_;
  // The server's name for its socket; kept while the server may use it (a long path's name
  // leads through a descriptor of the folder).
  std::unique_ptr<platform::LocalSocketPath> listen_path_;
  QLocalServer* server_ = nullptr;
  QFileSystemWatcher* watcher_ = nullptr;
  QTimer* retry_ = nullptr;
  bool socket_is_file_ = false;             // where the socket is a file its removal can be seen
  std::vector<QLocalSocket*> connections_;  // oldest first
  bool lost_ = false;                       // ChannelLost was emitted and Reopened is still to come
};

}  // namespace z900::ui
