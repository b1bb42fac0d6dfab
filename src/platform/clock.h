#pragma once

#include <cstdint>
#include <ctime>

namespace z900::platform {

// Millisecond time base. Every protocol wait and timer goes through it so that tests run on
// virtual time.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual void SleepMs(std::uint32_t ms) = 0;
  // Milliseconds since an arbitrary fixed point; never goes backwards.
  virtual std::uint64_t NowMs() const = 0;
};

// The real clock of this platform.
Clock& SystemClock();

// The calendar time `when` in the system's time zone; safe on any thread.
std::tm LocalTime(std::time_t when);

}  // namespace z900::platform
