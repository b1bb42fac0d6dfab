#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/hid_backend.h"

namespace z900::device {

inline constexpr std::uint8_t kReportId = platform::kMouseReportId;
inline constexpr std::size_t kReportSize = platform::kMouseReportSize;
inline constexpr std::size_t kMaxPayload = kReportSize - 1;
inline constexpr std::uint8_t kStatusDone = 1;
inline constexpr int kAckPolls = 5;
inline constexpr std::uint32_t kAckPollIntervalMs = 10;

// One user's open handle on the mouse; empty when the mouse is not open.
using DeviceHandle = std::unique_ptr<platform::HidTransport>;

// Receives each diagnostic trace line, without a line end.
using TraceSink = std::function<void(std::string_view line)>;

// "Send:" or "Receive:", one blank, then each byte as "%02x ".
std::string FormatTraceLine(std::string_view label, std::span<const std::uint8_t> bytes);

// The report channel: the binding of the HID access library, shared by every handle, and the
// report, answer and acknowledgement rules on top of it.
class HidChannel {
 public:
  HidChannel(platform::HidBackend& backend, platform::Clock& clock);
  ~HidChannel();
  HidChannel(const HidChannel&) = delete;
  HidChannel& operator=(const HidChannel&) = delete;

  // Binds the library (one more load) and opens the mouse into `handle`. Returns true exactly
  // when a handle was obtained; when the library cannot be bound, `handle` is left alone.
  bool OpenDevice(DeviceHandle& handle);
  // Closes `handle` if it is open, then releases one load of the library.
  void CloseDevice(DeviceHandle& handle);

  // Writes one 32-byte report: the report ID, the payload (at most 31 bytes), zeros.
  bool SendReport(std::span<const std::uint8_t> payload, const DeviceHandle& handle);
  // Fetches one answer; on success the first k bytes of `buffer` become answer bytes 0 … k-1
  // (status first). A failed read, or an answer shorter than k bytes, leaves `buffer` unchanged
  // and returns false.
  bool ReadAnswer(std::size_t k, std::span<std::uint8_t> buffer, const DeviceHandle& handle);
  // Waits the command's initial time, then polls every 10 ms, at most five times, until byte 0
  // of `buffer` (which holds the command) reads as the done status.
  bool AwaitAck(std::span<std::uint8_t> buffer, std::size_t k, std::uint32_t initial_wait_ms,
                const DeviceHandle& handle);

  // Turns the diagnostic trace on (a sink) or off (an empty function). Besides the reports
  // sent and the answers received it gives each failed transfer with its reason.
  void SetTrace(TraceSink sink) { trace_ = std::move(sink); }
  // Adds a line of text to the trace when it is on: what went wrong where nothing is shown.
  void TraceNote(std::string_view line) const {
    if (trace_) trace_(line);
  }

  // Why the last OpenDevice found no usable mouse.
  platform::HidOpenError last_open_error() const { return last_open_error_; }
  const std::string& last_open_detail() const { return last_open_detail_; }
  // Loads of the library not yet released.
  int load_count() const { return load_count_; }
  platform::Clock& clock() { return clock_; }

 private:
  void Trace(std::string_view label, std::span<const std::uint8_t> bytes) const;
  void TraceFailure(std::string_view label, std::string_view reason) const;

  platform::HidBackend& backend_;
  platform::Clock& clock_;
  TraceSink trace_;
  int load_count_ = 0;
  platform::HidOpenError last_open_error_ = platform::HidOpenError::kNone;
  std::string last_open_detail_;
};

// After a failed write: whether the mouse is gone, that is no mouse can be opened at all. The
// channel's loads of the library are as they were afterwards.
bool MouseGone(HidChannel& channel);

}  // namespace z900::device
