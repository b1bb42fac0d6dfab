#include "ui/device_worker.h"

#include <QEventLoop>

#include "ui/qt_ui_port.h"

namespace z900::ui {

DeviceWorker::DeviceWorker(QObject* parent) : QObject(parent) {
  thread_ = std::thread([this] { ThreadMain(); });
}

DeviceWorker::~DeviceWorker() {
  WaitUntilIdle();
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

bool DeviceWorker::Start(std::function<void()> write, std::function<void()> done) {
  if (busy_) return false;
  busy_ = true;
  {
    std::lock_guard lock(mutex_);
    job_ = [this, write = std::move(write), done = std::move(done)]() mutable {
      write();
      // Back to the ui thread: the event queue carries the hand-over.
      QMetaObject::invokeMethod(
          this, [this, done = std::move(done)]() mutable { Finish(std::move(done)); },
          Qt::QueuedConnection);
    };
  }
  wake_.notify_one();
  return true;
}

void DeviceWorker::ThreadMain() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || job_; });
      if (!job_) return;
      job = std::exchange(job_, nullptr);
    }
    job();
  }
}

void DeviceWorker::Finish(std::function<void()> done) {
  busy_ = false;
  if (done) done();
  RunWaiting();
}

void DeviceWorker::RunWhenIdle(std::function<void()> task) {
  if (busy_ || !waiting_.empty()) {
    waiting_.push_back(std::move(task));
    return;
  }
  task();
}

void DeviceWorker::RunWaiting() {
  // A task may start a write or queue more work; the rest waits for that write.
  if (running_waiting_) return;
  running_waiting_ = true;
  while (!busy_ && !waiting_.empty()) {
    std::function<void()> task = std::move(waiting_.front());
    waiting_.pop_front();
    task();
  }
  running_waiting_ = false;
  if (!busy_) emit Idle();
}

void DeviceWorker::WaitUntilIdle() {
  if (!busy_ && waiting_.empty()) return;
  QEventLoop loop;
  connect(this, &DeviceWorker::Idle, &loop, &QEventLoop::quit);
  if (busy_ || !waiting_.empty()) loop.exec();
}

void ShutDownAfterWrites(DeviceWorker& worker, QtUiPort& ui, std::function<void()> shut_down) {
  if (worker.busy() && ui.progress() == nullptr) {
    ui.OpenProgress();
    worker.RunWhenIdle([&ui] { ui.CloseProgress(); });
  }
  worker.RunWhenIdle(std::move(shut_down));
}

}  // namespace z900::ui
