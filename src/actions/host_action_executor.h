#pragma once

#include <cstdint>
#include <string_view>

#include "config/app_context.h"
#include "config/settings_page_model.h"
#include "device/hid_channel.h"
#include "platform/host_services.h"
#include "platform/ui_port.h"

// Carrying out the functions the mouse reports instead of doing them itself.
namespace z900::actions {

// Action kinds, bits 8 … 11 of the event word.
enum HostActionKind : int {
  HOST_OPEN_PROGRAM = 2,
  HOST_PLAY_SOUND = 3,
  HOST_OPEN_FILE = 4,
  HOST_OPEN_FOLDER = 5,
  HOST_SCREENSHOT_SCREEN = 9,
  HOST_SCREENSHOT_WINDOW = 10,
  HOST_SCREENSHOT_AREA = 11,
  HOST_TOGGLE_WINDOW = 12,
};

// The command lines of the screenshot tool.
inline constexpr char kScreenshotScreen[] = "z900-screengrab -t desktop -p";
inline constexpr char kScreenshotWindow[] = "z900-screengrab -t window -p";
inline constexpr char kScreenshotArea[] = "z900-screengrab -t region -p";

// What the executor reaches the world through.
struct HostActionPorts {
  device::HidChannel& channel;  // with the page's handle, for the mode query
  platform::HostServices& host;
  platform::UiPort& ui;
};

// A name for an action kind, for people reading events ("open file"); empty for kinds without
// an action.
std::string_view HostActionName(int kind);

// Whether the event word of an action kind names the pressed button (the kinds that act on the
// button's path); the others carry a fixed 1 in that field.
bool ActionNamesButton(int kind);

// Acts on a host-action event by kind with the path that `mode`'s assignment of the event's
// button holds. Events without the marker, and kinds without an action, do nothing. Says
// whether the host could start what the event asks for.
platform::HostOutcome CarryOutHostAction(std::uint32_t word, int mode,
                                         const config::AppContext& context,
                                         const config::SettingsPageModel& page,
                                         HostActionPorts& ports);

// The handler of one event word: asks the mouse for its current mode first (every event, even
// one without the marker), then carries the event out in that mode. Nothing is shown when the
// host cannot start it; the reason goes to the trace. Returns 1 (handled).
int ExecuteHostAction(std::uint32_t word, config::AppContext& context,
                      config::SettingsPageModel& page, HostActionPorts& ports);

// Shows the main window when hidden and hides it when shown; nothing while a dialog of the
// settings page or a message is open.
void ToggleMainWindow(const config::AppContext& context, const config::SettingsPageModel& page,
                      platform::UiPort& ui);

}  // namespace z900::actions
