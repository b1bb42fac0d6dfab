#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <memory>

#include "app/instance_messages.h"
#include "platform/file_io.h"
#include "platform/instance_lock.h"

class QLocalServer;
class QLocalSocket;

namespace z900::ui {

// The single-instance lock of the window program, in a folder of the user's own: a locked file
// "Z900Config.lock" that the first instance holds until it ends (the system lets it go however
// the process ends), and beside it the local socket "Z900Config" on which that instance takes
// requests from others, one line each (app/instance_messages.h).
class QtInstanceLock final : public QObject, public platform::InstanceLock {
  Q_OBJECT

 public:
  // How long Send tries to reach a first instance that holds the lock but, still starting, may
  // not take requests yet.
  static constexpr int kPatienceMs = 3000;

  explicit QtInstanceLock(std::filesystem::path folder, int patience_ms = kPatienceMs,
                          QObject* parent = nullptr);
  ~QtInstanceLock() override;

  Result Acquire(std::string& why) override;
  bool RequestShow() override { return Send(app::InstanceRequest::kShowWindow); }
  // Sends one request to the running instance; a moment's wait for one that is still starting.
  bool Send(app::InstanceRequest request);

  QString socket_path() const;

 signals:
  // A request from another program, on the ui thread.
  void RequestReceived(app::InstanceRequest request);

 private:
  void Accept();
  void ReadRequests(QLocalSocket* socket);

  std::filesystem::path folder_;
  const int patience_ms_;
  std::unique_ptr<platform::FileLock> lock_;
  QLocalServer* server_ = nullptr;
};

}  // namespace z900::ui
