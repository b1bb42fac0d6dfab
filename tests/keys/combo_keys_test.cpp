#include "keys/combo_keys.h"

#include <gtest/gtest.h>

#include <vector>

#include "config/function_catalogue.h"
#include "keys/key_names.h"

namespace z900::keys {
namespace {

TEST(ComboKeyStateTest, KeysTickBoxesOrBecomeTheKey) {
  struct Case {
    const char* what;
    std::vector<std::uint32_t> messages;  // presses and releases alike
    std::uint8_t mask;
    std::uint32_t key_code;
    std::uint32_t device_code;
  };
  const Case cases[] = {
      {"Ctrl then C", {0xA2, 'C', 'C', 0xA2}, kModCtrl, 'C', 0x06020002},
      {"Shift alone", {0xA1, 0xA1}, kModShift, 0, 0x00E10000},
      {"Ctrl and Shift", {0x11, 0x10}, kModCtrl | kModShift, 0, 0x00E00000},
      {"Alt, Win and Ctrl", {0xA5, 0x5C, 0xA3}, kModAlt | kModWin | kModCtrl, 0, 0x00E20000},
      {"A alone", {'A', 'A'}, 0, 'A', 0x00040000},
      {"a key without a usage", {0x2A}, 0, 0x2A, 0},
      // A down, B down, B up, A up: the last message's key wins.
      {"the last key message wins", {'A', 'B', 'B', 'A'}, 0, 'A', 0x00040000},
      {"Win, then a key, then Alt", {0x5B, 'D', 0x12}, kModWin | kModAlt, 'D', 0x070C0002},
  };
  for (const Case& c : cases) {
    ComboKeyState state;
    for (const std::uint32_t key : c.messages) state.OnKey(key);
    const std::optional<platform::ComboKeyChoice> choice = state.Accept();
    ASSERT_TRUE(choice) << c.what;
    EXPECT_EQ(choice->display_mask, c.mask) << c.what;
    EXPECT_EQ(choice->key_code, c.key_code) << c.what;
    EXPECT_EQ(config::MakeComboKeyBlock(choice->display_mask, choice->key_code).device_code,
              c.device_code)
        << c.what;
  }
}

TEST(ComboKeyStateTest, BoxesAreClearedOnlyByClicking) {
  ComboKeyState state;
  EXPECT_FALSE(state.Accept()) << "nothing ticked, no key: a cancel";
  state.OnKey(0xA2);
  state.OnKey(0xA2);
  EXPECT_TRUE(state.IsTicked(ComboKeyState::kCtrlBox)) << "a release does not clear";
  state.ToggleBox(ComboKeyState::kCtrlBox);
  EXPECT_FALSE(state.Accept());
  state.ToggleBox(ComboKeyState::kWinBox);
  EXPECT_EQ(state.Accept()->display_mask, kModWin);

  // Only the key's low 8 bits are stored: a code whose low byte is 0 is no key.
  ComboKeyState wide;
  EXPECT_TRUE(wide.OnKey(0x100));
  EXPECT_FALSE(wide.Accept());
}

}  // namespace
}  // namespace z900::keys
