#pragma once

#include "config/app_context.h"
#include "config/settings_page_model.h"
#include "platform/key_store.h"
#include "platform/keyboard_layout.h"
#include "platform/ui_port.h"

// What a choice in a button's assignment menu does to the button.
namespace z900::config {

// What the choice handler reaches: the user (choosers, the combination-key dialog, the macro
// chooser, the notice), the macros and the layout the combination is named in.
struct AssignmentPorts {
  platform::UiPort& ui;
  platform::KeyStore& store;
  const platform::KeyboardLayout& layout;
};

// Makes button 1 … 8 of the mode the page shows now the page's current button, as its menu
// opens: the choice, and every dialog it opens, is for that button of that mode.
void BeginAssignmentChoice(const AppContext& context, SettingsPageModel& page, int button);

// Carries out a menu choice (item identifier, category: the low 16 bits of each count) for the
// page's current button in the mode taken with it: simple functions at once, a sound, program, file
// or folder, a key combination or a macro beyond the menu's list through their dialogs (with
// the page's dialog-open flag set meanwhile), a listed macro through the page's macro item
// table. Refused with str_msg1 while no other button of the mode has the left click. A
// cancelled dialog, a macro that is gone or a choice no menu offers changes nothing, also not
// the button's macro reference and its profile's macro id. True when the button was assigned;
// the current button is then cleared.
bool HandleAssignmentChoice(AppContext& context, SettingsPageModel& page, AssignmentPorts& ports,
                            int item, int category);

}  // namespace z900::config
