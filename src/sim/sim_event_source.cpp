#include "sim/sim_event_source.h"

#include <algorithm>
#include <utility>

#include "device/driver_records.h"
#include "sim/sim_state_file.h"

namespace z900::sim {

bool SimStateEventSource::OpenDevice() {
  // The simulated mouse is always plugged in; its file is created on first use.
  open_ = true;
  if (opened_) opened_();
  return true;
}

bool SimStateEventSource::Control(std::span<const std::uint8_t> record) {
  return device::AcceptControlRequest(record, open_);
}

std::string SimStateEventSource::TakeError() {
  std::lock_guard lock(error_mutex_);
  return std::exchange(error_, {});
}

bool SimStateEventSource::ReturnEvents(std::span<const std::uint32_t> words, std::string& error) {
  if (words.empty()) return true;
  std::unique_ptr<SimStateSession> session = SimStateSession::Open(state_file_, error);
  if (!session) return false;
  MouseState state = session->state();
  state.pending_events.insert(state.pending_events.begin(), words.begin(), words.end());
  // A full queue keeps the oldest words, as the mouse drops new ones when it is full.
  if (state.pending_events.size() > kMaxPendingEvents)
    state.pending_events.resize(kMaxPendingEvents);
  return session->Save(state, error);
}

std::vector<std::uint32_t> SimStateEventSource::Poll(std::uint32_t timeout_ms) {
  clock_.SleepMs(timeout_ms);
  if (!open_) return {};
  std::string error;
  std::unique_ptr<SimStateSession> session = SimStateSession::Open(state_file_, error);
  std::vector<std::uint32_t> words;
  const std::size_t limit = remaining_.load();
  if (session && limit > 0 && !session->state().pending_events.empty()) {
    MouseState state = session->state();
    const auto end = state.pending_events.begin() +
                     static_cast<std::ptrdiff_t>(std::min(limit, state.pending_events.size()));
    words.assign(state.pending_events.begin(), end);
    state.pending_events.erase(state.pending_events.begin(), end);
    if (session->Save(state, error)) {
      remaining_ -= words.size();  // only this reader thread takes
    } else {
      words.clear();  // left in the file for the next poll
    }
  }
  if (!error.empty()) {
    std::lock_guard lock(error_mutex_);
    error_ = std::move(error);
  }
  return words;
}

}  // namespace z900::sim
