#pragma once

#include <QSystemTrayIcon>

// How the desktop shows the utility's tray icon, and what a click on it means there.
namespace z900::ui {

enum class TrayHost {
  kIconWindow,      // an icon window in the tray (an XEmbed tray; the notification area of
                    // Windows alike): clicks reach it as they are
  kStatusNotifier,  // an item the desktop draws (KDE Plasma, GNOME with the AppIndicator
                    // extension, most Wayland desktops): it tells of an activation, not of clicks
};

// The host the tray icons made from now on go to: StatusNotifier when a host is registered with
// the StatusNotifier watcher of the session bus, which is what Qt asks when it makes an icon
// (tray_host_dbus.cpp: desktops with a session bus).
TrayHost CurrentTrayHost();

// Whether an activation of the icon opens the window: a double click on an icon window, where a
// single click comes first as a trigger; the activation itself on a StatusNotifier host, which
// sends no double click.
bool ActivationShowsWindow(QSystemTrayIcon::ActivationReason why, TrayHost host);

}  // namespace z900::ui
