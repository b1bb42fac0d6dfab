#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "platform/foreground_app.h"

namespace z900::test {

// The owner's side of a foreground back-end in tests: its change handler, and a wait for what
// the back-end's thread announces (no sleeping: each announcement wakes the wait).
class ForegroundWaiter {
 public:
  platform::ForegroundChangeHandler Handler() {
    return [this] {
      std::lock_guard lock(mutex_);
      ++changes_;
      changed_.notify_all();
    };
  }

  // Waits until `done` holds, checking it after every announcement; false after ten seconds.
  bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::unique_lock lock(mutex_);
    for (;;) {
      const int seen = changes_;
      lock.unlock();
      if (done()) return true;
      lock.lock();
      if (!changed_.wait_until(lock, deadline, [&] { return changes_ != seen; })) return false;
    }
  }

  bool WaitForProgram(platform::ForegroundApp& app, std::u16string_view name) {
    return WaitUntil([&] { return app.ForegroundProgramName() == name; });
  }
  bool WaitForProblem(platform::ForegroundApp& app, platform::ForegroundProblem problem) {
    return WaitUntil([&] { return app.BackendStatus().problem == problem; });
  }

  // Announcements so far.
  int changes() {
    std::lock_guard lock(mutex_);
    return changes_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int changes_ = 0;
};

}  // namespace z900::test
