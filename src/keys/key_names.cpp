#include "keys/key_names.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "platform/text.h"
#include "platform/virtual_key.h"

namespace z900::keys {
namespace {

constexpr KeyName kMacroKeyNames[] = {
    {0x30, u"0"},         {0x31, u"1"},       {0x32, u"2"},         {0x33, u"3"},
    {0x34, u"4"},         {0x35, u"5"},       {0x36, u"6"},         {0x37, u"7"},
    {0x38, u"8"},         {0x39, u"9"},       {0x41, u"A"},         {0x42, u"B"},
    {0x43, u"C"},         {0x44, u"D"},       {0x45, u"E"},         {0x46, u"F"},
    {0x47, u"G"},         {0x48, u"H"},       {0x49, u"I"},         {0x4A, u"J"},
    {0x4B, u"K"},         {0x4C, u"L"},       {0x4D, u"M"},         {0x4E, u"N"},
    {0x4F, u"O"},         {0x50, u"P"},       {0x51, u"Q"},         {0x52, u"R"},
    {0x53, u"S"},         {0x54, u"T"},       {0x55, u"U"},         {0x56, u"V"},
    {0x57, u"W"},         {0x58, u"X"},       {0x59, u"Y"},         {0x5A, u"Z"},
    {0x60, u"NUM 0"},     {0x61, u"NUM 1"},   {0x62, u"NUM 2"},     {0x63, u"NUM 3"},
    {0x64, u"NUM 4"},     {0x65, u"NUM 5"},   {0x66, u"NUM 6"},     {0x67, u"NUM 7"},
    {0x68, u"NUM 8"},     {0x69, u"NUM 9"},   {0x70, u"F1"},        {0x71, u"F2"},
    {0x72, u"F3"},        {0x73, u"F4"},      {0x74, u"F5"},        {0x75, u"F6"},
    {0x76, u"F7"},        {0x77, u"F8"},      {0x78, u"F9"},        {0x79, u"F10"},
    {0x7A, u"F11"},       {0x7B, u"F12"},     {0x08, u"Backspace"}, {0x09, u"Tab"},
    {0x0D, u"Enter"},     {0x13, u"Pause"},   {0x14, u"Cap"},       {0x1B, u"ESC"},
    {0x20, u"Space"},     {0x21, u"Page Up"}, {0x22, u"Page Down"}, {0x23, u"End"},
    {0x24, u"Home"},      {0x25, u"LEFT"},    {0x26, u"UP"},        {0x27, u"RIGHT"},
    {0x28, u"DOWN"},      {0x2A, u"Print"},   {0x2D, u"Insert"},    {0x2E, u"Delete"},
    {0x5B, u"L_Win"},     {0x5C, u"R_Win"},   {0x6A, u"NUM *"},     {0x6B, u"NUM +"},
    {0x6C, u"NUM Enter"}, {0x6D, u"NUM -"},   {0x6E, u"NUM Del"},   {0x6F, u"NUM /"},
    {0x90, u"NUM Lock"},  {0x91, u"Scroll"},  {0xA0, u"L_Shift"},   {0xA1, u"R_Shift"},
    {0xA2, u"L_Ctrl"},    {0xA3, u"R_Ctrl"},  {0xA4, u"L_Alt"},     {0xA5, u"R_Alt"},
    {0xBA, u";"},         {0xBB, u"="},       {0xBC, u"<"},         {0xBD, u"-"},
    {0xBE, u">"},         {0xBF, u"?"},       {0xC0, u"~"},         {0xDB, u"["},
    {0xDC, u"|"},         {0xDD, u"]"},       {0xDE, u"'"},
};
static_assert(std::size(kMacroKeyNames) == 103);

constexpr KeyName kComboKeyNames[] = {
    {0x00, u""},
    {0xFF, u""},
    {0x08, u"Backspace"},
    {0x09, u"Tab"},
    {0x0C, u"Clr"},
    {0x0D, u"Enter"},
    {0x2B, u"Enter"},
    {0x10, u"Shift"},
    {0x11, u"Ctrl"},
    {0x12, u"Alt"},
    {0x13, u"Pause"},
    {0x14, u"CapsLock"},
    {0x1B, u"Esc"},
    {0x20, u"Space"},
    {0x21, u"PageUp"},
    {0x22, u"PageDown"},
    {0x23, u"End"},
    {0x24, u"Home"},
    {0x25, u"Left"},
    {0x26, u"Up"},
    {0x27, u"Right"},
    {0x28, u"Down"},
    {0x29, u"Select"},
    {0x2A, u"Print"},
    {0x2C, u"PrtSc SysRq"},
    {0x2D, u"Insert"},
    {0x2E, u"Delete"},
    {0x2F, u"Help"},
    {0x5B, u"LWin"},
    {0x5C, u"RWin"},
    {0x5D, u"App"},
    {0x60, u"(0)"},
    {0x61, u"(1)"},
    {0x62, u"(2)"},
    {0x63, u"(3)"},
    {0x64, u"(4)"},
    {0x65, u"(5)"},
    {0x66, u"(6)"},
    {0x67, u"(7)"},
    {0x68, u"(8)"},
    {0x69, u"(9)"},
    {0x6A, u"(*)"},
    {0x6B, u"(+)"},
    {0x6C, u"\\"},
    {0x6D, u"(-)"},
    {0x6E, u"(.)"},
    {0x6F, u"(/)"},
    {0x70, u"F1"},
    {0x71, u"F2"},
    {0x72, u"F3"},
    {0x73, u"F4"},
    {0x74, u"F5"},
    {0x75, u"F6"},
    {0x76, u"F7"},
    {0x77, u"F8"},
    {0x78, u"F9"},
    {0x79, u"F10"},
    {0x7A, u"F11"},
    {0x7B, u"F12"},
    {0x90, u"Numlock"},
    {0x91, u"Scroll Lock"},
    {0xA0, u"LShift"},
    {0xA1, u"RShift"},
    {0xA2, u"LCtrl"},
    {0xA3, u"RCtrl"},
    {0xA4, u"LAlt"},
    {0xA5, u"RAlt"},
    {0xC1, u"LButton"},
    {0xC2, u"RButton"},
    {0xC3, u"MButton"},
};

// The upper-case form of a lower-case letter of the Latin, Greek and Cyrillic alphabets that
// keyboard layouts type unshifted; any other character is returned unchanged.
char32_t ToUpperLetter(char32_t c) {
  if ((c >= U'a' && c <= U'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;  // α … ω, final ς excepted
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;                // а … я
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;                // ѐ … џ
  return c;
}

std::u16string Utf16Of(char32_t c) {
  std::u16string text;
  platform::AppendUtf16(text, c);
  return text;
}

std::u16string Ascii(const char* text) { return std::u16string(text, text + std::strlen(text)); }

}  // namespace

std::span<const KeyName> MacroKeyNameTable() { return kMacroKeyNames; }

std::u16string GetMacroKeyName(std::uint32_t code) {
  const auto low = static_cast<std::uint8_t>(code);
  for (const KeyName& entry : kMacroKeyNames) {
    if (entry.code == low) return std::u16string(entry.name);
  }
  return {};
}

std::u16string GetComboKeyName(std::uint32_t code, const platform::KeyboardLayout& layout) {
  if (code <= 0xFF) {
    for (const KeyName& entry : kComboKeyNames) {
      if (entry.code == code) return std::u16string(entry.name);
    }
  }
  if (const std::optional<char32_t> c = layout.UnshiftedCharacter(code)) {
    return Utf16Of(ToUpperLetter(*c));
  }
  char text[32];
  if (code >= platform::kVkF13 && code <= platform::kVkF24) {
    std::snprintf(text, sizeof text, "F%u", code - platform::kVkF1 + 1);
  } else {
    std::snprintf(text, sizeof text, "Key 0x%02X", code);
  }
  return Ascii(text);
}

std::u16string FormatKeyCombination(std::uint8_t modifiers, std::uint8_t key,
                                    bool include_modifiers,
                                    const platform::KeyboardLayout& layout) {
  static constexpr KeyName kModifierNames[] = {
      {kModCtrl, u"Ctrl"}, {kModAlt, u"Alt"}, {kModShift, u"Shift"}, {kModWin, u"Win"}};
  std::u16string text;
  auto append = [&text](std::u16string_view part) {
    if (!text.empty()) text += u" + ";
    text += part;
  };
  if (include_modifiers) {
    for (const KeyName& modifier : kModifierNames) {
      if ((modifiers & modifier.code) != 0) append(modifier.name);
    }
  }
  if (key != 0) append(GetComboKeyName(key, layout));
  return text;
}

}  // namespace z900::keys
