#include "config/assignment_menu.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macro/macro_store.h"
#include "support/config_fixture.h"

namespace z900::config {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class AssignmentMenuTest : public test::ConfigTest {
 protected:
  std::vector<MenuItemRecord> Build(MenuVariant variant = MenuVariant::kStandard) {
    return BuildAssignmentMenu(variant, store, context.strings, page.macro_item_table);
  }

  static std::vector<std::string> TopLevel(const std::vector<MenuItemRecord>& menu) {
    std::vector<std::string> items;
    for (const MenuItemRecord& item : menu) {
      if (item.parent == kTopLevelParent) {
        items.push_back(platform::Utf16ToUtf8(MenuItemText(item)) + "=" +
                        std::to_string(item.identifier));
      }
    }
    return items;
  }

  // "identifier text" of every sub-item under the top-level item with this category.
  static std::vector<std::string> SubItems(const std::vector<MenuItemRecord>& menu,
                                           std::uint32_t category) {
    std::vector<std::string> items;
    for (const MenuItemRecord& item : menu) {
      if (item.parent == kTopLevelParent || menu[item.parent].identifier != category) continue;
      items.push_back(std::to_string(item.identifier) + " " +
                      platform::Utf16ToUtf8(MenuItemText(item)));
    }
    return items;
  }

  // Stores macros with ids 0x101, 0x102, … named m1, m2, …
  void StoreMacros(int count) {
    for (int i = 1; i <= count; ++i) {
      StoreMacro(0x100 + i, u"m" + platform::Utf8ToUtf16(std::to_string(i)));
    }
  }
  // Replaces a stored macro's record by bytes that fail the listing test.
  void Spoil(std::uint32_t id) {
    std::vector<std::uint8_t> bytes(64, 0);
    ASSERT_EQ(store.WriteValue(std::u16string(macro::kMacroBaseKey) + macro::MacroSubkeyName(id),
                               u"", platform::BinaryValue(bytes)),
              platform::KeyStoreStatus::kOk);
  }
};

TEST_F(AssignmentMenuTest, TopLevelOfTheThreeVariants) {
  const std::vector<std::string> standard = {
      "str_combokey=5",  "str_advance=19",     "str_base_fun=20",
      "str_mousefun=18", "str_screenshot=119", "str_media=21",
      "str_win8=120",    "str_onekeystart=12", "str_disable=121"};
  EXPECT_THAT(TopLevel(Build()), ElementsAreArray(standard));

  std::vector<std::string> up = standard;
  up.insert(up.begin(), "str_scrollup=11");
  EXPECT_THAT(TopLevel(Build(MenuVariantOf(7))), ElementsAreArray(up));
  std::vector<std::string> down = standard;
  down.insert(down.begin(), "str_scrolldw=22");
  EXPECT_THAT(TopLevel(Build(MenuVariantOf(8))), ElementsAreArray(down));
  for (int button = 1; button <= 6; ++button) {
    EXPECT_EQ(MenuVariantOf(button), MenuVariant::kStandard) << button;
  }

  StoreMacros(1);
  const std::vector<std::string> with_macro = TopLevel(Build());
  ASSERT_EQ(with_macro.size(), 10u);
  EXPECT_EQ(with_macro[1], "str_mac_def=6");
  EXPECT_EQ(TopLevel(Build(MenuVariant::kScrollDown)).size(), 11u);
}

TEST_F(AssignmentMenuTest, SubMenusFollowTheirParentsInOrder) {
  const std::vector<MenuItemRecord> menu = Build(MenuVariant::kScrollUp);
  EXPECT_THAT(SubItems(menu, 19), ElementsAre("128 str_advanced_sound", "129 str_advanced_exe",
                                              "130 str_advanced_file", "131 str_advanced_dir"));
  EXPECT_THAT(SubItems(menu, 18), ElementsAre("1 str_click", "4 str_middle", "2 str_menu",
                                              "8 str_pre", "16 str_back", "133 str_dbclick"));
  EXPECT_EQ(SubItems(menu, 20).size(), 13u);
  EXPECT_EQ(SubItems(menu, 20).front(), "64 str_cut");
  EXPECT_EQ(SubItems(menu, 119).size(), 3u);
  EXPECT_EQ(SubItems(menu, 21).front(), "32 str_PL");
  EXPECT_EQ(SubItems(menu, 120).size(), 6u);
  EXPECT_THAT(SubItems(menu, 12), IsEmpty());

  // Top-level items first, then the sub-items grouped in the order of their parents.
  std::uint32_t last_parent = 0;
  bool in_sub_items = false;
  for (const MenuItemRecord& item : menu) {
    if (item.parent == kTopLevelParent) {
      EXPECT_FALSE(in_sub_items) << "a top-level item after the sub-items";
      continue;
    }
    in_sub_items = true;
    EXPECT_GE(item.parent, last_parent);
    EXPECT_EQ(menu[item.parent].parent, kTopLevelParent);
    last_parent = item.parent;
  }
}

TEST_F(AssignmentMenuTest, TwentyMacrosAreListedAndMoreAfterThem) {
  StoreMacros(20);
  std::vector<MenuItemRecord> menu = Build();
  std::vector<std::string> listed = SubItems(menu, 6);
  ASSERT_EQ(listed.size(), 20u);
  EXPECT_EQ(listed.front(), "1 m1");
  EXPECT_EQ(listed.back(), "20 m20");
  EXPECT_EQ(page.macro_item_table[20], 0x114u);

  StoreMacros(21);
  menu = Build();
  listed = SubItems(menu, 6);
  ASSERT_EQ(listed.size(), 21u);
  EXPECT_EQ(listed[19], "20 m20");
  EXPECT_EQ(listed.back(), "132 str_more");
}

TEST_F(AssignmentMenuTest, UnlistableMacrosLeaveGaps) {
  StoreMacros(4);
  Spoil(0x102);
  page.macro_item_table[2] = 0x999;  // left over from an earlier menu
  const std::vector<MenuItemRecord> menu = Build();
  EXPECT_THAT(SubItems(menu, 6), ElementsAre("1 m1", "3 m3", "4 m4"));
  EXPECT_THAT(page.macro_item_table, ElementsAre(0, 0x101, 0, 0x103, 0x104, 0, 0, 0, 0, 0, 0, 0, 0,
                                                 0, 0, 0, 0, 0, 0, 0, 0));

  // With every record unlistable the macro item stays, with nothing under it.
  for (std::uint32_t id : {0x101u, 0x103u, 0x104u}) Spoil(id);
  const std::vector<MenuItemRecord> spoilt = Build();
  EXPECT_EQ(TopLevel(spoilt)[1], "str_mac_def=6");
  EXPECT_THAT(SubItems(spoilt, 6), IsEmpty());
}

TEST_F(AssignmentMenuTest, TextsAreCutTo39Units) {
  context.strings.Set(i18n::StringKey::str_combokey, std::u16string(50, u'x'));
  const std::vector<MenuItemRecord> menu = Build();
  EXPECT_EQ(MenuItemText(menu[0]), std::u16string(39, u'x'));
  EXPECT_EQ(menu[0].text[39], u'\0');
}

}  // namespace
}  // namespace z900::config
