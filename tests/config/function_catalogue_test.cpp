#include "config/function_catalogue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "platform/text.h"

namespace z900::config {
namespace {

using Kind = DeviceCodeResult::Kind;

ButtonAssignment OfType(std::int32_t type) {
  ButtonAssignment assignment{};
  assignment.function_type = type;
  return assignment;
}

TEST(FunctionCatalogueTest, DeviceCodes) {
  struct Case {
    std::int32_t type;
    DeviceCodeResult expected;
  };
  const Case cases[] = {
      {1, {Kind::kCode, 0x00010003}},
      {133, {Kind::kCode, 0x01010003}},
      {8, {Kind::kCode, 0x00100003}},
      {16, {Kind::kCode, 0x00080003}},  // fifth, fourth
      {11, {Kind::kCode, 0xFFFFFFFF}},
      {22, {Kind::kCode, 0xFFFFFFFF}},  // the button decides
      {12, {Kind::kCode, 0x01CC0004}},
      {121, {Kind::kCode, 0x00000007}},
      {65, {Kind::kCode, 0x06020002}},
      {81, {Kind::kCode, 0x3D040002}},
      {32, {Kind::kCode, 0xCD000004}},
      {118, {Kind::kCode, 0x01CB0004}},
      {126, {Kind::kCode, 0x57080002}},
      {40, {Kind::kCode, 0x83010004}},  // no menu, has a code
      {6, {Kind::kMacro, 0}},
      {86, {}},
      {87, {}},
      {3, {}},
      {0, {}},
      {-1, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(DeviceCodeOf(OfType(c.type)), c.expected) << c.type;
}

TEST(FunctionCatalogueTest, CombinationAndHostActionCodesComeFromTheAssignment) {
  ButtonAssignment combo = OfType(5);
  const std::uint32_t code = 0x04030002;
  std::memcpy(reinterpret_cast<std::uint8_t*>(&combo) + 12, &code, 4);
  EXPECT_EQ(DeviceCodeOf(combo), (DeviceCodeResult{Kind::kCode, 0x04030002}));

  const FunctionEntry* folder = FindFunctionByCliName("folder");
  const FunctionEntry* sound = FindFunctionByCliName("sound");
  ASSERT_TRUE(folder && sound);
  EXPECT_EQ(HostActionCode(*folder, 2), 0x02C50004u);  // button 3
  EXPECT_EQ(HostActionCode(*sound, 0), 0x00C30004u);   // button 1
  ButtonAssignment action = OfType(19);
  ASSERT_TRUE(SetHostAction(action, HostActionCode(*folder, 2), u"/srv"));
  EXPECT_EQ(DeviceCodeOf(action), (DeviceCodeResult{Kind::kCode, 0x02C50004}));
  EXPECT_EQ(CliNameOf(action), "folder");
  EXPECT_EQ(CliNameOf(OfType(65)), "copy");
  EXPECT_EQ(CliNameOf(OfType(3)), "");
}

TEST(FunctionCatalogueTest, DisplayNames) {
  i18n::LanguageStrings strings;
  for (std::size_t k = 0; k < i18n::kStringKeyCount; ++k) {
    const auto key = static_cast<i18n::StringKey>(k);
    strings.Set(key, platform::Utf8ToUtf16(i18n::StringKeyName(key)));
  }
  EXPECT_EQ(FunctionDisplayName(133, strings), u"str_dbclick");
  EXPECT_EQ(FunctionDisplayName(86, strings), u"str_zoomin");
  EXPECT_EQ(FunctionDisplayName(87, strings), u"str_zoomout");
  for (std::int32_t type : {5, 6, 19, 40, 3}) {
    EXPECT_EQ(FunctionDisplayName(type, strings), u"") << type;
  }
  int named = 0;
  for (std::int32_t type = -1; type < 300; ++type) {
    named += FunctionDisplayName(type, strings).empty() ? 0 : 1;
  }
  EXPECT_EQ(named, 41);
}

TEST(FunctionCatalogueTest, EveryRowHasItsOwnCliNameAndMenuItem) {
  std::set<std::string_view> names;
  std::set<int> items;
  for (const FunctionEntry& entry : FunctionCatalogue()) {
    EXPECT_TRUE(names.insert(entry.cli_name).second) << entry.cli_name;
    EXPECT_TRUE(items.insert(entry.item).second) << entry.item;
    EXPECT_EQ(FindFunctionByCliName(entry.cli_name), &entry);
    if (entry.group != MenuGroup::kNotOffered && entry.group != MenuGroup::kTopLevel) {
      EXPECT_TRUE(MenuGroupNameKey(entry.group)) << entry.cli_name;
    }
  }
}

TEST(FunctionCatalogueTest, CombinationBlocks) {
  struct Case {
    std::uint8_t mask;  // Ctrl 1, Shift 2, Alt 4, Win 8
    std::uint32_t key;
    std::uint32_t code;
  };
  const Case cases[] = {
      {0x01, 'C', 0x06020002},  // Ctrl + C
      {0x03, 'A', 0x04030002},  // Ctrl + Shift + A: the mouse's Shift is 0x01, Ctrl 0x02
      {0x02, 0, 0x00E10000},    // Shift alone
      {0x03, 0, 0x00E00000},    // Ctrl wins over Shift
      {0x0D, 0, 0x00E20000},    // Alt wins over Win and Ctrl
      {0x08, 0, 0x00E30000},    // Win
      {0x00, 'A', 0x00040000},  // a key alone
      {0x00, 0x2A, 0},          // a key the mouse has no usage for
  };
  for (const Case& c : cases) {
    const ComboKeyBlock block = MakeComboKeyBlock(c.mask, c.key);
    EXPECT_EQ(block.device_code, c.code) << int{c.mask} << " " << c.key;
    EXPECT_EQ(block.display_mask, c.mask);
    EXPECT_EQ(block.key, c.key & 0xFF);
  }
}

}  // namespace
}  // namespace z900::config
