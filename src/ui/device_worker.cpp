#include "ui/device_worker.h"

#include <QEvent>
#include <QEventLoop>
#include <QWidget>

#include "ui/qt_ui_port.h"

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
  // An action that runs a dialog may see another job end meanwhile: the actions after it still
  // wait for the one that runs.
  if (!draining_) {
    draining_ = true;
    // An action may start another job: the rest waits for that one too.
    while (!busy() && !waiting_.empty()) {
      std::function<void()> action = std::move(waiting_.front());
      waiting_.pop_front();
      action();
    }
    draining_ = false;
  }
  if (!busy()) emit Idle();
}

bool DeviceWorker::idle() const { return !busy() && (waiting_.empty() || draining_); }

void DeviceWorker::WaitUntilIdle() {
  if (idle()) return;
  QEventLoop loop;
  connect(this, &DeviceWorker::Idle, &loop, [this, &loop] {
    if (idle()) loop.quit();
  });
  loop.exec();
}

BusyInputGuard::BusyInputGuard(const DeviceWorker& worker,
                               std::function<bool(const QWidget*)> guarded, QObject* parent)
    : QObject(parent), worker_(worker), guarded_(std::move(guarded)) {}

bool BusyInputGuard::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
      // A release still arrives, so that a press made before the write ends as it began.
      if (worker_.busy() && watched->isWidgetType() &&
          guarded_(static_cast<const QWidget*>(watched))) {
        return true;
      }
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

void ShutDownAfterWrites(DeviceWorker& worker, QtUiPort& ui, std::function<void()> shut_down) {
  if (worker.busy() && ui.progress() == nullptr) {
    ui.OpenProgress();
    worker.WhenIdle([&ui] { ui.CloseProgress(); });
  }
  worker.WhenIdle(std::move(shut_down));
}

}  // namespace z900::ui
