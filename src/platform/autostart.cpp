#include "platform/autostart.h"

namespace z900::platform {

std::string DescribeAutostart(const AutostartStatus& status) {
  return std::string(status.enabled ? "on" : "off") + " (" +
         (status.decider.empty() ? std::string("no autostart entry is installed")
                                 : status.decider) +
         ")";
}

}  // namespace z900::platform
