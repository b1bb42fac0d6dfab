#include "support/bus_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <deque>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace z900::test {

ScopedVariable::ScopedVariable(const char* name, const std::string& value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  if (value.empty()) {
    ::unsetenv(name);
  } else {
    ::setenv(name, value.c_str(), 1);
  }
}

ScopedVariable::~ScopedVariable() {
  if (old_) {
    ::setenv(name_.c_str(), old_->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

struct BusPeer::State {
  sd_bus* bus = nullptr;
  int wake_fd = -1;
  bool stop = false;  // guarded by mutex
  std::mutex mutex;
  std::deque<std::packaged_task<void()>> tasks;  // guarded by mutex
  std::thread thread;

  void Loop() {
    for (;;) {
      while (sd_bus_process(bus, nullptr) > 0) {
      }
      std::deque<std::packaged_task<void()>> ready;
      {
        std::lock_guard lock(mutex);
        if (stop) return;
        ready.swap(tasks);
      }
      for (auto& task : ready) task();
      if (!ready.empty()) continue;
      pollfd entries[] = {{sd_bus_get_fd(bus), static_cast<short>(sd_bus_get_events(bus)), 0},
                          {wake_fd, POLLIN, 0}};
      ::poll(entries, 2, -1);
      std::uint64_t count = 0;
      [[maybe_unused]] const auto got = ::read(wake_fd, &count, sizeof count);  // non-blocking
    }
  }

  void Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_fd, &one, sizeof one);
  }
};

BusPeer::BusPeer() : state_(std::make_unique<State>()) {
  if (sd_bus_open_user(&state_->bus) < 0) throw std::runtime_error("no session bus");
  state_->wake_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  state_->thread = std::thread([state = state_.get()] { state->Loop(); });
}

BusPeer::~BusPeer() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stop = true;
  }
  state_->Wake();
  state_->thread.join();
  sd_bus_flush_close_unref(state_->bus);
  ::close(state_->wake_fd);
}

void BusPeer::Do(const std::function<void(sd_bus*)>& task) {
  std::packaged_task<void()> packaged([&] { task(state_->bus); });
  std::future<void> done = packaged.get_future();
  {
    std::lock_guard lock(state_->mutex);
    state_->tasks.push_back(std::move(packaged));
  }
  state_->Wake();
  done.get();
}

std::string BusPeer::UniqueName() {
  std::string name;
  Do([&](sd_bus* bus) {
    const char* unique = nullptr;
    if (sd_bus_get_unique_name(bus, &unique) >= 0 && unique != nullptr) name = unique;
  });
  return name;
}

}  // namespace z900::test
