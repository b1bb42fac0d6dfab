#pragma once

#include <QObject>
#include <QThread>
#include <deque>
#include <functional>

namespace z900::ui {

// The thread that long device writes run on, so that the window keeps painting while the
// mouse is written. One job runs at a time, in the order given. What the ui thread must not do
// meanwhile (another device command, a reload, the end of the program) waits with WhenIdle and
// runs, in order, once the last job is done.
class DeviceWorker final : public QObject {
 public:
  explicit DeviceWorker(QObject* parent = nullptr);
  // Waits for a running job.
  ~DeviceWorker() override;
  DeviceWorker(const DeviceWorker&) = delete;
  DeviceWorker& operator=(const DeviceWorker&) = delete;

  // Runs `job` on the worker, then `done` on the ui thread.
  void Run(std::function<void()> job, std::function<void()> done = {});
  // Runs `action` on the ui thread now when no job runs or waits, else after the last one.
  void WhenIdle(std::function<void()> action);
  bool busy() const { return jobs_ > 0; }
  // Lets a running job end and runs no other; the worker takes no more jobs afterwards.
  void Finish();

 private:
  void JobDone();

  QThread thread_;
  QObject* runner_;  // lives on the worker thread
  int jobs_ = 0;     // started and not yet done; ui thread only
  std::deque<std::function<void()>> waiting_;
};

}  // namespace z900::ui
