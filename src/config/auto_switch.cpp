#include "config/auto_switch.h"

#include <cstring>

#include "config/profiles.h"
#include "platform/text.h"
#include "platform/utf8_path.h"

namespace z900::config {
namespace {

// Asks for a program; its file name without folder, or nullopt when the user cancels or the
// name cannot be stored.
std::optional<std::u16string> AskProgramName(SettingsPageModel& page, platform::UiPort& ui) {
  page.dialog_open = 1;
  const std::optional<std::filesystem::path> chosen = ui.ChooseFile(platform::FileChoice::kProgram);
  page.dialog_open = 0;
  if (!chosen) return std::nullopt;
  // Stored as the program will be seen in the foreground: links followed, a wrapper by the
  // window its desktop entry names.
  std::u16string name = platform::ProgramSeenAs(*chosen);
  if (name.empty() || name.size() > kMaxTextUnits) return std::nullopt;
  return name;
}

// Whether a profile (any of the five, whatever its other fields) holds this program already;
// says so with str_msg7.
bool IsProgramTaken(AppContext& context, platform::UiPort& ui, std::u16string_view name) {
  for (const ProfileEntry& entry : context.profiles.entries) {
    if (platform::ReadFixedText(entry.program_name) == name) {
      ShowMessage(context, ui, context.Text(i18n::StringKey::str_msg7), false);
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<int> FindAutoSwitchTarget(const AppContext& context, const SettingsPageModel& page,
                                        platform::ForegroundApp& foreground) {
  // Asked once per tick, and only when a profile waits for a program.
  std::optional<platform::ForegroundProgram> seen;
  for (int k = 0; k < kProfileCount; ++k) {
    const ProfileEntry& entry = context.profiles.entries[k];
    if (entry.magic != kProfileEntryMagic || entry.auto_switch == 0 ||
        entry.program_name[0] == u'\0') {
      continue;
    }
    if (!seen) seen = foreground.ForegroundProgramNames();
    if (!seen->Matches(platform::ReadFixedText(entry.program_name))) continue;
    if (k == page.selected_profile) return std::nullopt;
    return k;
  }
  return std::nullopt;
}

bool CheckAutoSwitch(AppContext& context, SettingsPageModel& page, ConfigPorts& ports,
                     platform::ForegroundApp& foreground) {
  const std::optional<int> target = FindAutoSwitchTarget(context, page, foreground);
  if (!target) return false;
  page.switch_target_index = *target;
  return SelectProfile(context, page, ports, *target, true);
}

void ChooseSwitchProgram(AppContext& context, SettingsPageModel& page, platform::UiPort& ui,
                         SwitchAction action) {
  ProfileEntry* entry = page.SelectedEntry(context.profiles);
  if (entry == nullptr) return;
  switch (action) {
    case SwitchAction::kTurnOn: {
      // The box shows checked while the chooser is open.
      page.switch_box_checked = true;
      ui.RefreshPage();
      const std::optional<std::u16string> name = AskProgramName(page, ui);
      if (!name || IsProgramTaken(context, ui, *name)) {
        page.switch_box_checked = false;
        return;
      }
      platform::WriteFixedText(entry->program_name, *name);
      page.program_button_text = *name;
      page.program_button_visible = true;
      entry->auto_switch = 1;
      return;
    }
    case SwitchAction::kTurnOff:
      std::memset(entry->program_name, 0, sizeof entry->program_name);
      page.program_button_visible = false;
      page.switch_box_checked = false;
      entry->auto_switch = 0;
      return;
    case SwitchAction::kChooseProgram: {
      const std::optional<std::u16string> name = AskProgramName(page, ui);
      if (!name || IsProgramTaken(context, ui, *name)) return;
      platform::WriteFixedText(entry->program_name, *name);
      page.program_button_text = *name;
      return;
    }
  }
}

}  // namespace z900::config
