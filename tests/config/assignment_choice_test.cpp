#include "config/assignment_choice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "config/assignment_menu.h"
#include "config/function_catalogue.h"
#include "config/profiles.h"
#include "keys/key_names.h"
#include "platform/utf8_path.h"
#include "support/config_fixture.h"
#include "support/fake_desktop.h"

namespace z900::config {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using test::LetterLayout;

class AssignmentChoiceTest : public test::ConfigTest {
 protected:
  void SetUp() override {
    LoadProfiles(context, page, ports);
    ui.calls.clear();
  }

  // Opens button `button`'s menu (as the page does) and makes the choice.
  bool Choose(int button, int item, int category) {
    BeginAssignmentChoice(context, page, button);
    BuildAssignmentMenu(MenuVariantOf(button), store, context.strings, page.macro_item_table);
    return HandleAssignmentChoice(context, page, choice_ports, item, category);
  }

  ButtonAssignment& Button(int button) {
    return ButtonOf(context.settings, context.current_mode, button);
  }
  std::u16string Name(int button) { return platform::ReadFixedText(Button(button).display_name); }
  std::uint32_t& MacroId(int button) {
    return MacroIdOf(context.profiles.entries[0], context.current_mode, button);
  }

  LetterLayout layout;
  AssignmentPorts choice_ports{ui, store, layout};
};

TEST_F(AssignmentChoiceTest, SimpleFunctionsTakeTheirTypeAndName) {
  struct Case {
    int item;
    int category;
    int button;
    std::int32_t type;
    const char16_t* name;
  };
  const Case cases[] = {
      {65, 20, 3, 65, u"str_copy"},
      {32, 21, 2, 32, u"str_PL"},
      {133, 18, 4, 133, u"str_dbclick"},
      {117, 119, 5, 117, u"str_screenshot_win"},
      {127, 120, 6, 127, u"str_win8_winm"},
      {12, 12, 3, 12, u"str_onekeystart"},
      {121, 121, 4, 121, u"str_disable"},
      {11, 11, 7, 11, u"str_scrollup"},
      {22, 22, 8, 22, u"str_scrolldw"},
      // Only the low 16 bits of each count.
      {0x10000 + 66, 0x30000 + 20, 5, 66, u"str_past"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Choose(c.button, c.item, c.category)) << c.item;
    EXPECT_EQ(Button(c.button).function_type, c.type) << c.item;
    EXPECT_EQ(Name(c.button), c.name) << c.item;
    EXPECT_EQ(page.current_button, -1);
  }
  EXPECT_THAT(ui.calls, IsEmpty());
}

TEST_F(AssignmentChoiceTest, ChoicesNoMenuOffersChangeNothing) {
  const std::pair<int, int> cases[] = {
      {1, 20},    // the click is not a basic function
      {11, 11},   // wheel up on button 3
      {40, 40},   // a type no menu offers
      {0, 0},     // nothing at all
      {129, 20},  // an advanced item under another group
  };
  for (const auto& [item, category] : cases) {
    EXPECT_FALSE(Choose(3, item, category)) << item << " " << category;
    EXPECT_EQ(Button(3).function_type, 4) << item;
  }
  page.current_button = -1;
  EXPECT_FALSE(HandleAssignmentChoice(context, page, choice_ports, 65, 20)) << "no button";
  page.current_button = 8;
  EXPECT_FALSE(HandleAssignmentChoice(context, page, choice_ports, 65, 20)) << "no button 9";
}

TEST_F(AssignmentChoiceTest, EveryModeKeepsALeftClickButton) {
  // Button 1 is the only left click: every choice for it is refused, the click included.
  for (const auto& [item, category] : {std::pair{65, 20}, std::pair{1, 18}}) {
    EXPECT_FALSE(Choose(1, item, category));
    EXPECT_THAT(ui.calls, ElementsAre("message: str_msg1"));
    EXPECT_EQ(Button(1).function_type, kTypeClick);
    EXPECT_EQ(context.message_box_flag, 0);
    ui.calls.clear();
  }
  ASSERT_TRUE(Choose(2, 1, 18));
  EXPECT_TRUE(Choose(1, 65, 20));
  EXPECT_EQ(Button(1).function_type, 65);

  // The other mode has its own left click.
  context.current_mode = 1;
  EXPECT_FALSE(Choose(1, 65, 20));
}

TEST_F(AssignmentChoiceTest, HostActionsAskForAPathAndStoreTheirCode) {
  struct Case {
    int item;
    const char* call;
    std::uint32_t code;  // for button 3
  };
  const Case cases[] = {
      {128, "choose file 1", 0x02C30004},  // sound
      {129, "choose file 0", 0x02C20004},  // program
      {130, "choose file 2", 0x02C40004},  // file
      {131, "choose folder", 0x02C50004},
  };
  for (const Case& c : cases) {
    ui.calls.clear();
    const std::u16string path = u"/home/u/My Sounds/" + std::u16string(1, char16_t(c.item));
    ui.chosen = {platform::PathFromUtf8(platform::Utf16ToUtf8(path))};
    ASSERT_TRUE(Choose(3, c.item, 19)) << c.item;
    EXPECT_THAT(ui.calls, ElementsAre(c.call));
    EXPECT_EQ(Button(3).function_type, kTypeHostAction);
    EXPECT_EQ(HostActionOf(Button(3)).device_code, c.code) << c.item;
    EXPECT_EQ(HostActionPath(Button(3)), path) << "stored unquoted";
    EXPECT_EQ(Name(3), path);
    EXPECT_EQ(DeviceCodeOf(Button(3)).value, c.code);
  }
}

TEST_F(AssignmentChoiceTest, ACancelledDialogLeavesTheMacroButtonAsItWas) {
  StoreMacro(0x101, u"first");
  StoreMacro(0x102, u"second");
  ASSERT_TRUE(Choose(4, 2, 6));
  const std::vector<std::uint8_t> before = RecordBytes(context.settings);

  const std::function<void()> cancels[] = {
      [] {},                                                                   // the file chooser
      [this] { ui.chosen = {std::filesystem::path(std::string(300, 'p'))}; },  // path too long
  };
  for (const auto& cancel : cancels) {
    cancel();
    EXPECT_FALSE(Choose(4, 128, 19));
  }
  EXPECT_FALSE(Choose(4, 5, 5)) << "the combination dialog";
  EXPECT_FALSE(Choose(4, kMoreMacrosItem, 6)) << "the macro chooser";
  EXPECT_EQ(RecordBytes(context.settings), before);
  EXPECT_EQ(Button(4).macro_reference, 2u);
  EXPECT_EQ(MacroId(4), 0x102u);
  EXPECT_EQ(page.dialog_open, 0);
}

TEST_F(AssignmentChoiceTest, MacrosFromTheMenuAndFromTheChooser) {
  StoreMacro(0x101, u"first");
  StoreMacro(0x102, u"second");
  StoreMacro(0x103, u"third");

  ASSERT_TRUE(Choose(5, 3, 6));
  EXPECT_EQ(Button(5).function_type, kTypeMacro);
  EXPECT_EQ(Button(5).macro_reference, 3u);
  EXPECT_EQ(MacroId(5), 0x103u);
  EXPECT_EQ(Name(5), u"third");

  // "More" opens the chooser on the button's macro; the choice brings its own position.
  ui.macros = {platform::MacroChoice{0x101, 1}};
  ASSERT_TRUE(Choose(5, kMoreMacrosItem, 6));
  EXPECT_THAT(ui.calls, ElementsAre("macro chooser 3"));
  EXPECT_EQ(Button(5).macro_reference, 1u);
  EXPECT_EQ(MacroId(5), 0x101u);
  EXPECT_EQ(Name(5), u"first");

  // A macro deleted after the menu was built is not assigned; nor is an empty menu item.
  page.current_button = 5;
  BuildAssignmentMenu(MenuVariant::kStandard, store, context.strings, page.macro_item_table);
  ASSERT_TRUE(macro::DeleteMacro(store, 0x102));
  EXPECT_FALSE(HandleAssignmentChoice(context, page, choice_ports, 2, 6));
  EXPECT_FALSE(HandleAssignmentChoice(context, page, choice_ports, 7, 6));
  EXPECT_EQ(Name(6), u"str_onekeystart");

  // Leaving the macro for another function clears the macro fields.
  ASSERT_TRUE(Choose(5, 65, 20));
  EXPECT_EQ(Button(5).macro_reference, 0u);
  EXPECT_EQ(MacroId(5), 0u);
}

// A host action asks the mouse for its mode while a dialog of the choice shows, which changes
// the current mode: the choice still lands on the button and mode whose menu was opened.
TEST_F(AssignmentChoiceTest, EveryDialogKeepsTheModeItsMenuWasOpenedIn) {
  StoreMacro(0x101, u"sprint");
  struct Case {
    int item;
    int category;
    std::int32_t type;
  };
  const Case cases[] = {
      {128, 19, kTypeHostAction}, {129, 19, kTypeHostAction}, {130, 19, kTypeHostAction},
      {131, 19, kTypeHostAction}, {5, 5, kTypeCombo},         {kMoreMacrosItem, 6, kTypeMacro},
  };
  const ButtonAssignment mode_0 = ButtonOf(context.settings, 0, 3);
  for (const Case& c : cases) {
    context.current_mode = 1;
    ui.chosen = {std::filesystem::path("/srv/chosen")};
    ui.combos = {platform::ComboKeyChoice{keys::kModCtrl, 'C'}};
    ui.macros = {platform::MacroChoice{0x101, 1}};
    ui.while_open = [&] { context.current_mode = 0; };
    ASSERT_TRUE(Choose(3, c.item, c.category)) << c.item;
    EXPECT_EQ(ButtonOf(context.settings, 1, 3).function_type, c.type) << c.item;
    EXPECT_EQ(MacroIdOf(context.profiles.entries[0], 1, 3), c.type == kTypeMacro ? 0x101u : 0u);
    EXPECT_EQ(std::memcmp(&ButtonOf(context.settings, 0, 3), &mode_0, sizeof mode_0), 0) << c.item;
    EXPECT_EQ(MacroIdOf(context.profiles.entries[0], 0, 3), 0u) << c.item;
  }
  ui.while_open = nullptr;

  // The same for a host action while the menu itself is open.
  context.current_mode = 1;
  BeginAssignmentChoice(context, page, 3);
  context.current_mode = 0;
  ASSERT_TRUE(HandleAssignmentChoice(context, page, choice_ports, 65, 20));
  EXPECT_EQ(ButtonOf(context.settings, 1, 3).function_type, 65);
  EXPECT_EQ(std::memcmp(&ButtonOf(context.settings, 0, 3), &mode_0, sizeof mode_0), 0);
}

TEST_F(AssignmentChoiceTest, CombinationFromTheDialog) {
  ui.combos = {platform::ComboKeyChoice{keys::kModCtrl, 'C'}};
  ASSERT_TRUE(Choose(3, 5, 5));
  EXPECT_THAT(ui.calls, ElementsAre("combo dialog"));
  EXPECT_EQ(Button(3).function_type, kTypeCombo);
  EXPECT_EQ(ComboOf(Button(3)).device_code, 0x06020002u);
  EXPECT_EQ(Name(3), u"Ctrl + C");

  // A key without a usage and without modifiers is accepted and stored with code 0.
  ui.combos = {platform::ComboKeyChoice{0, 0x2A}};
  ASSERT_TRUE(Choose(3, 5, 5));
  EXPECT_EQ(ComboOf(Button(3)).device_code, 0u);
  EXPECT_EQ(ComboOf(Button(3)).key, 0x2A);
}

}  // namespace
}  // namespace z900::config
