#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace z900::platform {
namespace {

class SteadyClock final : public Clock {
 public:
  void SleepMs(std::uint32_t ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  std::uint64_t NowMs() const override {
    const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count());
  }
};

}  // namespace

Clock& SystemClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace z900::platform
