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

int ExecuteHostAction(std::uint32_t word, config::AppContext& context,
                      config::SettingsPageModel& page, HostActionPorts& ports) {
  device::QueryMode(ports.channel, page.mouse_handle, context.current_mode);
  if (!device::IsHostActionEvent(word)) return 1;
  const int button_index = device::EventButtonIndex(word);
  const int kind = device::EventActionKind(word);
  // Each mode has eight assignments; an index beyond them names no button, and a mode the
  // mouse answered outside 0 … 1 names no assignments.
  const bool has_path = button_index < config::kButtonCount && context.current_mode >= 0 &&
                        context.current_mode < config::kModeCount;
  const std::u16string path = has_path
                                  ? config::HostActionPath(config::ButtonOf(
                                        context.settings, context.current_mode, button_index + 1))
                                  : std::u16string();

  switch (kind) {
    case HOST_OPEN_PROGRAM:
      if (!path.empty()) ports.host.StartProgram(path);
      break;
    case HOST_PLAY_SOUND:
      if (!path.empty()) ports.host.PlaySoundFile(path);
      break;
    case HOST_OPEN_FILE:
    case HOST_OPEN_FOLDER:
      if (!path.empty()) {
        const bool quote = path.find(u' ') != std::u16string::npos;
        ports.host.OpenWithDefaultApplication(quote ? u"\"" + path + u"\"" : path);
      }
      break;
    case HOST_SCREENSHOT_SCREEN:
      ports.host.StartTool(kScreenshotScreen);
      break;
    case HOST_SCREENSHOT_WINDOW:
      ports.host.StartTool(kScreenshotWindow);
      break;
    case HOST_SCREENSHOT_AREA:
      ports.host.StartTool(kScreenshotArea);
      break;
    case HOST_TOGGLE_WINDOW:
      ToggleMainWindow(context, page, ports.ui);
      break;
    default:
      break;
  }
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
