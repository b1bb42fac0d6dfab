#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <set>

#include "platform/linux/evdev_key_map.h"
#include "platform/linux/xkb_keyboard_layout.h"
#include "platform/virtual_key.h"

namespace z900::platform {
namespace {

std::unique_ptr<KeyboardLayout> Layout(const std::string& layout, const std::string& variant = "") {
  std::string why;
  auto result = CreateXkbLayoutFromNames({"evdev", "pc105", layout, variant, ""}, why);
  EXPECT_NE(result, nullptr) << why;
  return result;
}

TEST(XkbKeyboardLayoutTest, UsLayoutTypesTheKeysUnshiftedCharacters) {
  const auto us = Layout("us");
  ASSERT_NE(us, nullptr);
  const std::pair<std::uint32_t, std::optional<char32_t>> cases[] = {
      {'A', U'a'},
      {'Z', U'z'},
      {'1', U'1'},
      {'0', U'0'},
      {kVkOem1, U';'},
      {kVkOemPlus, U'='},
      {kVkOemComma, U','},
      {kVkOemMinus, U'-'},
      {kVkOemPeriod, U'.'},
      {kVkOem2, U'/'},
      {kVkOem3, U'`'},
      {kVkOem4, U'['},
      {kVkOem5, U'\\'},
      {kVkOem6, U']'},
      {kVkOem7, U'\''},
      {kVkSpace, U' '},
      {kVkF1, std::nullopt},
      {kVkF13, std::nullopt},
      {kVkLShift, std::nullopt},
      {kVkReturn, std::nullopt},   // a control character is no name
      {kVkLButton, std::nullopt},  // no key position at all
      {0x141, std::nullopt},
  };
  for (const auto& [key, expected] : cases) {
    EXPECT_EQ(us->UnshiftedCharacter(key), expected) << std::hex << key;
  }
}

TEST(XkbKeyboardLayoutTest, OtherLayoutsAnswerByKeyPosition) {
  const auto de = Layout("de");
  ASSERT_NE(de, nullptr);
  EXPECT_EQ(de->UnshiftedCharacter('Y'), U'z');  // the key right of T
  EXPECT_EQ(de->UnshiftedCharacter(kVkOem1), U'ö');
  const auto ru = Layout("ru");
  ASSERT_NE(ru, nullptr);
  EXPECT_EQ(ru->UnshiftedCharacter('F'), U'а');
  std::string why;
  EXPECT_EQ(CreateXkbLayoutFromNames({"evdev", "", "no-such-layout", "", ""}, why), nullptr);
  EXPECT_NE(why, "");
}

TEST(XkbKeyboardLayoutTest, DefaultKeyboardFileNamesTheLayout) {
  const XkbNames names = ParseDefaultKeyboardFile(
      "# KEYBOARD CONFIGURATION FILE\n"
      "XKBMODEL=\"pc105\"\n"
      "XKBLAYOUT=\"de,us\"\n"
      "  XKBVARIANT='nodeadkeys'\r\n"
      "XKBOPTIONS=\"\"\n"
      "BACKSPACE=\"guess\"\n"
      "#XKBLAYOUT=\"fr\"\n");
  EXPECT_EQ(names.model, "pc105");
  EXPECT_EQ(names.layout, "de,us");
  EXPECT_EQ(names.variant, "nodeadkeys");
  EXPECT_EQ(names.options, "");
  EXPECT_EQ(names.rules, "");
  EXPECT_EQ(ParseDefaultKeyboardFile("XKBLAYOUT").layout, "");
}

TEST(XkbKeyTranslatorTest, CharactersGoByPositionAndFunctionKeysByWhatTheyDo) {
  struct Case {
    const char* layout;
    const char* options;
    std::uint32_t evdev_code;
    std::optional<std::uint32_t> virtual_key;
  };
  const Case cases[] = {
      {"us", "", KEY_A, 'A'},
      {"us", "", KEY_1, '1'},
      {"us", "", KEY_SEMICOLON, kVkOem1},
      {"us", "", KEY_LEFTSHIFT, kVkLShift},
      {"us", "", KEY_RIGHTSHIFT, kVkRShift},
      {"us", "", KEY_LEFTCTRL, kVkLControl},
      {"us", "", KEY_RIGHTCTRL, kVkRControl},
      {"us", "", KEY_LEFTALT, kVkLMenu},
      {"us", "", KEY_RIGHTALT, kVkRMenu},
      {"us", "", KEY_LEFTMETA, kVkLWin},
      {"us", "", KEY_ENTER, kVkReturn},
      {"us", "", KEY_KPENTER, kVkReturn},
      {"us", "", KEY_ESC, kVkEscape},
      {"us", "", KEY_SPACE, kVkSpace},
      {"us", "", KEY_KP1, kVkNumpad1},  // the keypad by position, whatever Num Lock says
      {"us", "", KEY_F1, kVkF1},
      {"us", "", KEY_F13, kVkF13},
      {"us", "", KEY_HOME, kVkHome},
      {"us", "", KEY_SYSRQ, kVkSnapshot},
      {"us", "", KEY_MICMUTE, std::nullopt},
      // A German keyboard's Z sits where a US keyboard has Y: the mouse plays that position.
      {"de", "", KEY_Y, 'Y'},
      {"de", "", KEY_RIGHTALT, kVkRMenu},  // AltGr
      {"fr", "", KEY_Q, 'Q'},
      // A remapped key records as what it does.
      {"us", "ctrl:nocaps", KEY_CAPSLOCK, kVkLControl},
      {"us", "caps:escape", KEY_CAPSLOCK, kVkEscape},
      {"us", "ctrl:swap_lalt_lctl", KEY_LEFTALT, kVkLControl},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.layout) + " " + c.options + " " + std::to_string(c.evdev_code));
    std::string why;
    const std::optional<XkbKeyTable> table =
        XkbKeyTableFromNames({"evdev", "pc105", c.layout, "", c.options}, why);
    ASSERT_TRUE(table) << why;
    EXPECT_EQ(XkbKeyTranslator(table->keysyms).VirtualKeyOf(c.evdev_code + 8), c.virtual_key);
  }
  // Without a keymap every key goes by its position.
  const XkbKeyTranslator positions(std::array<std::uint32_t, 256>{});
  EXPECT_EQ(positions.VirtualKeyOf(KEY_RIGHTCTRL + 8), kVkRControl);
  EXPECT_EQ(positions.VirtualKeyOf(300), std::nullopt);
  EXPECT_EQ(positions.VirtualKeyOf(0), std::nullopt);
}

TEST(EvdevKeyMapTest, EveryVirtualKeyHasOnePositionAndMapsBack) {
  std::set<std::uint32_t> keys;
  for (const VirtualKeyPosition& row : VirtualKeyPositions()) {
    keys.insert(row.virtual_key);
    EXPECT_EQ(VirtualKeyOfEvdevCode(row.evdev_code), row.virtual_key) << row.evdev_code;
  }
  for (std::uint32_t key : keys) {
    const auto code = EvdevCodeOfVirtualKey(key);
    ASSERT_TRUE(code) << key;
    EXPECT_EQ(VirtualKeyOfEvdevCode(*code), key);
  }
  EXPECT_EQ(EvdevCodeOfVirtualKey(kVkShift), std::nullopt);  // side-neutral keys have no position
  EXPECT_EQ(EvdevCodeOfVirtualKey(kVkLButton), std::nullopt);
}

}  // namespace
}  // namespace z900::platform
