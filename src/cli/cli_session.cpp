#include "cli/cli_session.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ostream>

#include "sim/sim_faults.h"

namespace z900::cli {

CliSession::CliSession(const CliEnvironment& env, bool simulate, std::ostream& out,
                       std::ostream& err)
    : env_(env), simulate_(simulate), out_(out), err_(err) {
  context_.paths = env.paths;
}

CliSession::~CliSession() {
  if (opened_) channel_->CloseDevice(handle_);
}

int CliSession::Fail(int code, std::string_view message) {
  err_ << "z900ctl: " << message << '\n';
  return code;
}

int CliSession::Start() {
  platform::HidBackend* backend = env_.hardware;
  if (simulate_) {
    sim::SimFaults faults;
    if (env_.sim_faults) {
      std::string why;
      std::optional<sim::SimFaults> parsed = sim::ParseFaults(*env_.sim_faults, why);
      if (!parsed) return Fail(kExitUsage, "Z900_SIM_FAULTS: " + why);
      faults = *parsed;
    }
    std::string why;
    sim_session_ = sim::SimStateSession::Open(env_.paths.sim_state_file, why);
    if (!sim_session_) return Fail(kExitFailed, "simulated mouse: " + why);
    mouse_ = std::make_unique<sim::SimulatedMouse>(*env_.clock, sim_session_->state());
    mouse_->SetFaults(faults);
    sim_backend_ = std::make_unique<sim::SimHidBackend>(*mouse_);
    backend = sim_backend_.get();
  }
  if (backend == nullptr) return Fail(kExitNoMouse, "no HID backend on this platform");
  channel_ = std::make_unique<device::HidChannel>(*backend, *env_.clock);
  if (env_.trace) {
    channel_->SetTrace([this](std::string_view line) { err_ << line << '\n'; });
  }
  return kExitOk;
}

int CliSession::OpenMouse() {
  opened_ = true;
  if (channel_->OpenDevice(handle_)) return kExitOk;
  return Fail(kExitNoMouse, platform::DescribeOpenFailure(channel_->last_open_error(),
                                                          channel_->last_open_detail()));
}

int CliSession::Finish() {
  if (opened_) {
    channel_->CloseDevice(handle_);
    opened_ = false;
  }
  if (sim_session_) {
    std::string why;
    if (!sim_session_->Save(mouse_->state(), why)) return Fail(kExitFailed, "simulated mouse: " + why);
  }
  return kExitOk;
}

void PrintHexLines(std::ostream& out, std::uint32_t address, std::span<const std::uint8_t> bytes) {
  char text[16];
  for (std::size_t line = 0; line < bytes.size(); line += 16) {
    std::snprintf(text, sizeof text, "%04x:", address + static_cast<std::uint32_t>(line));
    out << text;
    for (std::size_t i = line; i < std::min(line + 16, bytes.size()); ++i) {
      std::snprintf(text, sizeof text, " %02x", bytes[i]);
      out << text;
    }
    out << '\n';
  }
}

std::optional<std::uint32_t> ParseUnsigned(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace z900::cli
