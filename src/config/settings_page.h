#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/app_context.h"
#include "config/settings_page_model.h"
#include "config/settings_record.h"

// The settings page without its widgets: what it shows of the current mode and the selected
// profile, and what each of its controls changes. The Qt page renders the view and forwards
// its controls here; nothing in this file reaches the mouse.
namespace z900::config {

// The boxes of the page in their order on the page: DPI 800, 1600, 3200, 4000; rates 125, 500,
// 1000; lighting effects off, slow, fast, always.
inline constexpr std::array<std::int32_t, kDpiStageCount> kDpiBoxes = {800, 1600, 3200, 4000};
inline constexpr std::array<std::int32_t, 3> kRateButtons = {125, 500, 1000};
inline constexpr std::array<std::int32_t, 4> kEffectButtons = {kLightingOff, kLightingSlow,
                                                               kLightingFast, kLightingAlways};
// The lighting slider's range.
inline constexpr int kSliderMinimum = 1;
inline constexpr int kSliderMaximum = 7;
// The profile name box takes this many characters; the name copy reads at most 49.
inline constexpr int kProfileNameLimit = 20;
inline constexpr std::size_t kProfileNameCopyUnits = 49;

// Everything the page shows, for one refresh.
struct SettingsPageView {
  std::array<std::u16string, kButtonCount> button_texts;  // buttons 1 … 8
  // LED APM is checked: the effect buttons and the slider are disabled, the slider hidden.
  bool follows_activity = false;
  int slider_position = kSliderMinimum;
  std::array<bool, kRateButtons.size()> rate_checked{};
  std::array<bool, kDpiBoxes.size()> dpi_checked{};
  int mode = 0;  // the checked mode tab
  std::array<bool, kProfileCount> profile_tabs{};
  // The selected profile's name, when a selected profile is loaded.
  std::optional<std::u16string> profile_name;
  bool switch_box_checked = false;
  bool program_button_visible = false;
  std::u16string program_button_text;
};

// What the page shows now: the current mode's buttons, lighting, rate and DPI stages, the
// profile tabs, the selected profile's name and its automatic switching. An effect outside
// 1 … 7 shows the slider at 1.
SettingsPageView RefreshSettingsPage(const AppContext& context, const SettingsPageModel& page);

// A click on DPI box 0 … 3 of `mode`: the only checked box stays checked (so one stage always
// remains); any other box toggles, and the stages are rebuilt in box order, the rest 0, with
// their count. Returns whether the stages changed.
bool ToggleDpiBox(SettingsRecord& record, int mode, int box);

// A slider position as an effect: 2 and 3 become 3, 4 and 5 become 5, 6 and 7 become 7; 1 and
// anything below stays 1, anything above becomes 7.
int SnapLightingPosition(int position);

// The rate, effect and LED-mode controls of `mode`.
void SetReportRate(SettingsRecord& record, int mode, std::int32_t rate);
void SetLightingEffect(SettingsRecord& record, int mode, std::int32_t effect);
void SetLightingFollowsActivity(SettingsRecord& record, int mode, bool follows);

// The profile name box's text stored as the record's profile name (at most 49 units).
void CopyProfileName(SettingsRecord& record, std::u16string_view text);

}  // namespace z900::config
