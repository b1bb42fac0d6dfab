#pragma once

#include <QObject>
#include <QThread>
#include <deque>
#include <functional>

class QWidget;

namespace z900::ui {

class QtUiPort;

// The thread that long device writes run on (apply, profile selection with apply, reset, macro
// writes), so that the window keeps painting while the mouse is written. One job runs at a
// time, in the order given. While one runs, the ui thread leaves the configuration, the page's
// state and the mouse to it: what the ui thread must not do meanwhile (event words, page
// commands, reloads, the end of the program) waits with WhenIdle and runs, in order, once the
// last job is done. A job reaches the user only through the Qt UiPort, which runs each call on
// the ui thread while the job waits.
class DeviceWorker final : public QObject {
  Q_OBJECT

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
  // No job runs, and nothing waits but what is being run now.
  bool idle() const;
  // Returns once idle, running the ui thread's events meanwhile.
  void WaitUntilIdle();

 signals:
  // No job runs any more (the work that waited for it is done, or being run).
  void Idle();

 private:
  void JobDone();

  QThread thread_;
  QObject* runner_;  // lives on the worker thread
  int jobs_ = 0;     // started and not yet done; ui thread only
  std::deque<std::function<void()>> waiting_;
  bool draining_ = false;  // JobDone is running the waiting actions
};

// Keeps the user's presses, wheel turns and keys from the widgets `guarded` accepts while the
// worker runs a job: a page takes no command during a write (it would only wait behind it),
// while the window around the page can still be moved, the progress window dragged and the
// tray menu opened.
class BusyInputGuard final : public QObject {
 public:
  BusyInputGuard(const DeviceWorker& worker, std::function<bool(const QWidget*)> guarded,
                 QObject* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  const DeviceWorker& worker_;
  std::function<bool(const QWidget*)> guarded_;
};

// Ends the program once the running job is done: the progress window shows meanwhile (opened
// here when the job shows none), then `shut_down` runs. At once when no job runs.
void ShutDownAfterWrites(DeviceWorker& worker, QtUiPort& ui, std::function<void()> shut_down);

}  // namespace z900::ui
