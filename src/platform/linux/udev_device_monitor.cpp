// The mouse's USB device plugged in and out, as the device manager (udev) announces it once it
// has set the device up; read on a thread of its own.
#include <libudev.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "platform/device_monitor.h"
#include "platform/linux/event_thread.h"

namespace z900::platform {
namespace {

class UdevDeviceMonitor final : public DeviceMonitor {
 public:
  explicit UdevDeviceMonitor(UiTaskPoster post) : post_(std::move(post)) {}

  ~UdevDeviceMonitor() override {
    thread_.Stop();
    // A change posted before the stop finds the listener gone.
    if (shared_) shared_->stopped = true;
    if (monitor_ != nullptr) udev_monitor_unref(monitor_);
    if (udev_ != nullptr) udev_unref(udev_);
  }

  bool Start(Listener listener) override {
    if (monitor_ != nullptr) return true;
    udev_ = udev_new();
    if (udev_ == nullptr) return false;
    // Whole USB devices, not each of their interfaces.
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
      return false;
    }
    shared_ = std::make_shared<Shared>();
    shared_->listener = std::move(listener);
    return thread_.Start([this] { Read(); });
  }

 private:
  // What the posted tasks reach on the ui thread, also after the monitor went.
  struct Shared {
    Listener listener;
    bool stopped = false;  // only on the ui thread
  };

  void Read() {
    pollfd entries[] = {thread_.StopEntry(), {udev_monitor_get_fd(monitor_), POLLIN, 0}};
    for (;;) {
      if (::poll(entries, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (entries[0].revents != 0) return;
      // The socket does not block: everything there is, then on to the ui thread.
      while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(device);
        const char* product = udev_device_get_property_value(device, "PRODUCT");
        if (action != nullptr && product != nullptr && IsMouseUsbProduct(product)) {
          if (std::strcmp(action, "add") == 0) Tell(DeviceChange::kArrival);
          if (std::strcmp(action, "remove") == 0) Tell(DeviceChange::kRemoval);
        }
        udev_device_unref(device);
      }
    }
  }

  void Tell(DeviceChange change) {
    post_([shared = shared_, change] {
      if (!shared->stopped) shared->listener(change);
    });
  }

  UiTaskPoster post_;
  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  std::shared_ptr<Shared> shared_;
  EventThread thread_;
};

}  // namespace

std::unique_ptr<DeviceMonitor> CreateSystemDeviceMonitor(UiTaskPoster post) {
  return std::make_unique<UdevDeviceMonitor>(std::move(post));
}

}  // namespace z900::platform
