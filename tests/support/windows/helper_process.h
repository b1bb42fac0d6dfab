#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "platform/windows/wide_text.h"

namespace z900::test {

// A named event of this test run, set by another process; waits are bounded so that a helper
// that never comes fails the test instead of hanging it.
class NamedEvent {
 public:
  explicit NamedEvent(const std::string& name)
      : name_(name),
        event_(::CreateEventW(nullptr, TRUE, FALSE, platform::Utf8ToWide(name).c_str())) {}
  ~NamedEvent() { ::CloseHandle(event_); }
  NamedEvent(const NamedEvent&) = delete;
  NamedEvent& operator=(const NamedEvent&) = delete;

  const std::string& name() const { return name_; }
  void Set() { ::SetEvent(event_); }
  void Reset() { ::ResetEvent(event_); }
  // True once another process set it; false after 30 s.
  bool WaitSet() { return ::WaitForSingleObject(event_, 30'000) == WAIT_OBJECT_0; }

 private:
  std::string name_;
  HANDLE event_;
};

// A name no other test of this run uses.
inline std::string UniqueName(const std::string& what) {
  static std::atomic<int> counter{0};
  return "Local\\z900-test-" + std::to_string(::GetCurrentProcessId()) + "-" + what + "-" +
         std::to_string(++counter);
}

}  // namespace z900::test
