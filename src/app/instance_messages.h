#pragma once

#include <optional>
#include <string>
#include <string_view>

// The requests that reach the running instance from outside, as the window messages they
// stand for: one line "MESSAGE WPARAM LPARAM" each, which the instance answers with the line
// "done" once it has carried the request out.
namespace z900::app {

enum class InstanceRequest {
  kShowWindow,  // 1132 with 515: a second instance, like a double click on the tray icon
  kHideWindow,  // 2049: hide the window
};

inline constexpr int kTrayNotifyMessage = 1132;  // WM_USER + 108
inline constexpr int kHideWindowMessage = 2049;  // WM_USER + 1025
inline constexpr int kDoubleClick = 515;         // the tray icon's double click
inline constexpr int kRightButtonUp = 517;       // the tray icon's context click
// The longest request line a running instance reads; longer ones are refused.
inline constexpr std::size_t kMaxRequestLine = 64;
// The running instance's answer to a request it carried out, with its line end.
inline constexpr char kRequestDone[] = "done\n";

// The request's line, with its line end.
std::string FormatInstanceRequest(InstanceRequest request);
// The request a line (without its end) stands for; nullopt for anything else, so that a
// stranger's bytes do nothing.
std::optional<InstanceRequest> ParseInstanceRequest(std::string_view line);

}  // namespace z900::app
