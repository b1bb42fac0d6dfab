#include "config/settings_page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "config/profiles.h"
#include "support/config_fixture.h"

namespace z900::config {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::unique_ptr<SettingsRecord> RecordWithStages(std::initializer_list<std::int32_t> stages) {
  auto record = std::make_unique<SettingsRecord>();
  int slot = 0;
  for (const std::int32_t dpi : stages) record->dpi_stages[1][slot++] = dpi;
  record->stage_count[1] = slot;
  return record;
}

TEST(DpiRuleTest, StagesFollowTheBoxesNotTheClicks) {
  struct Case {
    const char* what;
    std::initializer_list<std::int32_t> before;
    std::vector<int> clicks;  // box indexes: 0 = 800 … 3 = 4000
    std::vector<std::int32_t> after;
    int count;
  };
  const Case cases[] = {
      {"the last box stays", {1600}, {1}, {1600, 0, 0, 0}, 1},
      {"3200 then 800", {1600}, {2, 0, 1}, {800, 3200, 0, 0}, 2},
      {"800 then 3200", {1600}, {0, 2, 1}, {800, 3200, 0, 0}, 2},
      {"all four", {4000}, {2, 0, 1}, {800, 1600, 3200, 4000}, 4},
      {"down to one and no further", {800, 1600, 3200, 4000}, {0, 1, 3, 2}, {3200, 0, 0, 0}, 1},
      // A stored list out of order or with gaps is rebuilt in box order at the first click.
      {"stored out of order", {3200, 0, 800}, {3}, {800, 3200, 4000, 0}, 3},
  };
  for (const Case& c : cases) {
    const auto record = RecordWithStages(c.before);
    for (const int box : c.clicks) ToggleDpiBox(*record, 1, box);
    EXPECT_THAT(record->dpi_stages[1], ElementsAreArray(c.after)) << c.what;
    EXPECT_EQ(record->stage_count[1], c.count) << c.what;
    EXPECT_THAT(record->dpi_stages[0], ElementsAre(0, 0, 0, 0)) << c.what << ": other mode";
  }
}

TEST(DpiRuleTest, TheOnlyCheckedBoxReportsNoChange) {
  const auto record = RecordWithStages({800});
  EXPECT_FALSE(ToggleDpiBox(*record, 1, 0));
  EXPECT_TRUE(ToggleDpiBox(*record, 1, 3));
  EXPECT_FALSE(ToggleDpiBox(*record, 1, 4)) << "no fifth box";
  EXPECT_FALSE(ToggleDpiBox(*record, 2, 0)) << "no third mode";
}

TEST(LightingSliderTest, PositionsSnapUpToTheNextEffect) {
  const std::pair<int, int> cases[] = {{1, 1}, {2, 3}, {3, 3}, {4, 5},  {5, 5},
                                       {6, 7}, {7, 7}, {0, 1}, {-3, 1}, {12, 7}};
  for (const auto& [position, effect] : cases) {
    EXPECT_EQ(SnapLightingPosition(position), effect) << position;
  }
}

class SettingsPageViewTest : public test::ConfigTest {
 protected:
  void SetUp() override { LoadProfiles(context, page, ports); }
};

TEST_F(SettingsPageViewTest, ShowsTheCurrentModeOnly) {
  SettingsRecord& record = context.settings;
  platform::WriteFixedText(ButtonOf(record, 1, 3).display_name, u"Copy");
  record.lighting_follows_activity[1] = 1;
  record.lighting_effect[1] = 5;
  record.report_rate[1] = 500;
  record.dpi_stages[1][0] = 1600;
  record.dpi_stages[1][1] = 4000;
  record.dpi_stages[1][2] = 0;
  record.dpi_stages[1][3] = 0;
  record.report_rate[0] = 333;  // matches no rate button
  record.lighting_effect[0] = 9;

  context.current_mode = 1;
  SettingsPageView view = RefreshSettingsPage(context, page);
  EXPECT_EQ(view.mode, 1);
  EXPECT_EQ(view.button_texts[2], u"Copy");
  EXPECT_TRUE(view.follows_activity);
  EXPECT_EQ(view.slider_position, 5) << "the effect stays stored under APM";
  EXPECT_THAT(view.rate_checked, ElementsAre(false, true, false));
  EXPECT_THAT(view.dpi_checked, ElementsAre(false, true, false, true));

  context.current_mode = 0;
  view = RefreshSettingsPage(context, page);
  EXPECT_EQ(view.button_texts[2], u"str_middle");
  EXPECT_FALSE(view.follows_activity);
  EXPECT_EQ(view.slider_position, 1) << "an effect outside 1 … 7 shows at 1";
  EXPECT_THAT(view.rate_checked, ElementsAre(false, false, false));
}

TEST_F(SettingsPageViewTest, ProfileNameAndSwitchControlsOfTheSelectedProfile) {
  CopyProfileName(context.settings, std::u16string(60, u'n'));
  EXPECT_EQ(platform::ReadFixedText(context.settings.profile_name).size(), 49u);
  context.profiles.entries[0].auto_switch = 1;
  platform::WriteFixedText(context.profiles.entries[0].program_name, u"gimp");
  ShowSwitchControls(page, context.profiles.entries[0]);

  SettingsPageView view = RefreshSettingsPage(context, page);
  EXPECT_EQ(view.profile_name, std::u16string(49, u'n'));
  EXPECT_TRUE(view.switch_box_checked);
  EXPECT_TRUE(view.program_button_visible);
  EXPECT_EQ(view.program_button_text, u"gimp");
  EXPECT_THAT(view.profile_tabs, ElementsAre(true, false, false, false, false));

  // An entry that is not selected (or not loaded) leaves the name box alone.
  context.profiles.entries[0].selected = 0;
  EXPECT_FALSE(RefreshSettingsPage(context, page).profile_name);
}

}  // namespace
}  // namespace z900::config
