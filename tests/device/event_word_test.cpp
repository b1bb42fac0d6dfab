#include "device/event_word.h"

#include <gtest/gtest.h>

namespace z900::device {
namespace {

TEST(EventWordTest, HostActionCodesCarryKindAndButtonIndex) {
  struct Case {
    std::uint32_t code;
    std::optional<std::uint32_t> word;
  };
  const Case cases[] = {
      {0x01CC0004, 0x4000CC01},    // show or hide the window
      {0x02C50004, 0x4000C502},    // folder on button 3
      {0x00C30004, 0x4000C300},    // sound on button 1
      {0x01C90004, 0x4000C901},    // screenshot of the screen
      {0xCD000004, std::nullopt},  // media key: the mouse plays it itself
      {0x00010003, std::nullopt}, {0xFFFFFFFF, std::nullopt}, {0x00000005, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EventWordOfDeviceCode(c.code), c.word) << std::hex << c.code;
    if (c.word) {
      EXPECT_TRUE(IsHostActionEvent(*c.word));
      EXPECT_EQ(EventActionKind(*c.word), static_cast<int>((c.code >> 16) & 0x0F));
      EXPECT_EQ(EventButtonIndex(*c.word), static_cast<int>(c.code >> 24));
    }
  }
  EXPECT_FALSE(IsHostActionEvent(0x0000CC01));
}

}  // namespace
}  // namespace z900::device
