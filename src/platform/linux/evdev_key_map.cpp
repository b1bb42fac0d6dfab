#include "platform/linux/evdev_key_map.h"

#include <linux/input-event-codes.h>

#include "platform/keyboard_layout.h"
#include "platform/virtual_key.h"

namespace z900::platform {
namespace {

constexpr VirtualKeyPosition kPositions[] = {
    {kVkBack, KEY_BACKSPACE},
    {kVkTab, KEY_TAB},
    {kVkReturn, KEY_ENTER},
    {kVkPause, KEY_PAUSE},
    {kVkCapital, KEY_CAPSLOCK},
    {kVkEscape, KEY_ESC},
    {kVkSpace, KEY_SPACE},
    {kVkPrior, KEY_PAGEUP},
    {kVkNext, KEY_PAGEDOWN},
    {kVkEnd, KEY_END},
    {kVkHome, KEY_HOME},
    {kVkLeft, KEY_LEFT},
    {kVkUp, KEY_UP},
    {kVkRight, KEY_RIGHT},
    {kVkDown, KEY_DOWN},
    {kVkSnapshot, KEY_SYSRQ},
    {kVkInsert, KEY_INSERT},
    {kVkDelete, KEY_DELETE},
    {kVk0, KEY_0},
    {kVk0 + 1, KEY_1},
    {kVk0 + 2, KEY_2},
    {kVk0 + 3, KEY_3},
    {kVk0 + 4, KEY_4},
    {kVk0 + 5, KEY_5},
    {kVk0 + 6, KEY_6},
    {kVk0 + 7, KEY_7},
    {kVk0 + 8, KEY_8},
    {kVk0 + 9, KEY_9},
    {'A', KEY_A},
    {'B', KEY_B},
    {'C', KEY_C},
    {'D', KEY_D},
    {'E', KEY_E},
    {'F', KEY_F},
    {'G', KEY_G},
    {'H', KEY_H},
    {'I', KEY_I},
    {'J', KEY_J},
    {'K', KEY_K},
    {'L', KEY_L},
    {'M', KEY_M},
    {'N', KEY_N},
    {'O', KEY_O},
    {'P', KEY_P},
    {'Q', KEY_Q},
    {'R', KEY_R},
    {'S', KEY_S},
    {'T', KEY_T},
    {'U', KEY_U},
    {'V', KEY_V},
    {'W', KEY_W},
    {'X', KEY_X},
    {'Y', KEY_Y},
    {'Z', KEY_Z},
    {kVkLWin, KEY_LEFTMETA},
    {kVkRWin, KEY_RIGHTMETA},
    {kVkApps, KEY_COMPOSE},
    {kVkNumpad0, KEY_KP0},
    {kVkNumpad0 + 1, KEY_KP1},
    {kVkNumpad0 + 2, KEY_KP2},
    {kVkNumpad0 + 3, KEY_KP3},
    {kVkNumpad0 + 4, KEY_KP4},
    {kVkNumpad0 + 5, KEY_KP5},
    {kVkNumpad0 + 6, KEY_KP6},
    {kVkNumpad0 + 7, KEY_KP7},
    {kVkNumpad0 + 8, KEY_KP8},
    {kVkNumpad0 + 9, KEY_KP9},
    {kVkMultiply, KEY_KPASTERISK},
    {kVkAdd, KEY_KPPLUS},
    {kVkSubtract, KEY_KPMINUS},
    {kVkDecimal, KEY_KPDOT},
    {kVkDivide, KEY_KPSLASH},
    {kVkF1, KEY_F1},
    {kVkF1 + 1, KEY_F2},
    {kVkF1 + 2, KEY_F3},
    {kVkF1 + 3, KEY_F4},
    {kVkF1 + 4, KEY_F5},
    {kVkF1 + 5, KEY_F6},
    {kVkF1 + 6, KEY_F7},
    {kVkF1 + 7, KEY_F8},
    {kVkF1 + 8, KEY_F9},
    {kVkF1 + 9, KEY_F10},
    {kVkF1 + 10, KEY_F11},
    {kVkF1 + 11, KEY_F12},
    {kVkF1 + 12, KEY_F13},
    {kVkF1 + 13, KEY_F14},
    {kVkF1 + 14, KEY_F15},
    {kVkF1 + 15, KEY_F16},
    {kVkF1 + 16, KEY_F17},
    {kVkF1 + 17, KEY_F18},
    {kVkF1 + 18, KEY_F19},
    {kVkF1 + 19, KEY_F20},
    {kVkF1 + 20, KEY_F21},
    {kVkF1 + 21, KEY_F22},
    {kVkF1 + 22, KEY_F23},
    {kVkF1 + 23, KEY_F24},
    {kVkNumLock, KEY_NUMLOCK},
    {kVkScroll, KEY_SCROLLLOCK},
    {kVkLShift, KEY_LEFTSHIFT},
    {kVkRShift, KEY_RIGHTSHIFT},
    {kVkLControl, KEY_LEFTCTRL},
    {kVkRControl, KEY_RIGHTCTRL},
    {kVkLMenu, KEY_LEFTALT},
    {kVkRMenu, KEY_RIGHTALT},
    {kVkBrowserBack, KEY_BACK},
    {kVkBrowserForward, KEY_FORWARD},
    {kVkBrowserRefresh, KEY_REFRESH},
    {kVkBrowserStop, KEY_STOP},
    {kVkBrowserSearch, KEY_SEARCH},
    {kVkBrowserFavorites, KEY_BOOKMARKS},
    {kVkBrowserHome, KEY_HOMEPAGE},
    {kVkVolumeMute, KEY_MUTE},
    {kVkVolumeDown, KEY_VOLUMEDOWN},
    {kVkVolumeUp, KEY_VOLUMEUP},
    {kVkMediaNextTrack, KEY_NEXTSONG},
    {kVkMediaPrevTrack, KEY_PREVIOUSSONG},
    {kVkMediaStop, KEY_STOPCD},
    {kVkMediaPlayPause, KEY_PLAYPAUSE},
    {kVkLaunchMail, KEY_MAIL},
    {kVkOem1, KEY_SEMICOLON},
    {kVkOemPlus, KEY_EQUAL},
    {kVkOemComma, KEY_COMMA},
    {kVkOemMinus, KEY_MINUS},
    {kVkOemPeriod, KEY_DOT},
    {kVkOem2, KEY_SLASH},
    {kVkOem3, KEY_GRAVE},
    {kVkOem4, KEY_LEFTBRACE},
    {kVkOem5, KEY_BACKSLASH},
    {kVkOem6, KEY_RIGHTBRACE},
    {kVkOem7, KEY_APOSTROPHE},
    {kVkOem102, KEY_102ND},
    // The keypad's Enter gives the virtual key of Enter; the main Enter above wins when a
    // virtual key is mapped to its position.
    {kVkReturn, KEY_KPENTER},
};

}  // namespace

std::span<const VirtualKeyPosition> VirtualKeyPositions() { return kPositions; }

std::optional<std::uint32_t> EvdevCodeOfVirtualKey(std::uint32_t virtual_key) {
  for (const VirtualKeyPosition& row : kPositions) {
    if (row.virtual_key == virtual_key) return row.evdev_code;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> VirtualKeyOfEvdevCode(std::uint32_t evdev_code) {
  for (const VirtualKeyPosition& row : kPositions) {
    if (row.evdev_code == evdev_code) return row.virtual_key;
  }
  return std::nullopt;
}

// X and Wayland key codes are the Linux input codes plus 8.
constexpr std::uint32_t kXkbKeycodeOffset = 8;

std::uint32_t NativeKeyOfEvent(std::uint32_t native_scan_code, std::uint32_t /*virtual_key*/) {
  return native_scan_code;
}

std::optional<std::uint32_t> VirtualKeyAtPosition(std::uint32_t native_key) {
  if (native_key <= kXkbKeycodeOffset) return std::nullopt;
  return VirtualKeyOfEvdevCode(native_key - kXkbKeycodeOffset);
}

}  // namespace z900::platform
