#include "platform/windows/message_thread.h"

#include <windows.h>

#include <future>

namespace z900::platform {

bool MessageThread::Start(std::function<bool()> setup, std::function<void()> teardown) {
  Stop();
  std::promise<bool> started;
  std::future<bool> ready = started.get_future();
  thread_ = std::thread([this, started = std::move(started), setup = std::move(setup),
                         teardown = std::move(teardown)]() mutable {
    MSG message;
    // The thread's queue exists from here on, so that Stop's message cannot get lost.
    ::PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    thread_id_ = ::GetCurrentThreadId();
    if (!setup()) {
      started.set_value(false);
      return;
    }
    started.set_value(true);
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    teardown();
  });
  if (ready.get()) return true;
  thread_.join();
  return false;
}

void MessageThread::Stop() {
  if (!thread_.joinable()) return;
  ::PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
  thread_.join();
}

}  // namespace z900::platform
