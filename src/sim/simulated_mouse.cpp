#include "sim/simulated_mouse.h"

#include <algorithm>
#include <string>

#include "device/event_word.h"
#include "device/hid_channel.h"
#include "device/memory_map.h"

namespace z900::sim {
namespace {

using device::kMemorySize;

std::uint32_t BigEndianAddress(std::span<const std::uint8_t> bytes) {
  return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
         static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
}

class SimTransport final : public platform::HidTransport {
 public:
  explicit SimTransport(SimulatedMouse& mouse)
      : mouse_(mouse), generation_(mouse.plug_generation()) {}
  bool WriteReport(std::span<const std::uint8_t> report) override {
    return (Alive() && mouse_.HandleOutputReport(report)) || Fail("write");
  }
  int GetInputReport(std::span<std::uint8_t> buffer) override {
    if (Alive() && mouse_.AnswerInputReport(buffer)) {
      return static_cast<int>(std::min(buffer.size(), device::kReportSize));
    }
    Fail("read");
    return -1;
  }
  int ReadInputReport(std::span<std::uint8_t> buffer, int /*timeout_ms*/) override {
    return Alive() && mouse_.plugged() ? mouse_.ReadEventReport(buffer) : -1;
  }
  std::string LastError() const override { return last_error_; }

 private:
  bool Alive() const { return mouse_.plug_generation() == generation_; }
  bool Fail(const std::string& what) {
    last_error_ = Alive() && mouse_.plugged() ? "the simulated mouse refused the " + what
                                              : "the simulated mouse is unplugged";
    return false;
  }
  SimulatedMouse& mouse_;
  std::uint32_t generation_;
  std::string last_error_;
};

}  // namespace

MouseState FactoryState() {
  MouseState state;
  state.memory.assign(kMemorySize, 0);
  state.memory[device::kReportRateAddress] = device::kRate1000Hz;
  state.memory[device::kReportRateAddress + 1] = device::kRate1000Hz;
  state.memory[device::kFirmwareAddress] = kFactoryFirmware;
  return state;
}

SimulatedMouse::SimulatedMouse(platform::Clock& clock, MouseState state)
    : clock_(clock), state_(std::move(state)) {
  state_.memory.resize(kMemorySize, 0);
}

void SimulatedMouse::Plug() {
  if (plugged()) return;
  state_.connected = true;
  fault_unplugged_ = false;
  ++state_.connection;
  reports_accepted_ = 0;
}

void SimulatedMouse::ReplaceState(MouseState state) {
  state_ = std::move(state);
  state_.memory.resize(kMemorySize, 0);
}

bool SimulatedMouse::FaultApplies(std::uint8_t command) const {
  return !faults_.only_command || *faults_.only_command == command;
}

void SimulatedMouse::SetFaults(const SimFaults& faults) {
  faults_ = faults;
  fault_hits_ = 0;
  // The answer still to be read is hit too, without counting against the count: that is for
  // the commands sent from now on.
  last_faulty_ = FaultApplies(last_command_) && faults_.count.value_or(1) > 0;
}

bool SimulatedMouse::CommandFaults(std::uint8_t command) {
  if (!FaultApplies(command)) return false;
  if (!faults_.count) return true;
  if (fault_hits_ >= *faults_.count) return false;
  ++fault_hits_;
  return true;
}

void SimulatedMouse::Log(WireDirection direction, std::span<const std::uint8_t> bytes,
                         bool delivered) {
  WireRecord record;
  record.time_ms = clock_.NowMs();
  record.direction = direction;
  record.delivered = delivered;
  std::copy_n(bytes.begin(), std::min(bytes.size(), record.bytes.size()), record.bytes.begin());
  wire_log_.push_back(record);
}

bool SimulatedMouse::HandleOutputReport(std::span<const std::uint8_t> report) {
  const std::uint8_t command = report.size() > 1 ? report[1] : 0;
  if (plugged() && faults_.unplug_after && reports_accepted_ >= *faults_.unplug_after) {
    fault_unplugged_ = true;
  }
  last_faulty_ = CommandFaults(command);
  const bool accepted = plugged() && report.size() == device::kReportSize &&
                        report[0] == device::kReportId && !(faults_.fail_writes && last_faulty_);
  Log(WireDirection::kOut, report, accepted);
  if (!accepted) return false;
  ++reports_accepted_;
  Execute(report.subspan(1));
  return true;
}

bool SimulatedMouse::AnswerInputReport(std::span<std::uint8_t> buffer) {
  if (!plugged() || buffer.empty() || (faults_.fail_reads && last_faulty_)) {
    Log(WireDirection::kIn, {}, false);
    return false;
  }
  std::array<std::uint8_t, 32> answer{};
  const bool ready = clock_.NowMs() >= ready_at_ms_ && !(faults_.no_ack && last_faulty_);
  if (ready) {
    answer = answer_;
    if (faults_.status && last_faulty_) answer[0] = *faults_.status;
  } else {
    answer[0] = kStatusBusy;
  }
  const std::size_t length = std::min(buffer.size(), answer.size());
  std::copy_n(answer.begin(), length, buffer.begin());
  Log(WireDirection::kIn, answer, true);
  return true;
}

std::uint32_t SimulatedMouse::DefaultLatency(std::span<const std::uint8_t> payload) const {
  // Ready within the wait the host allows each command, so the first poll finds it done.
  if (payload[0] != device::kCmdWriteMemory) return 0;
  const std::size_t length = payload[5];
  return length == device::kWriteChunk ? device::kChunkWriteWaitMs
                                       : device::TailWriteWaitMs(length);
}

void SimulatedMouse::Execute(std::span<const std::uint8_t> payload) {
  last_command_ = payload[0];
  answer_.fill(0);
  answer_[0] = kStatusRefused;
  switch (payload[0]) {
    case device::kCmdQueryMode:
      answer_ = {kStatusDone, state_.mode};
      break;
    case device::kCmdQueryFirmware:
      answer_ = {kStatusDone, state_.firmware};
      break;
    case device::kCmdReadMemory: {
      const std::uint32_t address = BigEndianAddress(payload.subspan(1, 4));
      if (address >= kMemorySize) break;
      answer_[0] = kStatusDone;
      for (std::uint32_t i = 0; i < 4; ++i) {
        answer_[1 + i] = address + i < kMemorySize ? state_.memory[address + i] : 0;
      }
      break;
    }
    case device::kCmdWriteMemory: {
      const std::uint32_t address = BigEndianAddress(payload.subspan(1, 4));
      const std::size_t length = payload[5];
      if (length == 0 || length > device::kWriteChunk || address + length > kMemorySize) break;
      std::copy_n(payload.begin() + 6, length, state_.memory.begin() + address);
      answer_[0] = kStatusDone;
      break;
    }
    case device::kCmdSetting:
      switch (payload[1]) {
        case device::kSettingDpiMode0:
        case device::kSettingDpiMode1: {
          auto& stages = state_.dpi[payload[1] == device::kSettingDpiMode0 ? 0 : 1];
          std::copy_n(payload.begin() + 2, stages.size(), stages.begin());
          answer_[0] = kStatusDone;
          break;
        }
        case device::kSettingReportRate:
          state_.memory[device::kReportRateAddress] = payload[2];
          state_.memory[device::kReportRateAddress + 1] = payload[3];
          answer_[0] = kStatusDone;
          break;
        case device::kSettingLightingMode0:
        case device::kSettingLightingMode1:
          state_.lighting[payload[1] == device::kSettingLightingMode0 ? 0 : 1] = payload[2];
          answer_[0] = kStatusDone;
          break;
        default:
          break;
      }
      break;
    default:
      break;
  }
  const std::uint32_t latency = latency_override_.value_or(DefaultLatency(payload));
  const std::uint32_t delay = last_faulty_ ? faults_.ack_delay_ms : 0;
  ready_at_ms_ = clock_.NowMs() + latency + delay;
}

std::uint32_t SimulatedMouse::ReadWord(std::uint32_t address) const {
  std::uint32_t value = 0;
  for (std::uint32_t i = 0; i < 4 && address + i < kMemorySize; ++i) {
    value |= static_cast<std::uint32_t>(state_.memory[address + i]) << (8 * i);
  }
  return value;
}

std::optional<PressOutcome> SimulatedMouse::PressButton(int button, std::optional<int> mode) {
  if (button < 1 || button > 8) return std::nullopt;
  const std::optional<std::uint32_t> address =
      device::ButtonSlotAddress(mode.value_or(state_.mode), button);
  if (!address) return std::nullopt;
  PressOutcome outcome;
  outcome.device_code = ReadWord(*address);
  outcome.event_word = device::EventWordOfDeviceCode(outcome.device_code);
  if (!outcome.event_word) return outcome;
  if (event_sink_) {
    event_sink_(*outcome.event_word);
  } else if (state_.pending_events.size() < kMaxPendingEvents) {
    state_.pending_events.push_back(*outcome.event_word);
  }
  return outcome;
}

int SimulatedMouse::ReadEventReport(std::span<std::uint8_t> buffer) {
  if (state_.pending_events.empty()) return 0;
  const auto report = device::EncodeEventReport(state_.pending_events.front());
  state_.pending_events.pop_front();
  const std::size_t length = std::min(buffer.size(), report.size());
  std::copy_n(report.begin(), length, buffer.begin());
  return static_cast<int>(length);
}

std::vector<std::uint32_t> SimulatedMouse::TakeEvents() {
  std::vector<std::uint32_t> events(state_.pending_events.begin(), state_.pending_events.end());
  state_.pending_events.clear();
  return events;
}

std::vector<std::array<std::uint8_t, 32>> SimulatedMouse::SentReports() const {
  std::vector<std::array<std::uint8_t, 32>> reports;
  for (const WireRecord& record : wire_log_) {
    if (record.direction == WireDirection::kOut && record.delivered)
      reports.push_back(record.bytes);
  }
  return reports;
}

platform::HidOpenResult SimHidBackend::OpenMouse() {
  platform::HidOpenResult result;
  if (!mouse_.plugged()) {
    result.error = platform::HidOpenError::kNoDevice;
    return result;
  }
  result.transport = std::make_unique<SimTransport>(mouse_);
  return result;
}

}  // namespace z900::sim
