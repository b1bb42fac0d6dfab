#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The little of the compositors' own IPC (sway's, Hyprland's) that tells which process owns the
// focused window.
namespace z900::platform {

// The process id of the focused window in a GET_TREE reply, when that window's app id (or, for
// an XWayland window, its class) is `app_id`; nullopt for anything else, a damaged reply
// included.
std::optional<std::uint32_t> FocusedProcessInSwayTree(std::string_view tree_json,
                                                      std::string_view app_id);

// Message types of sway's IPC that we send.
inline constexpr std::uint32_t kSwayRunCommand = 0;
inline constexpr std::uint32_t kSwayGetTree = 4;

// Sends one message to the sway instance at `socket_path` (SWAYSOCK) and returns the payload of
// its reply, waiting at most a second; nullopt when sway does not answer in kind.
std::optional<std::string> SwayRequest(const std::string& socket_path, std::uint32_t type,
                                       std::string_view payload = {});

// The process id in Hyprland's reply to "j/activewindow", when the active window's class (its
// app id) is `app_id`; nullopt otherwise.
std::optional<std::uint32_t> ActiveProcessInHyprlandReply(std::string_view reply_json,
                                                          std::string_view app_id);

// The request socket of the Hyprland instance named by `signature` (HYPRLAND_INSTANCE_SIGNATURE):
// under $XDG_RUNTIME_DIR/hypr/, or /tmp/hypr/ for older versions; empty when there is none.
std::string HyprlandSocketPath(const std::string& signature);

// Sends one request to Hyprland's socket and returns everything it answers before closing,
// waiting at most a second; nullopt when it does not answer.
std::optional<std::string> HyprlandRequest(const std::string& socket_path,
                                           std::string_view request);

}  // namespace z900::platform
