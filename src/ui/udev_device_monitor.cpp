#include "ui/udev_device_monitor.h"

#include <libudev.h>

#include <QSocketNotifier>
#include <cstring>
#include <vector>

namespace z900::ui {

UdevDeviceMonitor::~UdevDeviceMonitor() {
  delete notifier_;
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  if (udev_ != nullptr) udev_unref(udev_);
}

bool UdevDeviceMonitor::Start(Listener listener) {
  if (monitor_ != nullptr) return true;
  udev_ = udev_new();
  if (udev_ == nullptr) return false;
  // Whole USB devices, as the device manager announces them once it has set them up.
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (monitor_ == nullptr ||
      udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    return false;
  }
  listener_ = std::move(listener);
  notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &UdevDeviceMonitor::ReadChanges);
  return true;
}

void UdevDeviceMonitor::ReadChanges() {
  // The socket does not block: take everything there is, then tell (telling may show a
  // message, which runs the event loop meanwhile).
  std::vector<platform::DeviceChange> changes;
  while (udev_device* device = udev_monitor_receive_device(monitor_)) {
    const char* action = udev_device_get_action(device);
    const char* product = udev_device_get_property_value(device, "PRODUCT");
    if (action != nullptr && product != nullptr && platform::IsMouseUsbProduct(product)) {
      if (std::strcmp(action, "add") == 0) changes.push_back(platform::DeviceChange::kArrival);
      if (std::strcmp(action, "remove") == 0) changes.push_back(platform::DeviceChange::kRemoval);
    }
    udev_device_unref(device);
  }
  for (const platform::DeviceChange change : changes) listener_(change);
}

}  // namespace z900::ui
