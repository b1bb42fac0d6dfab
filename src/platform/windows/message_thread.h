#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace z900::platform {

// A thread of its own with a Windows message loop, for what Windows tells through messages on
// the thread that asked: low-level hooks, window event hooks, windows that receive broadcasts.
class MessageThread {
 public:
  MessageThread() = default;
  ~MessageThread() { Stop(); }
  MessageThread(const MessageThread&) = delete;
  MessageThread& operator=(const MessageThread&) = delete;

  // Runs `setup` on the new thread, then its message loop until Stop, then `teardown` there.
  // Waits for `setup` and returns what it returned; on false the thread has ended already
  // (without `teardown`).
  bool Start(std::function<bool()> setup, std::function<void()> teardown);
  // Ends the loop and waits for the thread.
  void Stop();
  bool running() const { return thread_.joinable(); }

 private:
  std::thread thread_;
  std::atomic<unsigned long> thread_id_{0};
};

}  // namespace z900::platform
