#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/clock.h"
#include "platform/event_source.h"
#include "platform/hid_backend.h"

namespace z900::device {

// The driver's role played by the mouse itself: a handle of its own on the vendor interface,
// whose interrupt reports carry the event words of host-action buttons.
class HidEventSource final : public platform::QueuedEventSource {
 public:
  HidEventSource(platform::HidBackend& backend, platform::Clock& clock)
      : backend_(backend), clock_(clock) {}
  ~HidEventSource() override { CloseDevice(); }
  HidEventSource(const HidEventSource&) = delete;
  HidEventSource& operator=(const HidEventSource&) = delete;

  bool OpenDevice() override;
  void CloseDevice() override;
  // Registration, setting and unregistration are accepted while the mouse is open.
  bool Control(std::span<const std::uint8_t> record) override;

  // Reads the mouse's interrupt reports for up to timeout_ms and returns their event words.
  std::vector<std::uint32_t> Poll(std::uint32_t timeout_ms) override;

 protected:
  bool HasOrigin() const override { return true; }

 private:
  platform::HidBackend& backend_;
  platform::Clock& clock_;
  std::mutex device_mutex_;  // the reader polls while the ui thread opens and closes
  std::unique_ptr<platform::HidTransport> device_;
  // Whether device_ is set, for Control: the reader holds the mutex through each wait for a
  // report and takes it again at once, so a registration waiting for it could wait for long.
  std::atomic<bool> open_{false};
  bool initialised_ = false;
};

}  // namespace z900::device
