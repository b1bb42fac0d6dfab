#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foreground_app.h"

// The Linux foreground back-ends and what they share; CreateSystemForegroundApp picks one.
namespace z900::platform {

// The longest app id or window class taken as a program's identity; a longer one can never
// equal a stored program name and is treated as unknown.
inline constexpr std::size_t kMaxAppIdBytes = 1024;

// The file name of /proc/PID/exe, or nullopt when the process is gone or not ours to read. An
// executable replaced since the start (a package upgrade) keeps its name.
std::optional<std::string> ExecutableNameOfProcess(std::uint32_t pid);

// The one identity of a foreground window across back-ends: its executable's file name when the
// process id (0: none) leads to one, else the app id or window class, else "Unknow".
std::u16string ProgramIdentity(std::uint32_t pid, std::string_view app_id);

// The environment that decides the back-end.
struct SessionFacts {
  std::string session_type;      // XDG_SESSION_TYPE
  std::string current_desktop;   // XDG_CURRENT_DESKTOP, colon-separated
  bool wayland_display = false;  // WAYLAND_DISPLAY set
  bool x_display = false;        // DISPLAY set
};
SessionFacts ReadSessionFacts();

// The desktop's own back-end: KWin for KDE, GNOME Shell for GNOME, the wlroots protocol for
// any other Wayland compositor, X11 for an X session, none without a display.
ForegroundBackend ChooseForegroundBackend(const SessionFacts& facts);

// The back-ends that follow the desktop's announcements on a thread of their own: the X
// server's active window, the wlroots protocol, KWin and GNOME Shell.
std::unique_ptr<ForegroundApp> CreateX11ForegroundApp(ForegroundChangeHandler on_change = {});
std::unique_ptr<ForegroundApp> CreateWlrForegroundApp(ForegroundChangeHandler on_change);
std::unique_ptr<ForegroundApp> CreateKWinForegroundApp(ForegroundChangeHandler on_change);
std::unique_ptr<ForegroundApp> CreateGnomeForegroundApp(ForegroundChangeHandler on_change);

// The bus name, object and interface our GNOME Shell extension exports; the uuid it is
// installed under.
inline constexpr char kGnomeExtensionBusName[] = "org.z900.Foreground";
inline constexpr char kGnomeExtensionPath[] = "/org/z900/Foreground";
inline constexpr char kGnomeExtensionInterface[] = "org.z900.Foreground1";
inline constexpr char kGnomeExtensionUuid[] = "z900-foreground@z900";

// The object of ours that the KWin script calls, on our unique bus name; the plugin name the
// script is loaded under.
inline constexpr char kKWinReceiverPath[] = "/org/z900/KWinForeground";
inline constexpr char kKWinReceiverInterface[] = "org.z900.KWinForeground1";
inline constexpr char kKWinPluginName[] = "z900_foreground";

}  // namespace z900::platform
