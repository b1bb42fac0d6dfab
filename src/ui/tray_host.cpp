#include "ui/tray_host.h"

namespace z900::ui {

bool ActivationShowsWindow(QSystemTrayIcon::ActivationReason why, TrayHost host) {
  switch (why) {
    case QSystemTrayIcon::DoubleClick:
      return true;
    case QSystemTrayIcon::Trigger:
      return host == TrayHost::kStatusNotifier;
    default:
      return false;
  }
}

}  // namespace z900::ui
