#pragma once

#include <QSystemTrayIcon>

// How the desktop shows the utility's tray icon, and what a click on it means there.
namespace z900::ui {

enum class TrayHost {
  kXEmbed,          // an icon window embedded into the tray: clicks reach it as they are
  kStatusNotifier,  // an item the desktop draws (KDE Plasma, GNOME with the AppIndicator
                    // extension, most Wayland desktops): it tells of an activation, not of clicks
};

// The host the tray icons made from now on go to: StatusNotifier when a host is registered with
// the StatusNotifier watcher of the session bus, which is what Qt asks when it makes an icon.
TrayHost CurrentTrayHost();

// Whether an activation of the icon opens the window: a double click in an XEmbed tray, where a
// single click comes first as a trigger; the activation itself on a StatusNotifier host, which
// sends no double click.
bool ActivationShowsWindow(QSystemTrayIcon::ActivationReason why, TrayHost host);

}  // namespace z900::ui
