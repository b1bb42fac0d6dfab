#include "keys/combo_keys.h"

#include "keys/key_names.h"
#include "platform/virtual_key.h"

namespace z900::keys {
namespace {

// The box a modifier key ticks; kBoxCount for any other key.
ComboKeyState::Box BoxOf(std::uint32_t virtual_key) {
  switch (virtual_key) {
    case platform::kVkControl:
    case platform::kVkLControl:
    case platform::kVkRControl:
      return ComboKeyState::kCtrlBox;
    case platform::kVkMenu:
    case platform::kVkLMenu:
    case platform::kVkRMenu:
      return ComboKeyState::kAltBox;
    case platform::kVkShift:
    case platform::kVkLShift:
    case platform::kVkRShift:
      return ComboKeyState::kShiftBox;
    case platform::kVkLWin:
    case platform::kVkRWin:
      return ComboKeyState::kWinBox;
    default:
      return ComboKeyState::kBoxCount;
  }
}

}  // namespace

bool ComboKeyState::OnKey(std::uint32_t virtual_key) {
  if (const Box box = BoxOf(virtual_key); box != kBoxCount) {
    ticked_[box] = true;
    return false;
  }
  const bool changed = key_code_ != virtual_key;
  key_code_ = virtual_key;
  return changed;
}

std::uint8_t ComboKeyState::DisplayMask() const {
  std::uint8_t mask = 0;
  if (ticked_[kCtrlBox]) mask |= kModCtrl;
  if (ticked_[kShiftBox]) mask |= kModShift;
  if (ticked_[kAltBox]) mask |= kModAlt;
  if (ticked_[kWinBox]) mask |= kModWin;
  return mask;
}

std::optional<platform::ComboKeyChoice> ComboKeyState::Accept() const {
  if (DisplayMask() == 0 && key() == 0) return std::nullopt;
  return platform::ComboKeyChoice{DisplayMask(), key_code_};
}

}  // namespace z900::keys
