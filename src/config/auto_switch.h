#pragma once

#include <optional>

#include "config/app_context.h"
#include "config/config_ports.h"
#include "config/settings_page_model.h"
#include "platform/foreground_app.h"

// Automatic profile switching: a profile tied to a program becomes the active one, and is
// written into the mouse, while that program owns the foreground window.
namespace z900::config {

// One tick of the switching timer: the first profile (1 to 5) that is on, names a program and
// whose program equals one of the foreground program's names (its executable's file name, or
// another it shows, case-sensitive) is selected with apply, unless it is the page's profile
// already. The foreground program is asked once per tick, when a profile qualifies. Returns
// whether a profile was selected.
bool CheckAutoSwitch(AppContext& context, SettingsPageModel& page, ConfigPorts& ports,
                     platform::ForegroundApp& foreground);
// The look-up half of the tick: the profile (0 … 4) the tick would select, or nullopt.
std::optional<int> FindAutoSwitchTarget(const AppContext& context, const SettingsPageModel& page,
                                        platform::ForegroundApp& foreground);

enum class SwitchAction {
  kTurnOn,        // the switch box is being checked
  kTurnOff,       // the switch box is being unchecked
  kChooseProgram  // the program button beside the box was clicked
};
// The switch box and the program button of the selected profile: asks for a program with the
// program chooser and stores the name it will be seen as in the foreground (ProgramSeenAs),
// refusing (str_msg7) a name any profile holds already. Changes stay in memory until the table
// is stored.
void ChooseSwitchProgram(AppContext& context, SettingsPageModel& page, platform::UiPort& ui,
                         SwitchAction action);

}  // namespace z900::config
