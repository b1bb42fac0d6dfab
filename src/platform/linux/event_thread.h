#pragma once

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <thread>

namespace z900::platform {

// A back-end's own thread and the eventfd that tells it to stop: the thread's loop polls the
// stop descriptor beside its own, and the destructor of the owner calls Stop before anything
// the thread uses goes away.
class EventThread {
 public:
  EventThread() : stop_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~EventThread() {
    Stop();
    if (stop_fd_ >= 0) ::close(stop_fd_);
  }
  EventThread(const EventThread&) = delete;
  EventThread& operator=(const EventThread&) = delete;

  // Runs `body` on the thread; false when no stop descriptor could be made (nothing runs).
  bool Start(std::function<void()> body) {
    if (stop_fd_ < 0) return false;
    thread_ = std::thread(std::move(body));
    return true;
  }

  // Wakes the thread's poll for good and waits for the thread to end.
  void Stop() {
    if (!thread_.joinable()) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(stop_fd_, &one, sizeof one);
    thread_.join();
  }

  // The entry to put into the thread's poll set; readable once Stop was called.
  pollfd StopEntry() const { return pollfd{stop_fd_, POLLIN, 0}; }

 private:
  int stop_fd_;
  std::thread thread_;
};

}  // namespace z900::platform
