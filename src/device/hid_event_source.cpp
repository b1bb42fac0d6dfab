#include "device/hid_event_source.h"

#include <array>

#include "device/driver_records.h"
#include "device/event_word.h"

namespace z900::device {

bool HidEventSource::OpenDevice() {
  std::lock_guard lock(device_mutex_);
  if (device_) return true;
  if (!initialised_) {
    if (!backend_.Initialise()) return false;
    initialised_ = true;
  }
  device_ = backend_.OpenMouse().transport;
  open_ = device_ != nullptr;
  return open_;
}

void HidEventSource::CloseDevice() {
  std::lock_guard lock(device_mutex_);
  open_ = false;
  device_.reset();
  if (initialised_) {
    backend_.Shutdown();
    initialised_ = false;
  }
}

bool HidEventSource::Control(std::span<const std::uint8_t> record) {
  return AcceptControlRequest(record, open_);
}

std::vector<std::uint32_t> HidEventSource::Poll(std::uint32_t timeout_ms) {
  std::vector<std::uint32_t> words;
  bool waited = false;
  {
    std::lock_guard lock(device_mutex_);
    std::array<std::uint8_t, 64> report{};
    int timeout = static_cast<int>(timeout_ms);
    // Take every report that is already there, waiting only for the first.
    while (device_) {
      const int length = device_->ReadInputReport(report, timeout);
      if (length <= 0) {
        waited = length == 0 && timeout > 0;
        break;
      }
      const auto word =
          DecodeEventReport(std::span(report).first(static_cast<std::size_t>(length)));
      if (word) words.push_back(*word);
      timeout = 0;
      waited = true;
    }
  }
  // Without a device (or after a device error) wait here, so the reader never spins.
  if (!waited) clock_.SleepMs(timeout_ms);
  return words;
}

}  // namespace z900::device
