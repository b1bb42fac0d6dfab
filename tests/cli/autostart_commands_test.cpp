#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "support/cli_fixture.h"

namespace z900 {
namespace {

using ::testing::HasSubstr;

class AutostartCommandsTest : public test::CliTest {};

TEST_F(AutostartCommandsTest, SwitchesAndReports) {
  const auto& paths = env.autostart;
  EXPECT_EQ(Run({"autostart", "status"}).out, "off (no autostart entry is installed)\n");
  EXPECT_EQ(Run({"autostart", "on"}).code, 1);

  std::filesystem::create_directories(paths.system_entries[0].parent_path());
  std::ofstream(paths.system_entries[0]) << "[Desktop Entry]\nExec=z900-config\n";
  Result result = Run({"autostart", "off"});
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out, "off (" + paths.user_entry.string() + ")\n");
  result = Run({"autostart", "on"});
  EXPECT_EQ(result.out, "on (" + paths.system_entries[0].string() + ")\n");

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"autostart"}, {"autostart", "yes"}, {"autostart", "on", "off"}}) {
    result = Run(args);
    EXPECT_EQ(result.code, 2);
    EXPECT_THAT(result.err, HasSubstr("usage: z900ctl autostart on|off|status"));
  }
}

}  // namespace
}  // namespace z900
