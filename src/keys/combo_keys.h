#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "platform/ui_port.h"

namespace z900::keys {

// The combination-key dialog without its window: four modifier boxes and the last key that is
// not a modifier. Keys only ever tick boxes; a box is cleared by clicking it.
class ComboKeyState {
 public:
  enum Box { kCtrlBox, kAltBox, kShiftBox, kWinBox, kBoxCount };

  // One key message, press or release alike: Ctrl, Alt, Shift (either side or generic) and the
  // Win keys tick their box; any other key becomes the key. True when the key changed.
  bool OnKey(std::uint32_t virtual_key);
  void ToggleBox(Box box) { ticked_[box] = !ticked_[box]; }
  bool IsTicked(Box box) const { return ticked_[box]; }

  // The full virtual-key code of the key (0 = none), and its low 8 bits as stored.
  std::uint32_t key_code() const { return key_code_; }
  std::uint8_t key() const { return static_cast<std::uint8_t>(key_code_); }
  // Ctrl 0x01, Shift 0x02, Alt 0x04, Win 0x08 for the ticked boxes.
  std::uint8_t DisplayMask() const;

  // What OK hands back; nullopt, a cancel, when no box is ticked and there is no key.
  std::optional<platform::ComboKeyChoice> Accept() const;

 private:
  std::array<bool, kBoxCount> ticked_{};
  std::uint32_t key_code_ = 0;
};

}  // namespace z900::keys
