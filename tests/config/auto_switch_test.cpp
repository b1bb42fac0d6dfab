#include "config/auto_switch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "auto_switch_fixture.h"

namespace z900::config {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(AutoSwitchTest, TiedProgramSwitchesAndTheProfileStaysAfterwards) {
  Tie(2, u"gimp");
  EXPECT_EQ(Tick(u"gimp"), std::make_pair(std::u16string(u"p3"), 1));
  EXPECT_EQ(page.selected_profile, 2);
  EXPECT_EQ(page.switch_target_index, 2);
  EXPECT_THAT(page.profile_tabs, ElementsAre(false, false, true, false, false));
  EXPECT_EQ(Sent().size(), 24u);  // the whole configuration, without a progress window
  EXPECT_THAT(ui.progress, IsEmpty());

  EXPECT_EQ(Tick(u"bash"), std::make_pair(std::u16string(u"p3"), 0));
  // The program of the active profile again: nothing is written.
  EXPECT_EQ(Tick(u"gimp"), std::make_pair(std::u16string(u"p3"), 0));
  EXPECT_THAT(Sent(), IsEmpty());
}

TEST_F(AutoSwitchTest, NamesCompareCaseSensitively) {
  Tie(1, u"Gimp");
  EXPECT_EQ(Tick(u"gimp").second, 0);
  EXPECT_EQ(Tick(u"Gimp.exe").second, 0);
  EXPECT_EQ(Tick(u"Gimp").first, u"p2");
}

TEST_F(AutoSwitchTest, TwoTiedProgramsAlternateWithOneWritePerChange) {
  Tie(1, u"firefox");
  Tie(3, u"steam");
  const std::vector<std::pair<std::u16string, std::u16string>> steps = {
      {u"firefox", u"p2"}, {u"steam", u"p4"}, {u"firefox", u"p2"}, {u"steam", u"p4"}};
  for (const auto& [program, profile] : steps) {
    EXPECT_EQ(Tick(program), std::make_pair(profile, 1)) << platform::Utf16ToUtf8(program);
  }
}

TEST_F(AutoSwitchTest, OnlyProfilesThatAreOnAndValidCount) {
  Tie(0, u"off", false);
  Tie(1, u"");
  Tie(3, u"bad-magic");
  context.profiles.entries[3].magic = 0;
  Tie(4, u"vim");

  foreground.asks = 0;
  EXPECT_EQ(Tick(u"off").second, 0);
  EXPECT_EQ(Tick(u"bad-magic").second, 0);
  EXPECT_EQ(foreground.asks, 2);  // once per tick, as profile 5 qualifies
  EXPECT_EQ(Tick(u"vim").first, u"p5");
}

TEST_F(AutoSwitchTest, FailedSelectionKeepsTheProfileAndIsTriedAgain) {
  // A folder in place of the file: it cannot be read, and it is never replaced.
  Tie(2, u"gimp");
  std::filesystem::remove(ProfilePath(2));
  std::filesystem::create_directory(ProfilePath(2));
  EXPECT_EQ(Tick(u"gimp"), std::make_pair(std::u16string(u"p1"), 0));
  EXPECT_EQ(Tick(u"gimp"), std::make_pair(std::u16string(u"p1"), 0));
  EXPECT_EQ(page.selected_profile, 0);
  EXPECT_TRUE(std::filesystem::is_directory(ProfilePath(2)));
  EXPECT_THAT(ui.calls, IsEmpty());
}

TEST_F(AutoSwitchTest, ChoosingTheProgram) {
  using std::filesystem::path;
  ProfileEntry& first = context.profiles.entries[0];
  Tie(3, u"steam");

  // Cancelled: the box is unchecked again.
  ChooseSwitchProgram(context, page, ui, SwitchAction::kTurnOn);
  EXPECT_FALSE(page.switch_box_checked);
  EXPECT_EQ(first.auto_switch, 0);

  // Chosen: the file name without its folder.
  ui.chosen = {path("/usr/bin/gimp")};
  ChooseSwitchProgram(context, page, ui, SwitchAction::kTurnOn);
  EXPECT_EQ(platform::ReadFixedText(first.program_name), u"gimp");
  EXPECT_EQ(first.auto_switch, 1);
  EXPECT_TRUE(page.switch_box_checked);
  EXPECT_TRUE(page.program_button_visible);
  EXPECT_EQ(page.program_button_text, u"gimp");
  EXPECT_EQ(page.dialog_open, 0);

  // The program button: another profile's program, and this profile's own, are refused.
  ui.calls.clear();
  ui.chosen = {path("/opt/steam/steam"), path("/usr/local/bin/gimp")};
  ChooseSwitchProgram(context, page, ui, SwitchAction::kChooseProgram);
  ChooseSwitchProgram(context, page, ui, SwitchAction::kChooseProgram);
  EXPECT_THAT(ui.calls, ElementsAre("choose file 0", "message: str_msg7", "choose file 0",
                                    "message: str_msg7"));
  EXPECT_EQ(platform::ReadFixedText(first.program_name), u"gimp");
  EXPECT_TRUE(page.switch_box_checked);
  ui.chosen = {path("/usr/bin/inkscape")};
  ChooseSwitchProgram(context, page, ui, SwitchAction::kChooseProgram);
  EXPECT_EQ(platform::ReadFixedText(first.program_name), u"inkscape");
  EXPECT_EQ(page.program_button_text, u"inkscape");

  // Off clears the name, so turning on again asks anew; a taken name leaves the box unchecked.
  ChooseSwitchProgram(context, page, ui, SwitchAction::kTurnOff);
  EXPECT_EQ(first.program_name[0], u'\0');
  EXPECT_EQ(first.auto_switch, 0);
  EXPECT_FALSE(page.program_button_visible);
  ui.calls.clear();
  ui.chosen = {path("/games/steam")};
  ChooseSwitchProgram(context, page, ui, SwitchAction::kTurnOn);
  EXPECT_THAT(ui.calls, ElementsAre("refresh", "choose file 0", "message: str_msg7"));
  EXPECT_FALSE(page.switch_box_checked);
  EXPECT_EQ(first.auto_switch, 0);
}

}  // namespace
}  // namespace z900::config
