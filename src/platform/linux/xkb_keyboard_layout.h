#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "platform/keyboard_layout.h"

namespace z900::platform {

// The XKB names of a keymap; an empty field takes xkbcommon's default.
struct XkbNames {
  std::string rules;
  std::string model;
  std::string layout;
  std::string variant;
  std::string options;
};

// A layout read from an XKB keymap once, when it is built: the characters of the keymap's
// active layout group with no modifier held.
class XkbKeyboardLayout final : public KeyboardLayout {
 public:
  // Characters by X keycode (0 … 255); 0 where the key types nothing printable.
  explicit XkbKeyboardLayout(const std::array<char32_t, 256>& characters);
  std::optional<char32_t> UnshiftedCharacter(std::uint32_t virtual_key) const override;

 private:
  std::array<char32_t, 256> characters_;
};

// A layout compiled from names alone, ignoring XKB_DEFAULT_* variables; for tests and for
// the system default. Nullptr, with the reason in `why`, when xkbcommon cannot compile it.
std::unique_ptr<KeyboardLayout> CreateXkbLayoutFromNames(const XkbNames& names, std::string& why);

// The keymap of the X server named by DISPLAY, in its current layout group; nullptr when no X
// server answers.
std::unique_ptr<KeyboardLayout> CreateXServerLayout(std::string& why);

// The names of the system's default keyboard from the text of /etc/default/keyboard
// (XKBMODEL, XKBLAYOUT, XKBVARIANT, XKBOPTIONS).
XkbNames ParseDefaultKeyboardFile(std::string_view text);

}  // namespace z900::platform
