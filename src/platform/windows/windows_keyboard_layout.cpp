#include "platform/windows/windows_keyboard_layout.h"

namespace z900::platform {
namespace {

// Keeps ToUnicodeEx from changing the keyboard's state (a dead key would otherwise wait for
// the next key the user types).
constexpr UINT kKeepKeyboardState = 0x4;

// The hook and the window system give virtual-key codes already.
class WindowsKeyTranslator final : public KeyTranslator {
 public:
  std::optional<std::uint32_t> VirtualKeyOf(std::uint32_t native_key) const override {
    if (native_key == 0 || native_key > 0xFE) return std::nullopt;
    return native_key;
  }
};

}  // namespace

std::optional<char32_t> WindowsKeyboardLayout::UnshiftedCharacter(std::uint32_t virtual_key) const {
  if (virtual_key == 0 || virtual_key > 0xFE) return std::nullopt;
  // Keys with no position on the keyboard (mouse buttons, most media keys) have no scan code.
  const UINT scan_code = ::MapVirtualKeyExW(virtual_key, MAPVK_VK_TO_VSC, layout_);
  if (scan_code == 0) return std::nullopt;
  BYTE no_modifiers[256] = {};
  wchar_t typed[8] = {};
  int count =
      ::ToUnicodeEx(virtual_key, scan_code, no_modifiers, typed, 8, kKeepKeyboardState, layout_);
  // A dead key types its accent on its own; the first call may report it as -1.
  if (count < 0) count = 1;
  if (count == 0) return std::nullopt;
  char32_t character = typed[0];
  if (count >= 2 && typed[0] >= 0xD800 && typed[0] < 0xDC00 && typed[1] >= 0xDC00 &&
      typed[1] < 0xE000) {
    character = 0x10000 + ((static_cast<char32_t>(typed[0]) - 0xD800) << 10) +
                (static_cast<char32_t>(typed[1]) - 0xDC00);
  }
  // Enter, Tab, Backspace and Esc type control characters, which are no names.
  if (character < 0x20 || character == 0x7F) return std::nullopt;
  return character;
}

std::unique_ptr<KeyboardLayout> CreateSystemKeyboardLayout(std::string& why) {
  const HKL layout = ::GetKeyboardLayout(0);
  if (layout == nullptr) {
    why = "the keyboard layout of this session cannot be read";
    return nullptr;
  }
  return std::make_unique<WindowsKeyboardLayout>(layout);
}

std::unique_ptr<KeyTranslator> CreateSystemKeyTranslator(std::string& /*why*/) {
  return std::make_unique<WindowsKeyTranslator>();
}

std::uint32_t NativeKeyOfEvent(std::uint32_t /*native_scan_code*/, std::uint32_t virtual_key) {
  return virtual_key;
}

std::optional<std::uint32_t> VirtualKeyAtPosition(std::uint32_t native_key) {
  return WindowsKeyTranslator().VirtualKeyOf(native_key);
}

}  // namespace z900::platform
