#include "keys/key_names.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "support/system_files.h"

namespace z900::keys {
namespace {

// A layout that answers from a small table.
class TableLayout final : public platform::KeyboardLayout {
 public:
  explicit TableLayout(std::map<std::uint32_t, char32_t> characters)
      : characters_(std::move(characters)) {}
  std::optional<char32_t> UnshiftedCharacter(std::uint32_t key) const override {
    const auto found = characters_.find(key);
    if (found == characters_.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::map<std::uint32_t, char32_t> characters_;
};

std::unique_ptr<platform::KeyboardLayout> UsLayout() { return test::UsKeyboardLayout(); }

TEST(MacroKeyNameTest, NamesFromTheFixedTable) {
  EXPECT_EQ(MacroKeyNameTable().size(), 103u);
  std::set<std::uint8_t> codes;
  for (const KeyName& entry : MacroKeyNameTable()) codes.insert(entry.code);
  EXPECT_EQ(codes.size(), 103u);
  const std::pair<std::uint32_t, std::u16string_view> cases[] = {
      {0x41, u"A"},     {0x141, u"A"},    {0x5A, u"Z"},   {0x30, u"0"},       {0x39, u"9"},
      {0x60, u"NUM 0"}, {0x69, u"NUM 9"}, {0x70, u"F1"},  {0x7B, u"F12"},     {0xA2, u"L_Ctrl"},
      {0xA5, u"R_Alt"}, {0x14, u"Cap"},   {0x1B, u"ESC"}, {0x21, u"Page Up"}, {0x6C, u"NUM Enter"},
      {0xDC, u"|"},     {0xDE, u"'"},     {0xBC, u"<"},   {0x2A, u"Print"},   {0x11, u""},
      {0x10, u""},      {0x12, u""},      {0x2C, u""},    {0x5D, u""},        {0x7C, u""},
      {0x00, u""},
  };
  for (const auto& [code, name] : cases) EXPECT_EQ(GetMacroKeyName(code), name) << code;
}

TEST(ComboKeyNameTest, FixedNamesThenTheLayoutsCharacter) {
  const auto us = UsLayout();
  ASSERT_NE(us, nullptr);
  const std::pair<std::uint32_t, std::u16string_view> cases[] = {
      {0x2B, u"Enter"},      {0x0D, u"Enter"}, {0x6C, u"\\"},          {0xC2, u"RButton"},
      {0x00, u""},           {0xFF, u""},      {0x10, u"Shift"},       {0x2C, u"PrtSc SysRq"},
      {0x60, u"(0)"},        {0x6E, u"(.)"},   {0x91, u"Scroll Lock"}, {0xA3, u"RCtrl"},
      {0x41, u"A"},          {0x5A, u"Z"},     {0x31, u"1"},           {0xBA, u";"},
      {0xBF, u"/"},          {0xC0, u"`"},     {0xDE, u"'"},           {0xDC, u"\\"},
      {0x7C, u"F13"},        {0x87, u"F24"},   {0x01, u"Key 0x01"},    {0xAF, u"Key 0xAF"},
      {0x141, u"Key 0x141"},
  };
  for (const auto& [code, name] : cases) EXPECT_EQ(GetComboKeyName(code, *us), name) << code;
}

TEST(ComboKeyNameTest, LowerCaseLettersOfAnyLayoutAreShownInUpperCase) {
  const TableLayout layout(
      {{'A', U'a'}, {0xBA, U'ö'}, {'F', U'а'}, {'Q', U'ß'}, {'W', U'ς'}, {'E', U'😀'}});
  EXPECT_EQ(GetComboKeyName('A', layout), u"A");
  EXPECT_EQ(GetComboKeyName(0xBA, layout), u"Ö");
  EXPECT_EQ(GetComboKeyName('F', layout), u"А");
  EXPECT_EQ(GetComboKeyName('Q', layout), u"ß");  // no single upper-case letter
  EXPECT_EQ(GetComboKeyName('W', layout), u"ς");
  EXPECT_EQ(GetComboKeyName('E', layout), u"😀");
}

TEST(FormatKeyCombinationTest, Cases) {
  const auto us = UsLayout();
  ASSERT_NE(us, nullptr);
  struct Case {
    std::uint8_t mask;
    std::uint8_t key;
    bool include_modifiers;
    std::u16string_view text;
  };
  const Case cases[] = {
      {0x0F, 0x41, true, u"Ctrl + Alt + Shift + Win + A"},
      {0x01, 0x00, true, u"Ctrl"},
      {0x05, 0x70, false, u"F1"},
      {0x00, 0x00, true, u""},
      {0x02, 0x31, true, u"Shift + 1"},
      {0x0C, 0x00, true, u"Alt + Win"},
      {0x00, 0xBA, true, u";"},
      {0xF0, 0x09, true, u"Tab"},  // bits outside the mask mean nothing
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatKeyCombination(c.mask, c.key, c.include_modifiers, *us), c.text)
        << int{c.mask} << ' ' << int{c.key};
  }
}

}  // namespace
}  // namespace z900::keys
