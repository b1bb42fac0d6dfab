// Arbitrary bytes as the simulated mouse's state file: refused cleanly or read; what is read
// writes back as the current version (the same bytes for a file of that version, bytes that
// read back to the same state for an older one); and a mouse made from it presses every button
// and answers a read (refuses it, when unplugged) without stepping outside what it holds.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "device/memory_map.h"
#include "platform/crc32.h"
#include "platform/virtual_clock.h"
#include "sim/sim_state_file.h"
#include "sim/simulated_mouse.h"

// The version field: magic (8 bytes), then the version (4).
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kVersionEnd = 12;

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max_size);

// Nearly every mutation breaks the checksum, which the reader checks before anything else, so
// the fuzzer would never see past it: the mutator puts the checksum (the last four bytes) right
// again after most mutations. One in eight keeps it broken, so that the refusal is tried too.
extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t max_size, unsigned int seed) {
  size = LLVMFuzzerMutate(data, size, max_size);
  if (size > 4 && seed % 8 != 0) {
    const std::uint32_t crc = z900::platform::Crc32(std::span<const std::uint8_t>(data, size - 4));
    for (int i = 0; i < 4; ++i) data[size - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
  }
  return size;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string why;
  const auto state = z900::sim::ParseState(std::span<const std::uint8_t>(data, size), why);
  if (!state) return 0;
  const std::vector<std::uint8_t> again = z900::sim::SerializeState(*state);
  const auto reread = z900::sim::ParseState(again, why);
  if (!reread || !(*reread == *state)) std::abort();
  const bool current_version =
      std::equal(again.begin() + kVersionAt, again.begin() + kVersionEnd, data + kVersionAt);
  if (current_version && (again.size() != size || !std::equal(again.begin(), again.end(), data))) {
    std::abort();
  }

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
  // A mouse that is plugged in answers it; an unplugged one refuses the report, as the wire would.
  const bool answered = mouse.HandleOutputReport(report) && mouse.AnswerInputReport(report);
  if (answered != state->connected) std::abort();
  return 0;
}
