#include "config/settings_page.h"

#include <algorithm>

#include "platform/text.h"

namespace z900::config {
namespace {

// Which DPI boxes show checked: those whose DPI is one of the mode's stages.
std::array<bool, kDpiBoxes.size()> DpiBoxesChecked(const SettingsRecord& record, int mode) {
  std::array<bool, kDpiBoxes.size()> checked{};
  const auto& stages = record.dpi_stages[mode];
  for (std::size_t i = 0; i < kDpiBoxes.size(); ++i) {
    checked[i] = std::find(std::begin(stages), std::end(stages), kDpiBoxes[i]) != std::end(stages);
  }
  return checked;
}

}  // namespace

SettingsPageView RefreshSettingsPage(const AppContext& context, const SettingsPageModel& page) {
  const SettingsRecord& record = context.settings;
  const int mode = context.current_mode == 1 ? 1 : 0;
  SettingsPageView view;
  view.mode = mode;
  for (int button = 1; button <= kButtonCount; ++button) {
    view.button_texts[button - 1] =
        platform::ReadFixedText(ButtonOf(record, mode, button).display_name);
  }
  view.follows_activity = record.lighting_follows_activity[mode] != 0;
  const std::int32_t effect = record.lighting_effect[mode];
  view.slider_position =
      effect >= kSliderMinimum && effect <= kSliderMaximum ? effect : kSliderMinimum;
  for (std::size_t i = 0; i < kRateButtons.size(); ++i) {
    view.rate_checked[i] = record.report_rate[mode] == kRateButtons[i];
  }
  view.dpi_checked = DpiBoxesChecked(record, mode);
  view.profile_tabs = page.profile_tabs;
  if (const ProfileEntry* entry = page.SelectedEntry(context.profiles);
      entry != nullptr && entry->magic == kProfileEntryMagic && entry->selected != 0) {
    view.profile_name = platform::ReadFixedText(record.profile_name);
  }
  view.switch_box_checked = page.switch_box_checked;
  view.program_button_visible = page.switch_box_checked;
  view.program_button_text = page.program_button_text;
  return view;
}

bool ToggleDpiBox(SettingsRecord& record, int mode, int box) {
  if (mode < 0 || mode >= kModeCount || box < 0 || box >= kDpiStageCount) return false;
  std::array<bool, kDpiBoxes.size()> checked = DpiBoxesChecked(record, mode);
  if (checked[box] && std::count(checked.begin(), checked.end(), true) == 1) return false;
  checked[box] = !checked[box];
  int count = 0;
  for (std::size_t i = 0; i < kDpiBoxes.size(); ++i) {
    if (checked[i]) record.dpi_stages[mode][count++] = kDpiBoxes[i];
  }
  for (int slot = count; slot < kDpiStageCount; ++slot) record.dpi_stages[mode][slot] = 0;
  record.stage_count[mode] = count;
  return true;
}

int SnapLightingPosition(int position) {
  if (position <= kLightingOff) return kLightingOff;
  if (position <= kLightingSlow) return kLightingSlow;
  if (position <= kLightingFast) return kLightingFast;
  return kLightingAlways;
}

void SetReportRate(SettingsRecord& record, int mode, std::int32_t rate) {
  record.report_rate[mode] = rate;
}

void SetLightingEffect(SettingsRecord& record, int mode, std::int32_t effect) {
  record.lighting_effect[mode] = effect;
}

void SetLightingFollowsActivity(SettingsRecord& record, int mode, bool follows) {
  record.lighting_follows_activity[mode] = follows ? 1 : 0;
}

void CopyProfileName(SettingsRecord& record, std::u16string_view text) {
  platform::WriteFixedText(record.profile_name, text.substr(0, kProfileNameCopyUnits));
}

}  // namespace z900::config
