#pragma once

#include <windows.h>

#include "platform/keyboard_layout.h"

namespace z900::platform {

// What the keys type in one Windows keyboard layout.
class WindowsKeyboardLayout final : public KeyboardLayout {
 public:
  explicit WindowsKeyboardLayout(HKL layout) : layout_(layout) {}
  std::optional<char32_t> UnshiftedCharacter(std::uint32_t virtual_key) const override;

 private:
  HKL layout_;
};

}  // namespace z900::platform
