#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/keyboard_layout.h"

// The fixed English names of keys: one table for macro rows, one for key combinations.
namespace z900::keys {

// Display modifier mask stored with a key combination.
inline constexpr std::uint8_t kModCtrl = 0x01;
inline constexpr std::uint8_t kModShift = 0x02;
inline constexpr std::uint8_t kModAlt = 0x04;
inline constexpr std::uint8_t kModWin = 0x08;

struct KeyName {
  std::uint8_t code;
  std::u16string_view name;
};

// The macro key-name table: 103 codes, in table order.
std::span<const KeyName> MacroKeyNameTable();

// The name of a key row of a macro; only the low 8 bits of the code count. Codes the table
// does not hold (generic Shift, Ctrl and Alt, Print Screen, …) have the empty name.
std::u16string GetMacroKeyName(std::uint32_t code);

// The name of a key in a combination: a fixed name, or else the character the key types on
// `layout` with no modifier (a letter in upper case). A key without either is named "F13" …
// "F24" for those keys and "Key 0xNN" otherwise.
std::u16string GetComboKeyName(std::uint32_t code, const platform::KeyboardLayout& layout);

// "Ctrl + Alt + Shift + Win + A": the modifiers of the mask in that order (when asked for),
// then the key unless it is 0, joined by " + ".
std::u16string FormatKeyCombination(std::uint8_t modifiers, std::uint8_t key,
                                    bool include_modifiers, const platform::KeyboardLayout& layout);

}  // namespace z900::keys
