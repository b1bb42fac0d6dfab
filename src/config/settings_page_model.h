#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "config/settings_record.h"
#include "device/hid_channel.h"

namespace z900::config {

// Device codes of macro buttons, per mode and button 1 … 8 (index button − 1): the code each
// received at its last successful macro write in this run; 0 until then.
using MacroSlotCodes = std::array<std::array<std::uint32_t, kButtonCount>, kModeCount>;

// Identifiers of the macros listed in an assignment menu, at 1 … 20.
inline constexpr int kMenuMacroItems = 20;
using MacroItemTable = std::array<std::uint32_t, kMenuMacroItems + 1>;

// The state of the settings page that the core reads and writes, without any widget: the Qt
// page owns one and renders it; the cli keeps one per run.
struct SettingsPageModel {
  // The page's open handle on the mouse; every device command of the page, the apply and the
  // host actions go through it. Empty when the mouse is not open.
  device::DeviceHandle mouse_handle;
  MacroSlotCodes macro_slot_codes{};
  // The entry of AppContext::profiles loaded on the page, 0 … 4; -1 before the first load.
  int selected_profile = -1;
  // The checked profile tab, 0 … 4.
  int selected_profile_index = 0;
  // The profile a tab or the automatic switching is about to select, 0 … 4.
  int switch_target_index = 0;
  // 1 while a modal dialog opened by the page is showing (choosers, reset question, …).
  int dialog_open = 0;
  // Button number minus 1 whose menu or dialog is in progress; -1 when none.
  int current_button = -1;
  // The mode of that button, taken when its menu opens: a host action may change the current
  // mode while the menu or a dialog of the choice is open.
  int current_button_mode = 0;
  MacroItemTable macro_item_table{};
  // Which profile tabs show pressed.
  std::array<bool, kProfileCount> profile_tabs{};
  // The automatic switching box and the program button beside it.
  bool switch_box_checked = false;
  bool program_button_visible = false;
  std::u16string program_button_text;
  // 1 once profile 1 was saved into the registry copy DefaultSetting in this run; profile 1 is
  // then loaded from there instead of its file.
  int registry_copy_flag = 0;
  // The byte after the record in the last profile file read; written back on save.
  std::uint8_t trailer_byte = 0;

  // The loaded profile's entry, or nullptr before the first load.
  ProfileEntry* SelectedEntry(ProfileTable& table) const {
    return HasSelectedProfile() ? &table.entries[selected_profile] : nullptr;
  }
  const ProfileEntry* SelectedEntry(const ProfileTable& table) const {
    return HasSelectedProfile() ? &table.entries[selected_profile] : nullptr;
  }
  bool HasSelectedProfile() const {
    return selected_profile >= 0 && selected_profile < kProfileCount;
  }
};

}  // namespace z900::config
