#pragma once

#include <functional>
#include <string_view>

namespace z900::platform {

// What happened to the mouse's USB device.
enum class DeviceChange { kArrival, kRemoval };

// Notifications of the mouse being plugged in and out, delivered on the ui thread.
class DeviceMonitor {
 public:
  using Listener = std::function<void(DeviceChange change)>;

  virtual ~DeviceMonitor() = default;
  // Starts watching; false when notifications cannot be had (unplugging then goes unnoticed).
  virtual bool Start(Listener listener) = 0;
};

// Whether a USB device's product identification, as the kernel gives it ("5e1d/e37/100":
// vendor, product and release in hexadecimal), names the mouse.
bool IsMouseUsbProduct(std::string_view product);

}  // namespace z900::platform
