#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "auto_switch_fixture.h"
#include "support/foreground_waiter.h"
#include "support/headless_sway.h"
#include "support/run_program.h"
#include "support/xvfb_display.h"

namespace z900::config {
namespace {

// Writes an executable file.
void WriteProgram(const std::filesystem::path& path, std::string_view text) {
  std::ofstream(path) << text;
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

// Programs chosen through a link, scripts and wrappers: what the chooser stores is a name the
// running program shows, so its window switches (under X11, for a window of the process and
// class given).
TEST_F(AutoSwitchTest, LinkedScriptedAndWrappedProgramsSwitchByTheNameTheyShow) {
  if (!std::filesystem::exists("/usr/bin/python3")) GTEST_SKIP() << "no /usr/bin/python3";
  test::TempFolder programs;
  const std::filesystem::path bin = programs.path() / "bin";
  const std::filesystem::path entries = programs.path() / "share" / "applications";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(entries);
  const test::ScopedVariable path("PATH", bin.string() + ":/usr/bin:/bin");
  const test::ScopedVariable data_home("XDG_DATA_HOME", (programs.path() / "share").string());
  const test::ScopedVariable data_dirs("XDG_DATA_DIRS", (programs.path() / "none").string());

  std::filesystem::copy_file("/usr/bin/tail", bin / "real-tail");
  std::filesystem::create_symlink("real-tail", bin / "tail-link");
  // Each script says on fd 3 that it runs, then waits to be ended.
  const std::string script_body = "import os, signal\nos.write(3, b'ready\\n')\nsignal.pause()\n";
  WriteProgram(bin / "z900-game.py", "#!/usr/bin/python3\n" + script_body);
  WriteProgram(bin / "z900-long-script-name.py", "#!/usr/bin/python3\n" + script_body);
  std::filesystem::create_symlink("z900-game.py", bin / "game");
  WriteProgram(bin / "z900-env-game", "#!/usr/bin/env python3\n" + script_body);
  for (const char* wrapper : {"z900-wrapper", "z900-app"}) {
    WriteProgram(bin / wrapper, "#!/bin/sh\nexec tail -f /dev/null\n");
  }
  std::ofstream(entries / "z900-wrapped.desktop")
      << "[Desktop Entry]\nType=Application\nExec=z900-wrapper %U\nStartupWMClass=Z900-Wrapped\n";
  std::ofstream(entries / "org.z900.App.desktop")
      << "[Desktop Entry]\nType=Application\nExec=\"" << (bin / "z900-app").string() << "\"\n";

  struct Case {
    const char* what;
    std::string chosen;
    std::u16string stored;
    std::vector<std::string> arguments;
    std::string window_class;
    bool says_ready;
  };
  const Case cases[] = {
      {"a link to an executable", "tail-link", u"real-tail", {"-f", "/dev/null"}, "", false},
      {"a script (its comm)", "z900-game.py", u"z900-game.py", {}, "", true},
      {"a script whose comm is cut",
       "z900-long-script-name.py",
       u"z900-long-script-name.py",
       {},
       "",
       true},
      {"a script through a link", "game", u"z900-game.py", {}, "", true},
      {"a script that env starts", "z900-env-game", u"z900-env-game", {}, "", true},
      {"a wrapper whose entry names the class",
       "z900-wrapper",
       u"Z900-Wrapped",
       {},
       "Z900-Wrapped",
       false},
      {"a wrapper whose entry is the app id",
       "z900-app",
       u"org.z900.App",
       {},
       "org.z900.App",
       false},
  };

  test::XvfbDisplay xvfb;
  const test::ScopedVariable session("XDG_SESSION_TYPE", "x11");
  const test::ScopedVariable wayland("WAYLAND_DISPLAY", "");
  test::ForegroundWaiter waiter;
  const auto system = platform::CreateSystemForegroundApp(waiter.Handler());
  for (const Case& c : cases) {
    ASSERT_TRUE(SelectProfile(context, page, ports, 0, false));
    ChooseSwitchProgram(context, page, ui, SwitchAction::kTurnOff);
    ui.chosen = {bin / c.chosen};
    ChooseSwitchProgram(context, page, ui, SwitchAction::kTurnOn);
    EXPECT_EQ(platform::ReadFixedText(context.profiles.entries[0].program_name), c.stored)
        << c.what;
    ASSERT_TRUE(SelectProfile(context, page, ports, 1, false));

    int ready[2] = {-1, -1};
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    const test::ChildProcess running((bin / c.chosen).string(), c.arguments, {},
                                     c.says_ready ? ready[1] : -1);
    ::close(ready[1]);
    if (c.says_ready) {
      EXPECT_EQ(test::ReadLineWithin(ready[0], 10000), "ready") << c.what;
    }
    ::close(ready[0]);
    xvfb.ShowActiveWindow(running.pid(), c.window_class);
    // The back-end hears of the new active window on its own thread.
    EXPECT_TRUE(waiter.WaitUntil([&] {
      return system->ForegroundProgramNames().Matches(c.stored);
    })) << c.what;
    EXPECT_EQ(Tick(*system), std::make_pair(std::u16string(u"p1"), 1)) << c.what;
    xvfb.CloseActiveWindow();
    ASSERT_TRUE(waiter.WaitForProgram(*system, u"Unknow")) << c.what;
  }
}

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

  // footclient asks a foot server for its window: the window's process is the server, and the
  // client shows only as the window's app id (its default from foot 1.14 on; 1.13 says "foot").
  // The server says on fd 3 when it listens.
  if (!test::ProgramInPath("footclient")) return;
  ASSERT_TRUE(SelectProfile(context, page, ports, 4, false));
  ui.chosen = {std::filesystem::path("/usr/bin/footclient")};
  ChooseSwitchProgram(context, page, ui, SwitchAction::kTurnOn);
  ASSERT_EQ(platform::ReadFixedText(context.profiles.entries[4].program_name), u"footclient");
  ASSERT_TRUE(SelectProfile(context, page, ports, 0, false));
  Tie(1, u"foot", false);  // the server's own name would win in profile order
  int listening[2] = {-1, -1};
  ASSERT_EQ(::pipe2(listening, O_CLOEXEC), 0);
  const test::ChildProcess server("foot", {"--server", "--print-pid=3"}, {}, listening[1]);
  ::close(listening[1]);
  EXPECT_TRUE(test::ReadLineWithin(listening[0], 10000));
  ::close(listening[0]);
  const test::ChildProcess client("footclient", {"--app-id=footclient"});
  ASSERT_TRUE(
      waiter.WaitUntil([&] { return system->ForegroundProgramNames().Matches(u"footclient"); }));
  EXPECT_EQ(system->ForegroundProgramName(), u"foot");
  EXPECT_EQ(Tick(*system), std::make_pair(std::u16string(u"p5"), 1));
}

}  // namespace
}  // namespace z900::config
