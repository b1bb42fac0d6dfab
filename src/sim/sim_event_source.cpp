#include "sim/sim_event_source.h"

#include <utility>

#include "device/driver_records.h"
#include "sim/sim_state_file.h"

namespace z900::sim {

bool SimStateEventSource::OpenDevice() {
  // The simulated mouse is always plugged in; its file is created on first use.
  open_ = true;
  return true;
}

bool SimStateEventSource::Control(std::span<const std::uint8_t> record) {
  return device::AcceptControlRequest(record, open_);
}

std::string SimStateEventSource::TakeError() {
  std::lock_guard lock(error_mutex_);
  return std::exchange(error_, {});
}

std::vector<std::uint32_t> SimStateEventSource::Poll(std::uint32_t timeout_ms) {
  clock_.SleepMs(timeout_ms);
  if (!open_) return {};
  std::string error;
  std::unique_ptr<SimStateSession> session = SimStateSession::Open(state_file_, error);
  std::vector<std::uint32_t> words;
  if (session && !session->state().pending_events.empty()) {
    MouseState state = session->state();
    words.assign(state.pending_events.begin(), state.pending_events.end());
    state.pending_events.clear();
    if (!session->Save(state, error)) words.clear();  // left in the file for the next poll
  }
  if (!error.empty()) {
    std::lock_guard lock(error_mutex_);
    error_ = std::move(error);
  }
  return words;
}

}  // namespace z900::sim
