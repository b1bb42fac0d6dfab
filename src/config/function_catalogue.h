#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/settings_record.h"
#include "i18n/language_strings.h"

// The catalogue of button functions: every function type the utility offers, its name, the
// menu group that offers it and the device code the mouse stores for it. The one table the
// core, the cli and the ui read.
namespace z900::config {

// Menu groups of the assignment menu; the numbers are the category identifiers of the menus.
enum class MenuGroup : int {
  kNotOffered = -1,  // types a stored record may hold but no menu offers
  kTopLevel = 0,
  kMacro = 6,
  kMouse = 18,
  kAdvanced = 19,
  kBasic = 20,
  kMedia = 21,
  kScreenshot = 119,
  kWin8 = 120,
};

// How a row's device code is obtained.
enum class CodeRule {
  kFixed,       // `code` as it stands
  kCombo,       // the device_code of the assignment's ComboKeyBlock
  kMacro,       // a macro slot handed out while applying: slot × 0x10000 + 5
  kHostAction,  // `code` + button index × 0x01000000, stored with the assignment
  kNone,        // nothing is written: the slot keeps what it held
};

struct FunctionEntry {
  std::int32_t type;  // the function type stored in the assignment
  int item;           // menu item identifier: the type, or 128 … 131 for the advanced ones
  std::optional<i18n::StringKey> name_key;
  MenuGroup group;
  CodeRule rule;
  std::uint32_t code;         // for kFixed; the base code for kHostAction
  std::string_view cli_name;  // what `z900ctl set button` and `show` call it
  int only_button = 0;        // 7 or 8 for the wheel functions; 0 = any button
};

// Every row: the offered functions in menu order, then the types no menu offers (40, 86, 87).
std::span<const FunctionEntry> FunctionCatalogue();

// The row of a function type; for type 19 the first advanced row (its code is per assignment).
const FunctionEntry* FindFunctionType(std::int32_t type);
// The row of a cli name, compared exactly.
const FunctionEntry* FindFunctionByCliName(std::string_view cli_name);
// The cli name for an assignment: for type 19 the advanced kind its stored code says.
std::string_view CliNameOf(const ButtonAssignment& assignment);

// Menu group numbers 18 … 120 and their language keys; the names of the groups.
std::optional<i18n::StringKey> MenuGroupNameKey(MenuGroup group);

// The language text of a simple function's name; empty for 5, 6, 19, 40 and unknown numbers.
std::u16string FunctionDisplayName(std::int32_t type, const i18n::LanguageStrings& strings);

// Host-action code of an advanced row for button index 0 … 7.
std::uint32_t HostActionCode(const FunctionEntry& entry, int button_index);

// What the mouse stores for an assignment.
struct DeviceCodeResult {
  enum class Kind {
    kNone,   // nothing is written for this type
    kCode,   // `value` is the code
    kMacro,  // the code is the macro slot the apply hands out
  };
  Kind kind = Kind::kNone;
  std::uint32_t value = 0;
  bool operator==(const DeviceCodeResult&) const = default;
};
DeviceCodeResult DeviceCodeOf(const ButtonAssignment& assignment);

// The code of macro slot 0 … 13: bytes 05 00 slot 00.
constexpr std::uint32_t MacroSlotCode(int slot) {
  return static_cast<std::uint32_t>(slot) * 0x10000u + 5u;
}

// The block of a key combination: display modifiers (Ctrl 0x01, Shift 0x02, Alt 0x04, Win
// 0x08) and the full virtual-key code of its key (0 = none). The device code puts the mouse's
// own modifier bits (Shift 0x01, Ctrl 0x02, Alt 0x04, Win 0x08) before the key's HID usage; a
// combination of modifiers alone becomes the usage of one of them (Alt, then Win, Ctrl, Shift).
ComboKeyBlock MakeComboKeyBlock(std::uint8_t display_mask, std::uint32_t key_code);

}  // namespace z900::config
