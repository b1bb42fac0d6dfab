#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/cli_fixture.h"

namespace z900 {
namespace {

using ::testing::HasSubstr;

class AutostartCommandsTest : public test::CliTest {};

TEST_F(AutostartCommandsTest, SwitchesAndReports) {
  EXPECT_EQ(Run({"autostart", "status"}).out, "off (no autostart entry is installed)\n");
  Result result = Run({"autostart", "on"});
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out, "on (the test's switch)\n");
  EXPECT_TRUE(autostart.status.enabled);
  EXPECT_EQ(Run({"autostart", "off"}).out, "off (the test's switch)\n");
  EXPECT_FALSE(autostart.status.enabled);

  autostart.fail_with = "no entry to copy";
  result = Run({"autostart", "on"});
  EXPECT_EQ(result.code, 1);
  EXPECT_EQ(result.err, "z900ctl: autostart: no entry to copy\n");

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"autostart"}, {"autostart", "yes"}, {"autostart", "on", "off"}}) {
    result = Run(args);
    EXPECT_EQ(result.code, 2);
    EXPECT_THAT(result.err, HasSubstr("usage: z900ctl autostart on|off|status"));
  }
}

}  // namespace
}  // namespace z900
