#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "auto_switch_fixture.h"
#include "support/foreground_waiter.h"
#include "support/headless_sway.h"
#include "support/run_program.h"

namespace z900::config {
namespace {

// Native Wayland programs under a real compositor (sway, headless) through the foreign-toplevel
// protocol, each known by its executable through sway's IPC.
TEST_F(AutoSwitchTest, NativeWaylandProgramsSwitchUnderSway) {
  if (const std::optional<std::string> why = test::HeadlessSway::Unavailable())
    GTEST_SKIP() << *why;
  for (const char* client : {"foot", "wev"}) {
    if (!test::ProgramInPath(client)) GTEST_SKIP() << client << " is not installed";
  }
  test::HeadlessSway sway;
  test::ForegroundWaiter waiter;
  const auto system = platform::CreateSystemForegroundApp(waiter.Handler());
  ASSERT_TRUE(waiter.WaitUntil([&] { return system->BackendStatus().SeesForeground(); }));
  EXPECT_EQ(system->BackendStatus().backend, platform::ForegroundBackend::kWlroots);
  EXPECT_TRUE(system->IsEventDriven());
  Tie(1, u"foot");
  Tie(3, u"wev");

  // A new window takes the focus. foot's app id is not its executable's name, which wins.
  const test::ChildProcess foot("foot", {"--app-id=z900-term"});
  ASSERT_TRUE(waiter.WaitForProgram(*system, u"foot"));
  EXPECT_EQ(Tick(*system), std::make_pair(std::u16string(u"p2"), 1));
  const test::ChildProcess wev("wev", {});
  ASSERT_TRUE(waiter.WaitForProgram(*system, u"wev"));
  EXPECT_EQ(Tick(*system), std::make_pair(std::u16string(u"p4"), 1));

  ASSERT_TRUE(sway.Command("[app_id=z900-term] focus"));
  ASSERT_TRUE(waiter.WaitForProgram(*system, u"foot"));
  EXPECT_EQ(Tick(*system), std::make_pair(std::u16string(u"p2"), 1));
  EXPECT_EQ(Tick(*system), std::make_pair(std::u16string(u"p2"), 0));
}

}  // namespace
}  // namespace z900::config
