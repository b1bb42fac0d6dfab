#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
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

// What an XKB keymap says of every X keycode (0 … 255) in one layout group with no modifier
// held, read once.
struct XkbKeyTable {
  std::array<char32_t, 256> characters{};    // 0 where the key types nothing printable
  std::array<std::uint32_t, 256> keysyms{};  // the key's first keysym; 0 = none
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

// Key codes to virtual keys by a keymap's keysyms (see KeyTranslator); a table without keysyms
// names every key by its position.
class XkbKeyTranslator final : public KeyTranslator {
 public:
  explicit XkbKeyTranslator(const std::array<std::uint32_t, 256>& keysyms);
  std::optional<std::uint32_t> VirtualKeyOf(std::uint32_t keycode) const override;

 private:
  std::array<std::uint32_t, 256> virtual_keys_{};  // 0 = no code
};

// The virtual key a keysym stands for when the key has a function rather than a character:
// modifiers by side, Enter, Esc, navigation and function keys. Nullopt for other keysyms.
std::optional<std::uint32_t> VirtualKeyOfFunctionKeysym(std::uint32_t keysym);

// A keymap compiled from names alone, ignoring XKB_DEFAULT_* variables; for tests and for the
// system default. Nullopt, with the reason in `why`, when xkbcommon cannot compile it.
std::optional<XkbKeyTable> XkbKeyTableFromNames(const XkbNames& names, std::string& why);
// The keymap of the X server named by DISPLAY, in its current layout group; nullopt when no X
// server answers.
std::optional<XkbKeyTable> XkbKeyTableFromXServer(std::string& why);
// The keymap the user types with: the X server's, else the system's default keyboard.
std::optional<XkbKeyTable> SystemXkbKeyTable(std::string& why);

// The layouts of those keymaps.
std::unique_ptr<KeyboardLayout> CreateXkbLayoutFromNames(const XkbNames& names, std::string& why);
std::unique_ptr<KeyboardLayout> CreateXServerLayout(std::string& why);

// The names of the system's default keyboard from the text of /etc/default/keyboard
// (XKBMODEL, XKBLAYOUT, XKBVARIANT, XKBOPTIONS).
XkbNames ParseDefaultKeyboardFile(std::string_view text);

}  // namespace z900::platform
