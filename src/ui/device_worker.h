#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace z900::ui {

class QtUiPort;

// The thread of the long writes into the mouse (apply, profile selection with apply, reset,
// macro writes): the ui thread keeps painting while one runs. One write at a time. While a
// write runs, the ui thread leaves the configuration, the page's state and the mouse to it:
// everything else that touches them (event words, page commands, reloads) goes through
// RunWhenIdle and is carried out after the write, in the order it came. The write reaches the
// user only through the Qt UiPort, which runs each call on the ui thread while the write waits.
class DeviceWorker : public QObject {
  Q_OBJECT

 public:
  explicit DeviceWorker(QObject* parent = nullptr);
  // Waits for a running write (the ui thread's events keep running meanwhile), then ends the
  // thread.
  ~DeviceWorker() override;

  // Starts `write` on the worker thread; afterwards `done` runs on the ui thread, then the work
  // that waited. False, starting nothing, while a write runs.
  bool Start(std::function<void()> write, std::function<void()> done = {});
  // Runs `task` on the ui thread now when no write runs and nothing waits, else after the
  // running write and after the tasks that came before it.
  void RunWhenIdle(std::function<void()> task);
  bool busy() const { return busy_; }
  // Returns once no write runs and nothing waits, running the ui thread's events meanwhile.
  void WaitUntilIdle();

 signals:
  // A write ended and the work that waited for it is done (or a new write started from it).
  void Idle();

 private:
  void ThreadMain();
  void Finish(std::function<void()> done);
  void RunWaiting();

  // Handed from the ui thread to the worker thread under the mutex.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::function<void()> job_;
  bool stopping_ = false;
  std::thread thread_;

  // Ui thread only; atomic so that a write may ask whether it is one.
  std::atomic<bool> busy_{false};
  std::deque<std::function<void()>> waiting_;
  bool running_waiting_ = false;
};

// Ends the program once the running write is done: the progress window shows meanwhile (opened
// here when the write shows none), then `shut_down` runs. At once when no write runs.
void ShutDownAfterWrites(DeviceWorker& worker, QtUiPort& ui, std::function<void()> shut_down);

}  // namespace z900::ui
