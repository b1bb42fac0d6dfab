#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "device/command_set.h"
#include "device/hid_channel.h"
#include "platform/virtual_clock.h"
#include "sim/simulated_mouse.h"

namespace z900::test {

// A simulated mouse opened through the report channel, on virtual time.
class SimMouseTest : public ::testing::Test {
 public:
  SimMouseTest() { EXPECT_TRUE(channel.OpenDevice(handle)); }
  ~SimMouseTest() override { channel.CloseDevice(handle); }

  // Writes a slot through the command set, as an apply would.
  bool WriteButtonSlotForTest(int mode, int button, std::uint32_t code) {
    return device::WriteButtonSlot(channel, handle, mode, button, code);
  }

  // The delivered output reports, each cut to its first `length` bytes.
  std::vector<std::vector<std::uint8_t>> Sent(std::size_t length = 32) const {
    std::vector<std::vector<std::uint8_t>> reports;
    for (const auto& report : mouse.SentReports()) {
      reports.emplace_back(report.begin(), report.begin() + static_cast<std::ptrdiff_t>(length));
    }
    return reports;
  }
  // Virtual times at which the delivered output reports arrived.
  std::vector<std::uint64_t> SendTimes() const {
    std::vector<std::uint64_t> times;
    for (const auto& record : mouse.wire_log()) {
      if (record.direction == sim::WireDirection::kOut && record.delivered) {
        times.push_back(record.time_ms);
      }
    }
    return times;
  }

  platform::VirtualClock clock;
  sim::SimulatedMouse mouse{clock};
  sim::SimHidBackend backend{mouse};
  device::HidChannel channel{backend, clock};
  device::DeviceHandle handle;
};

}  // namespace z900::test
