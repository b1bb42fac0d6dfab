#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace z900::sim {

// Misbehaviour to inject into the simulated mouse.
struct SimFaults {
  bool fail_writes = false;                   // output reports are not accepted
  bool fail_reads = false;                    // input report reads fail
  bool no_ack = false;                        // commands never report done
  std::uint32_t ack_delay_ms = 0;             // extra time before a command reports done
  std::optional<std::uint8_t> status;         // status byte sent instead of the real one
  std::optional<std::uint32_t> unplug_after;  // reports accepted before the mouse goes away
  std::optional<std::uint8_t> only_command;   // restrict the faults above to one command code
  std::optional<std::uint32_t> count;         // the faults above hit this many commands only

  bool operator==(const SimFaults&) const = default;
};

// Parses the comma-separated fault list of Z900_SIM_FAULTS, for example
// "ack-delay=30,only=0xa5". Returns nullopt and an explanation on a bad list.
std::optional<SimFaults> ParseFaults(std::string_view text, std::string& error);

}  // namespace z900::sim
