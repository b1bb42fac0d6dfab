#include <gtest/gtest.h>

#include "platform/virtual_key.h"
#include "platform/windows/windows_keyboard_layout.h"

namespace z900::platform {
namespace {

// A layout of the system by its identifier ("00000409" US, "00000407" German).
WindowsKeyboardLayout Layout(const wchar_t* id) {
  return WindowsKeyboardLayout(::LoadKeyboardLayoutW(id, KLF_NOTELLSHELL));
}

TEST(WindowsKeyboardLayoutTest, KeysNameWhatTheyTypeInTheLayout) {
  const WindowsKeyboardLayout us = Layout(L"00000409");
  const std::pair<std::uint32_t, std::optional<char32_t>> cases[] = {
      {'A', U'a'},
      {'1', U'1'},
      {kVkOem1, U';'},
      {kVkOem2, U'/'},
      {kVkOem4, U'['},
      {kVkSpace, U' '},
      {kVkF1, std::nullopt},
      {kVkLShift, std::nullopt},
      {kVkReturn, std::nullopt},
      {kVkLButton, std::nullopt},
      {0x141, std::nullopt},
  };
  for (const auto& [key, expected] : cases) {
    EXPECT_EQ(us.UnshiftedCharacter(key), expected) << std::hex << key;
  }
}

TEST(WindowsKeyboardLayoutTest, TheSessionsLayoutIsAtHand) {
  std::string why;
  EXPECT_NE(CreateSystemKeyboardLayout(why), nullptr) << why;
  const auto translator = CreateSystemKeyTranslator(why);
  ASSERT_NE(translator, nullptr);
  EXPECT_EQ(translator->VirtualKeyOf('A'), 'A');
  EXPECT_EQ(translator->VirtualKeyOf(0x1FF), std::nullopt);
}

}  // namespace
}  // namespace z900::platform
