#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock.h"

namespace z900::platform {

// Clock for tests and tools: sleeping advances time at once, nothing waits for real.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(std::uint64_t start_ms = 0) : now_ms_(start_ms) {}
  void SleepMs(std::uint32_t ms) override { now_ms_ += ms; }
  std::uint64_t NowMs() const override { return now_ms_; }
  void Advance(std::uint64_t ms) { now_ms_ += ms; }

 private:
  std::atomic<std::uint64_t> now_ms_;
};

}  // namespace z900::platform
