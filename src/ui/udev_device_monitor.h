#pragma once

#include <QObject>

#include "platform/device_monitor.h"

struct udev;
struct udev_monitor;
class QSocketNotifier;

namespace z900::ui {

// Notifications of the mouse's USB device from the system's device manager (libudev), read
// on the ui thread whenever its socket has news.
class UdevDeviceMonitor final : public QObject, public platform::DeviceMonitor {
 public:
  explicit UdevDeviceMonitor(QObject* parent = nullptr) : QObject(parent) {}
  ~UdevDeviceMonitor() override;

  bool Start(Listener listener) override;

 private:
  void ReadChanges();

  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  Listener listener_;
};

}  // namespace z900::ui
