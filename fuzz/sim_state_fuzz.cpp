// Arbitrary bytes as the simulated mouse's state file: refused cleanly or read, what is read
// writes back to the same bytes, and a mouse made from it presses every button and answers a
// read without stepping outside what it holds.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "device/memory_map.h"
#include "platform/virtual_clock.h"
#include "sim/sim_state_file.h"
#include "sim/simulated_mouse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string why;
  const auto state = z900::sim::ParseState(std::span<const std::uint8_t>(data, size), why);
  if (!state) return 0;
  const std::vector<std::uint8_t> again = z900::sim::SerializeState(*state);
  if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();

  z900::platform::VirtualClock clock;
  z900::sim::SimulatedMouse mouse(clock, *state);
  for (int button = 1; button <= 8; ++button) {
    if (!mouse.PressButton(button)) std::abort();  // a loaded mode always has eight buttons
  }
  std::array<std::uint8_t, 32> report{};
  while (mouse.ReadEventReport(report) > 0) {
  }
  // A read of the report-rate codes, as an apply makes one.
  report = {0xBA, z900::device::kCmdReadMemory,
            0,    0,
            0,    static_cast<std::uint8_t>(z900::device::kReportRateAddress)};
  if (!mouse.HandleOutputReport(report) || !mouse.AnswerInputReport(report)) std::abort();
  return 0;
}
