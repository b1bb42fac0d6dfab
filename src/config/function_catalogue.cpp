#include "config/function_catalogue.h"

#include <algorithm>
#include <array>

#include "device/key_usage_table.h"

namespace z900::config {
namespace {

using K = i18n::StringKey;
using G = MenuGroup;
using R = CodeRule;

// Offered functions in the order of the assignment menu (top-level entries, then each group's
// sub-menu), then the wheel functions of buttons 7 and 8, then the types no menu offers.
constexpr FunctionEntry kCatalogue[] = {
    {5, 5, K::str_combokey, G::kTopLevel, R::kCombo, 0, "combo"},
    {6, 6, K::str_mac_def, G::kMacro, R::kMacro, 0, "macro"},
    {19, 128, K::str_advanced_sound, G::kAdvanced, R::kHostAction, 0x00C30004, "sound"},
    {19, 129, K::str_advanced_exe, G::kAdvanced, R::kHostAction, 0x00C20004, "program"},
    {19, 130, K::str_advanced_file, G::kAdvanced, R::kHostAction, 0x00C40004, "file"},
    {19, 131, K::str_advanced_dir, G::kAdvanced, R::kHostAction, 0x00C50004, "folder"},
    {64, 64, K::str_cut, G::kBasic, R::kFixed, 0x1B020002, "cut"},
    {65, 65, K::str_copy, G::kBasic, R::kFixed, 0x06020002, "copy"},
    {66, 66, K::str_past, G::kBasic, R::kFixed, 0x19020002, "paste"},
    {68, 68, K::str_all, G::kBasic, R::kFixed, 0x04020002, "select-all"},
    {69, 69, K::str_find, G::kBasic, R::kFixed, 0x09020002, "find"},
    {70, 70, K::str_new, G::kBasic, R::kFixed, 0x11020002, "new"},
    {71, 71, K::str_print, G::kBasic, R::kFixed, 0x13020002, "print"},
    {72, 72, K::str_save, G::kBasic, R::kFixed, 0x16020002, "save"},
    {67, 67, K::str_undo, G::kBasic, R::kFixed, 0x1D020002, "undo"},
    {81, 81, K::str_close, G::kBasic, R::kFixed, 0x3D040002, "close-window"},
    {85, 85, K::str_show, G::kBasic, R::kFixed, 0x07080002, "show-desktop"},
    {82, 82, K::str_lock, G::kBasic, R::kFixed, 0x0F080002, "lock"},
    {84, 84, K::str_run, G::kBasic, R::kFixed, 0x15080002, "run"},
    {1, 1, K::str_click, G::kMouse, R::kFixed, 0x00010003, "click"},
    {4, 4, K::str_middle, G::kMouse, R::kFixed, 0x00040003, "middle-click"},
    {2, 2, K::str_menu, G::kMouse, R::kFixed, 0x00020003, "right-click"},
    {8, 8, K::str_pre, G::kMouse, R::kFixed, 0x00100003, "forward"},
    {16, 16, K::str_back, G::kMouse, R::kFixed, 0x00080003, "back"},
    {133, 133, K::str_dbclick, G::kMouse, R::kFixed, 0x01010003, "double-click"},
    {116, 116, K::str_screenshot_screen, G::kScreenshot, R::kFixed, 0x01C90004,
     "screenshot-screen"},
    {117, 117, K::str_screenshot_win, G::kScreenshot, R::kFixed, 0x01CA0004, "screenshot-window"},
    {118, 118, K::str_screenshot_area, G::kScreenshot, R::kFixed, 0x01CB0004, "screenshot-area"},
    {32, 32, K::str_PL, G::kMedia, R::kFixed, 0xCD000004, "play-pause"},
    {33, 33, K::str_stop, G::kMedia, R::kFixed, 0xB7000004, "stop"},
    {34, 34, K::str_pre_media, G::kMedia, R::kFixed, 0xB6000004, "previous-track"},
    {35, 35, K::str_next_media, G::kMedia, R::kFixed, 0xB5000004, "next-track"},
    {37, 37, K::str_vol_up, G::kMedia, R::kFixed, 0xE9000004, "volume-up"},
    {38, 38, K::str_vol_dw, G::kMedia, R::kFixed, 0xEA000004, "volume-down"},
    {39, 39, K::str_mute, G::kMedia, R::kFixed, 0xE2000004, "mute"},
    {122, 122, K::str_win8_start, G::kWin8, R::kFixed, 0x00080002, "start-menu"},
    {123, 123, K::str_win8_classic, G::kWin8, R::kFixed, 0x10080002, "minimise-all"},
    {124, 124, K::str_win8_switch, G::kWin8, R::kFixed, 0x2B040002, "switch-window"},
    {125, 125, K::str_win8_find, G::kWin8, R::kFixed, 0x14080002, "search"},
    {126, 126, K::str_win8_winp, G::kWin8, R::kFixed, 0x57080002, "magnifier-in"},
    {127, 127, K::str_win8_winm, G::kWin8, R::kFixed, 0x56080002, "magnifier-out"},
    {12, 12, K::str_onekeystart, G::kTopLevel, R::kFixed, 0x01CC0004, "show-hide"},
    {121, 121, K::str_disable, G::kTopLevel, R::kFixed, 0x00000007, "disable"},
    {11, 11, K::str_scrollup, G::kTopLevel, R::kFixed, 0xFFFFFFFF, "wheel-up", 7},
    {22, 22, K::str_scrolldw, G::kTopLevel, R::kFixed, 0xFFFFFFFF, "wheel-down", 8},
    {40, 40, std::nullopt, G::kNotOffered, R::kFixed, 0x83010004, "consumer-0183"},
    {86, 86, K::str_zoomin, G::kNotOffered, R::kNone, 0, "zoom-in"},
    {87, 87, K::str_zoomout, G::kNotOffered, R::kNone, 0, "zoom-out"},
};

constexpr std::pair<MenuGroup, i18n::StringKey> kGroupNames[] = {
    {G::kMacro, K::str_mac_def},  {G::kMouse, K::str_mousefun}, {G::kAdvanced, K::str_advance},
    {G::kBasic, K::str_base_fun}, {G::kMedia, K::str_media},    {G::kScreenshot, K::str_screenshot},
    {G::kWin8, K::str_win8},
};

}  // namespace

std::span<const FunctionEntry> FunctionCatalogue() { return kCatalogue; }

const FunctionEntry* FindFunctionType(std::int32_t type) {
  const auto* found =
      std::find_if(std::begin(kCatalogue), std::end(kCatalogue),
                   [type](const FunctionEntry& entry) { return entry.type == type; });
  return found == std::end(kCatalogue) ? nullptr : found;
}

const FunctionEntry* FindFunctionByCliName(std::string_view cli_name) {
  const auto* found =
      std::find_if(std::begin(kCatalogue), std::end(kCatalogue),
                   [cli_name](const FunctionEntry& entry) { return entry.cli_name == cli_name; });
  return found == std::end(kCatalogue) ? nullptr : found;
}

std::string_view CliNameOf(const ButtonAssignment& assignment) {
  if (assignment.function_type == kTypeHostAction) {
    // The advanced kind is byte 2 of the stored code; the button index (byte 3) varies.
    const std::uint32_t kind = HostActionOf(assignment).device_code & 0x00FFFFFF;
    for (const FunctionEntry& entry : kCatalogue) {
      if (entry.rule == CodeRule::kHostAction && entry.code == kind) return entry.cli_name;
    }
    return {};
  }
  const FunctionEntry* entry = FindFunctionType(assignment.function_type);
  return entry == nullptr ? std::string_view() : entry->cli_name;
}

std::optional<i18n::StringKey> MenuGroupNameKey(MenuGroup group) {
  for (const auto& [g, key] : kGroupNames) {
    if (g == group) return key;
  }
  return std::nullopt;
}

std::u16string FunctionDisplayName(std::int32_t type, const i18n::LanguageStrings& strings) {
  const FunctionEntry* entry = FindFunctionType(type);
  // Combinations, macros and host actions show their own text (combination, macro name, path).
  if (entry == nullptr || !entry->name_key ||
      (entry->rule != CodeRule::kFixed && entry->rule != CodeRule::kNone)) {
    return {};
  }
  return strings.Get(*entry->name_key);
}

std::uint32_t HostActionCode(const FunctionEntry& entry, int button_index) {
  return entry.code + static_cast<std::uint32_t>(button_index) * 0x01000000u;
}

DeviceCodeResult DeviceCodeOf(const ButtonAssignment& assignment) {
  using Kind = DeviceCodeResult::Kind;
  const FunctionEntry* entry = FindFunctionType(assignment.function_type);
  if (entry == nullptr) return {};
  switch (entry->rule) {
    case CodeRule::kFixed:
      return {Kind::kCode, entry->code};
    case CodeRule::kCombo:
      return {Kind::kCode, ComboOf(assignment).device_code};
    case CodeRule::kHostAction:
      return {Kind::kCode, HostActionOf(assignment).device_code};
    case CodeRule::kMacro:
      return {Kind::kMacro, 0};
    case CodeRule::kNone:
      break;
  }
  return {};
}

ComboKeyBlock MakeComboKeyBlock(std::uint8_t display_mask, std::uint32_t key_code) {
  constexpr std::uint8_t kCtrl = 0x01, kShift = 0x02, kAlt = 0x04, kWin = 0x08;
  ComboKeyBlock block{};
  block.display_mask = display_mask & (kCtrl | kShift | kAlt | kWin);
  block.key = static_cast<std::uint8_t>(key_code);
  std::uint32_t bits = 0;
  if (display_mask & kShift) bits |= 0x01;
  if (display_mask & kCtrl) bits |= 0x02;
  if (display_mask & kAlt) bits |= 0x04;
  if (display_mask & kWin) bits |= 0x08;
  const std::uint32_t usage = key_code == 0 ? 0 : device::UsageOfVirtualKey(key_code);
  if (bits != 0 && usage != 0) {
    block.device_code = 0x02u | bits << 16 | usage << 24;
  } else if (bits != 0) {
    // Modifiers alone: the usage of one left-hand modifier key.
    std::uint32_t modifier_usage = 0xE1;  // Left Shift
    if (display_mask & kAlt) {
      modifier_usage = 0xE2;
    } else if (display_mask & kWin) {
      modifier_usage = 0xE3;
    } else if (display_mask & kCtrl) {
      modifier_usage = 0xE0;
    }
    block.device_code = modifier_usage << 16;
  } else {
    block.device_code = usage << 16;
  }
  return block;
}

}  // namespace z900::config
