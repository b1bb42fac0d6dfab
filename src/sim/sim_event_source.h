#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <span>
#include <string>

#include "platform/clock.h"
#include "platform/event_source.h"

namespace z900::sim {

// Events of the simulated mouse that another program shares: while open, the source takes the
// event words that presses left in the state file (under its lock) every poll interval, up to
// the take limit; the others stay queued in the file for the next listener. A program that
// watches the file itself makes it without polling and hands the words over with Deliver.
class SimStateEventSource final : public platform::QueuedEventSource {
 public:
  enum class Polling { kPollFile, kDeliveredByWatcher };

  SimStateEventSource(std::filesystem::path state_file, platform::Clock& clock,
                      Polling polling = Polling::kPollFile)
      : state_file_(std::move(state_file)), clock_(clock), polling_(polling) {}

  bool OpenDevice() override;
  // Told after each OpenDevice, on the thread that opened: a watcher then hands over what
  // presses left in the file while the source was closed. Set it before the source is used.
  void SetOpenedListener(std::function<void()> listener) { opened_ = std::move(listener); }
  void CloseDevice() override { open_ = false; }
  bool Control(std::span<const std::uint8_t> record) override;
  // Whether the utility is registered, so that events are taken from the mouse.
  bool is_open() const { return open_; }

  // The last problem with the state file, for the user; empty when there was none.
  std::string TakeError();
  // The most words this source takes from the file over its life; unlimited when not set.
  void set_take_limit(std::size_t words) { remaining_ = words; }
  // Puts words that were taken but not used back at the head of the file's queue, in their
  // order; false, with the reason, when the file cannot be written.
  bool ReturnEvents(std::span<const std::uint32_t> words, std::string& error);

 protected:
  bool HasOrigin() const override { return polling_ == Polling::kPollFile; }
  std::vector<std::uint32_t> Poll(std::uint32_t timeout_ms) override;

 private:
  const std::filesystem::path state_file_;
  platform::Clock& clock_;
  const Polling polling_;
  std::atomic<bool> open_{false};
  std::function<void()> opened_;
  std::atomic<std::size_t> remaining_{SIZE_MAX};
  std::mutex error_mutex_;
  std::string error_;
};

}  // namespace z900::sim
