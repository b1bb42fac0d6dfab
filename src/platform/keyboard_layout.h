#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace z900::platform {

// The current keyboard layout, asked what a key types.
class KeyboardLayout {
 public:
  virtual ~KeyboardLayout() = default;
  // The character the key of this virtual-key code types with no modifier held; nullopt for a
  // key that types no printable character (modifiers, function keys, unknown codes).
  virtual std::optional<char32_t> UnshiftedCharacter(std::uint32_t virtual_key) const = 0;
};

// Letters and digits only, as every Latin layout types them: the fallback when the user's
// layout cannot be read.
class BasicKeyboardLayout final : public KeyboardLayout {
 public:
  std::optional<char32_t> UnshiftedCharacter(std::uint32_t key) const override {
    if (key >= 'A' && key <= 'Z') return static_cast<char32_t>(key - 'A' + 'a');
    if (key >= '0' && key <= '9') return static_cast<char32_t>(key);
    return std::nullopt;
  }
};

// Turns the key codes of the window system's key events into virtual-key codes. A key that
// types a character is named by its position (the mouse plays keys by position, and the
// desktop's layout turns them back into the same characters); a key with a function (a
// modifier of either side, Enter, Esc, arrows, function keys) by what the keymap makes it do,
// so that a remapped key records as what it does.
class KeyTranslator {
 public:
  virtual ~KeyTranslator() = default;
  // The virtual key of a native key code (on X11 and Wayland the xkb keycode, the Linux input
  // code + 8); nullopt for a key the utility has no code for.
  virtual std::optional<std::uint32_t> VirtualKeyOf(std::uint32_t native_key) const = 0;
};

// The layout the user types with: on Linux the X server's keymap when a display is reachable,
// otherwise the system's default keyboard. Nullptr, with the reason in `why`, when none can be
// built.
std::unique_ptr<KeyboardLayout> CreateSystemKeyboardLayout(std::string& why);

// The translator of the same keymap. When no keymap can be read it names keys by position
// alone, and `why` says why.
std::unique_ptr<KeyTranslator> CreateSystemKeyTranslator(std::string& why);

// Which of the window system's two codes of a key event the translator and VirtualKeyAtPosition
// take: the key code on X11 and Wayland, the virtual-key code on Windows.
std::uint32_t NativeKeyOfEvent(std::uint32_t native_scan_code, std::uint32_t native_virtual_key);

// The virtual key of a native key by its position on the keyboard alone (a US keyboard's names),
// whatever the layout; nullopt for a key the utility has no code for.
std::optional<std::uint32_t> VirtualKeyAtPosition(std::uint32_t native_key);

}  // namespace z900::platform
