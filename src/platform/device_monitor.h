#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui_task_poster.h"

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

// The system's notifications of the mouse's USB device (Linux: the device manager, udev; Windows:
// the device interface notifications of USB devices), read on a thread of their own and told to
// the listener on the ui thread through `post`.
std::unique_ptr<DeviceMonitor> CreateSystemDeviceMonitor(UiTaskPoster post);

// Whether a USB device's product identification, as the kernel gives it ("5e1d/e37/100":
// vendor, product and release in hexadecimal), names the mouse.
bool IsMouseUsbProduct(std::string_view product);
// Whether a device interface's name, as Windows announces it ("\\?\USB#VID_5E1D&PID_0E37#…"),
// names the mouse: it holds "VID_5E1D&PID_0E37" in any case.
bool IsMouseDeviceInterfaceName(std::u16string_view name);

}  // namespace z900::platform
