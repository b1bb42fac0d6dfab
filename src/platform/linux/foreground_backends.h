#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Who may speak for the desktop on the session bus, where any program of the user may take a
// free name: the file names of the programs that may hold the name, and whether their
// executable must be a file of the system (owned by root, writable by nobody else), as an
// installed compositor's is.
struct TrustedBusPeer {
  std::string desktop;  // "GNOME Shell", "KWin": for the message when someone else holds it
  std::vector<std::string> programs;
  bool system_file_only = true;
};
TrustedBusPeer GnomeShellPeer();
TrustedBusPeer KWinPeer();

// Whether process `pid` runs one of the programs `trusted` names; when not, `why` says what it
// runs ("/home/u/bin/fake (pid 1234)").
bool RunsTrustedProgram(std::uint32_t pid, const TrustedBusPeer& trusted, std::string& why);
// The identity with every other name the window's program shows: the process's comm, the file
// name of its argv[0] and of the script an interpreter runs (from /proc), the window's app id or
// class, and its X11 instance name. A name longer than kMaxAppIdBytes is left out.
ForegroundProgram ProcessProgramNames(std::uint32_t pid, std::string_view app_id,
                                      std::string_view instance = {});

// The environment that decides the back-end.
struct SessionFacts {
  std::string session_type;      // XDG_SESSION_TYPE
  std::string current_desktop;   // XDG_CURRENT_DESKTOP, colon-separated
  bool wayland_display = false;  // WAYLAND_DISPLAY set
  bool x_display = false;        // DISPLAY set
};
SessionFacts ReadSessionFacts();

// What CreateSystemForegroundApp makes for a session; `trusted` stands in for the desktop's own
// program on the bus (tests, with stand-ins of their own).
std::unique_ptr<ForegroundApp> CreateSessionForegroundApp(
    const SessionFacts& facts, ForegroundChangeHandler on_change,
    const std::optional<TrustedBusPeer>& trusted = std::nullopt);

// The desktop's own back-end: KWin for KDE, GNOME Shell for GNOME, the wlroots protocol for
// any other Wayland compositor, X11 for an X session, none without a display.
ForegroundBackend ChooseForegroundBackend(const SessionFacts& facts);

// The back-ends that follow the desktop's announcements on a thread of their own: the X
// server's active window, the wlroots protocol, KWin and GNOME Shell. The bus back-ends
// believe only the program that `trusted` names (the desktop's own by default).
std::unique_ptr<ForegroundApp> CreateX11ForegroundApp(ForegroundChangeHandler on_change = {});
std::unique_ptr<ForegroundApp> CreateWlrForegroundApp(ForegroundChangeHandler on_change);
std::unique_ptr<ForegroundApp> CreateKWinForegroundApp(ForegroundChangeHandler on_change);
std::unique_ptr<ForegroundApp> CreateKWinForegroundApp(ForegroundChangeHandler on_change,
                                                       TrustedBusPeer trusted);
std::unique_ptr<ForegroundApp> CreateGnomeForegroundApp(ForegroundChangeHandler on_change);
std::unique_ptr<ForegroundApp> CreateGnomeForegroundApp(ForegroundChangeHandler on_change,
                                                        TrustedBusPeer trusted);

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
