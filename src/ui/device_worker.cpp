#include "ui/device_worker.h"

namespace z900::ui {

DeviceWorker::DeviceWorker(QObject* parent) : QObject(parent), runner_(new QObject) {
  runner_->moveToThread(&thread_);
  connect(&thread_, &QThread::finished, runner_, &QObject::deleteLater);
  thread_.setObjectName(QStringLiteral("device worker"));
  thread_.start();
}

DeviceWorker::~DeviceWorker() { Finish(); }

void DeviceWorker::Finish() {
  thread_.quit();
  thread_.wait();
}

void DeviceWorker::Run(std::function<void()> job, std::function<void()> done) {
  ++jobs_;
  QMetaObject::invokeMethod(
      runner_,
      [this, job = std::move(job), done = std::move(done)]() mutable {
        job();
        QMetaObject::invokeMethod(
            this,
            [this, done = std::move(done)] {
              if (done) done();
              JobDone();
            },
            Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
}

void DeviceWorker::WhenIdle(std::function<void()> action) {
  if (!busy() && waiting_.empty()) {
    action();
    return;
  }
  waiting_.push_back(std::move(action));
}

void DeviceWorker::JobDone() {
  --jobs_;
  // An action may start another job: the rest waits for that one too.
  while (!busy() && !waiting_.empty()) {
    std::function<void()> action = std::move(waiting_.front());
    waiting_.pop_front();
    action();
  }
}

}  // namespace z900::ui
