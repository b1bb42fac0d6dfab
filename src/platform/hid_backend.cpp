#include "platform/hid_backend.h"

#include <algorithm>

namespace z900::platform {

std::size_t StatusFirstAnswer(std::span<std::uint8_t> answer, std::size_t length) {
  length = std::min(length, answer.size());
  if (length == 0 || answer[0] != kMouseReportId) return length;
  std::copy(answer.begin() + 1, answer.begin() + static_cast<std::ptrdiff_t>(length),
            answer.begin());
  answer[length - 1] = 0;
  return length - 1;
}

std::optional<HidInterfaceInfo> SelectMouseInterface(const std::vector<HidInterfaceInfo>& found) {
  for (const HidInterfaceInfo& info : found) {
    if (info.usage_page == kMouseUsagePage && info.usage == kMouseUsage) return info;
  }
  return std::nullopt;
}

std::string DescribeOpenFailure(HidOpenError error, const std::string& detail) {
  switch (error) {
    case HidOpenError::kNone:
      return {};
    case HidOpenError::kNoDevice:
      return "No Z900 mouse found. Plug the mouse in (USB ID 5e1d:0e37), or use --simulate to "
             "work with the simulated mouse.";
    case HidOpenError::kAccessDenied:
      return "The Z900 mouse is connected but " + detail + " may not be opened by this user. " +
             MouseAccessHint();
    case HidOpenError::kUnsupportedSystem:
      return "The Z900 mouse is connected but cannot be used on this system: " + detail;
    case HidOpenError::kOpenFailed:
      // Not necessarily connected: the failure may come before any device was looked at.
      return "The Z900 mouse could not be opened: " + detail;
  }
  return {};
}

}  // namespace z900::platform
