#include "actions/host_action_executor.h"

#include "config/settings_record.h"
#include "device/command_set.h"
#include "device/event_word.h"

namespace z900::actions {

std::string_view HostActionName(int kind) {
  switch (kind) {
    case HOST_OPEN_PROGRAM:
      return "start program";
    case HOST_PLAY_SOUND:
      return "play sound";
    case HOST_OPEN_FILE:
      return "open file";
    case HOST_OPEN_FOLDER:
      return "open folder";
    case HOST_SCREENSHOT_SCREEN:
      return "screenshot of the screen";
    case HOST_SCREENSHOT_WINDOW:
      return "screenshot of a window";
    case HOST_SCREENSHOT_AREA:
      return "screenshot of an area";
    case HOST_TOGGLE_WINDOW:
      return "show or hide the window";
    default:
      return {};
  }
}

bool ActionNamesButton(int kind) { return kind >= HOST_OPEN_PROGRAM && kind <= HOST_OPEN_FOLDER; }

platform::HostOutcome CarryOutHostAction(std::uint32_t word, int mode,
                                         const config::AppContext& context,
                                         const config::SettingsPageModel& page,
                                         HostActionPorts& ports) {
  if (!device::IsHostActionEvent(word)) return {};
  const int button_index = device::EventButtonIndex(word);
  const int kind = device::EventActionKind(word);
  // Each mode has eight assignments; an index beyond them names no button, and a mode the
  // mouse answered outside 0 … 1 names no assignments.
  const bool has_path =
      button_index < config::kButtonCount && mode >= 0 && mode < config::kModeCount;
  const std::u16string path =
      has_path ? config::HostActionPath(config::ButtonOf(context.settings, mode, button_index + 1))
               : std::u16string();

  switch (kind) {
    case HOST_OPEN_PROGRAM:
      if (!path.empty()) return ports.host.StartProgram(path);
      break;
    case HOST_PLAY_SOUND:
      if (!path.empty()) return ports.host.PlaySoundFile(path);
      break;
    case HOST_OPEN_FILE:
    case HOST_OPEN_FOLDER:
      if (!path.empty()) {
        const bool quote = path.find(u' ') != std::u16string::npos;
        return ports.host.OpenWithDefaultApplication(quote ? u"\"" + path + u"\"" : path);
      }
      break;
    case HOST_SCREENSHOT_SCREEN:
      return ports.host.StartTool(kScreenshotScreen);
    case HOST_SCREENSHOT_WINDOW:
      return ports.host.StartTool(kScreenshotWindow);
    case HOST_SCREENSHOT_AREA:
      return ports.host.StartTool(kScreenshotArea);
    case HOST_TOGGLE_WINDOW:
      ToggleMainWindow(context, page, ports.ui);
      break;
    default:
      break;
  }
  return {};
}

int ExecuteHostAction(std::uint32_t word, config::AppContext& context,
                      config::SettingsPageModel& page, HostActionPorts& ports) {
  device::QueryMode(ports.channel, page.mouse_handle, context.current_mode);
  const platform::HostOutcome outcome =
      CarryOutHostAction(word, context.current_mode, context, page, ports);
  if (!outcome.started) ports.channel.TraceNote("Host action: " + outcome.reason);
  return 1;
}

void ToggleMainWindow(const config::AppContext& context, const config::SettingsPageModel& page,
                      platform::UiPort& ui) {
  if (page.dialog_open == 1 || context.message_box_flag == 1) return;
  ui.CloseAssignmentMenu();
  if (ui.HideMainWindow()) return;
  ui.ShowMainWindow();
  ui.CloseAssignmentMenu();
}

}  // namespace z900::actions
