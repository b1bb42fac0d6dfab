#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "platform/clock.h"
#include "platform/hid_backend.h"
#include "sim/sim_faults.h"

namespace z900::sim {

inline constexpr std::uint8_t kFactoryFirmware = 12;
inline constexpr std::uint8_t kStatusBusy = 0;
inline constexpr std::uint8_t kStatusDone = 1;
inline constexpr std::uint8_t kStatusRefused = 2;
// Events the mouse keeps for the host before it drops new ones, as the driver's semaphore.
inline constexpr std::size_t kMaxPendingEvents = 8000;

// Everything the mouse keeps across runs.
struct MouseState {
  std::uint8_t mode = 0;
  std::uint8_t firmware = kFactoryFirmware;
  std::array<std::array<std::uint8_t, 6>, 2> dpi{};  // value bytes of DPI settings 2 and 5
  std::array<std::uint8_t, 2> lighting{};            // lighting codes of settings 4 and 6
  std::vector<std::uint8_t> memory;                  // 64 KiB
  std::deque<std::uint32_t> pending_events;          // event words not yet taken by the host
  // Whether the mouse is plugged in, and how often it was plugged in again since the factory:
  // a handle opened before an unplug stays dead after the next plug-in.
  bool connected = true;
  std::uint32_t connection = 0;

  bool operator==(const MouseState&) const = default;
};

// Mode 0, firmware 12 (also at 0x18), report-rate codes 1 and 1, every other byte 0.
MouseState FactoryState();

enum class WireDirection { kOut, kIn };

// One report that crossed the wire, as the mouse saw it.
struct WireRecord {
  std::uint64_t time_ms = 0;
  WireDirection direction = WireDirection::kOut;
  std::array<std::uint8_t, 32> bytes{};
  bool delivered = true;  // false when a fault or the unplugged state refused it
};

// What a button press did.
struct PressOutcome {
  std::uint32_t device_code = 0;
  std::optional<std::uint32_t> event_word;  // set for host actions
};

// A software model of the mouse: memory, modes, command set, acknowledgement timing on the
// given clock, wire log, fault injection and button presses.
class SimulatedMouse {
 public:
  explicit SimulatedMouse(platform::Clock& clock, MouseState state = FactoryState());

  // The mouse's side of the wire; false when the report is not accepted.
  bool HandleOutputReport(std::span<const std::uint8_t> report);
  bool AnswerInputReport(std::span<std::uint8_t> buffer);

  // A press of button 1 … 8 in the given mode (the mouse's own mode when none is given).
  // A host-action code hands its event word to the event sink when one is set, else queues it
  // for the host. Nullopt for a button outside 1 … 8.
  std::optional<PressOutcome> PressButton(int button, std::optional<int> mode = std::nullopt);
  std::vector<std::uint32_t> TakeEvents();
  // The mouse's interrupt report of the oldest queued event: its length, or 0 when none.
  int ReadEventReport(std::span<std::uint8_t> buffer);
  // Where events go at once instead of the queue: the driver side of an in-process host. The
  // mouse is not thread-safe; the sink is how a press crosses to another thread.
  void SetEventSink(std::function<void(std::uint32_t)> sink) { event_sink_ = std::move(sink); }

  void SetMode(std::uint8_t mode) { state_.mode = mode; }
  // Takes over what another program left in the shared state, keeping the answer of the last
  // command and its timing, which live only in this program.
  void ReplaceState(MouseState state);
  // New faults start their count afresh and already hit the answer still to be read.
  void SetFaults(const SimFaults& faults);
  // Time from a command to its done status, replacing the per-command default.
  void SetAckLatency(std::optional<std::uint32_t> latency_ms) { latency_override_ = latency_ms; }

  void Unplug() { state_.connected = false; }
  void Plug();
  bool plugged() const { return state_.connected && !fault_unplugged_; }
  // Changes on every plug-in, so handles from before an unplug stay dead.
  std::uint32_t plug_generation() const { return state_.connection; }

  const MouseState& state() const { return state_; }
  std::uint32_t ReadWord(std::uint32_t address) const;
  const std::vector<WireRecord>& wire_log() const { return wire_log_; }
  // The output reports that were delivered, oldest first.
  std::vector<std::array<std::uint8_t, 32>> SentReports() const;
  void ClearWireLog() { wire_log_.clear(); }

 private:
  bool FaultApplies(std::uint8_t command) const;
  // Whether the command faults, counting it against the faults' count.
  bool CommandFaults(std::uint8_t command);
  void Execute(std::span<const std::uint8_t> payload);
  std::uint32_t DefaultLatency(std::span<const std::uint8_t> payload) const;
  void Log(WireDirection direction, std::span<const std::uint8_t> bytes, bool delivered);

  platform::Clock& clock_;
  MouseState state_;
  SimFaults faults_;
  std::optional<std::uint32_t> latency_override_;
  // Unplugged by the unplug-after fault: for this program's run only, never saved.
  bool fault_unplugged_ = false;
  std::uint32_t reports_accepted_ = 0;
  // The answer to the last command and when it becomes ready.
  std::uint8_t last_command_ = 0;
  bool last_faulty_ = false;  // the faults hit the last command sent
  std::uint32_t fault_hits_ = 0;
  std::array<std::uint8_t, 32> answer_{};
  std::uint64_t ready_at_ms_ = 0;
  std::vector<WireRecord> wire_log_;
  std::function<void(std::uint32_t)> event_sink_;
};

// Opens handles onto a simulated mouse through the HID backend interface. The mouse must
// outlive the backend and every handle opened through it.
class SimHidBackend final : public platform::HidBackend {
 public:
  explicit SimHidBackend(SimulatedMouse& mouse) : mouse_(mouse) {}
  bool Initialise() override { return true; }
  void Shutdown() override {}
  platform::HidOpenResult OpenMouse() override;

 private:
  SimulatedMouse& mouse_;
};

}  // namespace z900::sim
