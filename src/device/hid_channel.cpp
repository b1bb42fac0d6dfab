#include "device/hid_channel.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace z900::device {

std::string FormatTraceLine(std::string_view label, std::span<const std::uint8_t> bytes) {
  std::string line(label);
  line += ' ';
  line.reserve(line.size() + 3 * bytes.size());
  char hex[4];
  for (std::uint8_t byte : bytes) {
    std::snprintf(hex, sizeof hex, "%02x ", byte);
    line += hex;
  }
  return line;
}

HidChannel::HidChannel(platform::HidBackend& backend, platform::Clock& clock)
    : backend_(backend), clock_(clock) {}

HidChannel::~HidChannel() {
  // Loads still held when the channel goes are released with it, as at process exit.
  if (load_count_ > 0) backend_.Shutdown();
}

bool HidChannel::OpenDevice(DeviceHandle& handle) {
  if (!backend_.Initialise()) {
    last_open_error_ = platform::HidOpenError::kOpenFailed;
    last_open_detail_ = "the HID library could not be initialised";
    return false;
  }
  ++load_count_;
  platform::HidOpenResult result = backend_.OpenMouse();
  last_open_error_ = result.transport ? platform::HidOpenError::kNone : result.error;
  last_open_detail_ = std::move(result.detail);
  handle = std::move(result.transport);
  return handle != nullptr;
}

void HidChannel::CloseDevice(DeviceHandle& handle) {
  handle.reset();
  if (load_count_ > 0 && --load_count_ == 0) backend_.Shutdown();
}

bool HidChannel::SendReport(std::span<const std::uint8_t> payload, const DeviceHandle& handle) {
  if (!handle || payload.size() > kMaxPayload) return false;
  std::array<std::uint8_t, kReportSize> report{};
  report[0] = kReportId;
  std::copy(payload.begin(), payload.end(), report.begin() + 1);
  if (!handle->WriteReport(report)) {
    TraceFailure("Send failed:", handle->LastError());
    return false;
  }
  Trace("Send:", std::span(report).first(payload.size() + 1));
  return true;
}

bool HidChannel::ReadAnswer(std::size_t k, std::span<std::uint8_t> buffer,
                            const DeviceHandle& handle) {
  if (!handle || k > kMaxPayload || buffer.size() < k) return false;
  std::array<std::uint8_t, kReportSize> answer{};
  answer[0] = kReportId;
  std::copy_n(buffer.begin(), k, answer.begin() + 1);
  const int length = handle->GetInputReport(answer);
  if (length < 0) {
    TraceFailure("Receive failed:", handle->LastError());
    return false;
  }
  // What the buffer held before the read must never pass for answer bytes.
  if (static_cast<std::size_t>(length) < k) {
    TraceFailure("Receive failed:",
                 "short answer, " + std::to_string(length) + " of " + std::to_string(k) + " bytes");
    return false;
  }
  Trace("Receive:", std::span(answer).first(k));
  std::copy_n(answer.begin(), k, buffer.begin());
  return true;
}

bool HidChannel::AwaitAck(std::span<std::uint8_t> buffer, std::size_t k,
                          std::uint32_t initial_wait_ms, const DeviceHandle& handle) {
  if (buffer.empty()) return false;
  clock_.SleepMs(initial_wait_ms);
  for (int poll = 0; poll < kAckPolls && buffer[0] != kStatusDone; ++poll) {
    clock_.SleepMs(kAckPollIntervalMs);
    ReadAnswer(k, buffer, handle);  // a failed read still counts as a poll
  }
  return buffer[0] == kStatusDone;
}

void HidChannel::Trace(std::string_view label, std::span<const std::uint8_t> bytes) const {
  if (trace_) trace_(FormatTraceLine(label, bytes));
}

void HidChannel::TraceFailure(std::string_view label, std::string_view reason) const {
  if (trace_) trace_(std::string(label) + ' ' + std::string(reason));
}

bool MouseGone(HidChannel& channel) {
  DeviceHandle probe;
  const int loads = channel.load_count();
  const bool opened = channel.OpenDevice(probe);
  const bool gone = !opened && channel.last_open_error() == platform::HidOpenError::kNoDevice;
  // Only a load this probe took is given back.
  if (channel.load_count() > loads) {
    channel.CloseDevice(probe);
  } else {
    probe.reset();
  }
  return gone;
}

}  // namespace z900::device
