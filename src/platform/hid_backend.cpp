#include "platform/hid_backend.h"

namespace z900::platform {

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
      return "The Z900 mouse is connected but " + detail +
             " may not be opened by this user. Install the udev rule "
             "(sudo cp resources/udev/70-z900.rules /etc/udev/rules.d/ && sudo udevadm control "
             "--reload && sudo udevadm trigger), then plug the mouse in again.";
    case HidOpenError::kOpenFailed:
      return "The Z900 mouse is connected but could not be opened: " + detail;
  }
  return {};
}

}  // namespace z900::platform
