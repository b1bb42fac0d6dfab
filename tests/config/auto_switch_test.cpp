#include "config/auto_switch.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "support/config_fixture.h"
#include "support/fake_desktop.h"
#include "support/foreground_waiter.h"
#include "support/headless_sway.h"
#include "support/xvfb_display.h"

namespace z900::config {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using test::FakeForeground;

class AutoSwitchTest : public test::ConfigTest {
 protected:
  // Five profile files named p1 … p5, profile 1 loaded.
  void SetUp() override {
    for (int k = 0; k < kProfileCount; ++k) {
      auto record = std::make_unique<SettingsRecord>();
      BuildDefaultSettings(*record, context.strings);
      platform::WriteFixedText(record->profile_name,
                               u"p" + std::u16string(1, static_cast<char16_t>(u'1' + k)));
      std::vector<std::uint8_t> bytes = RecordBytes(*record);
      bytes.push_back(0);
      std::filesystem::create_directories(ProfilePath(k).parent_path());
      ASSERT_FALSE(platform::WriteFileAtomically(ProfilePath(k), bytes));
    }
    LoadProfiles(context, page, ports);
    mouse.ClearWireLog();
  }

  void Tie(int index, std::u16string_view program, bool on = true) {
    ProfileEntry& entry = context.profiles.entries[index];
    platform::WriteFixedText(entry.program_name, program);
    entry.auto_switch = on ? 1 : 0;
  }

  // Runs one tick with this program in the foreground; returns the loaded profile's name and
  // the number of applies the tick made.
  std::pair<std::u16string, int> Tick(std::u16string_view program) {
    foreground.name = program;
    return Tick(foreground);
  }

  // The same with whatever `app` says is in the foreground.
  std::pair<std::u16string, int> Tick(platform::ForegroundApp& app) {
    mouse.ClearWireLog();
    CheckAutoSwitch(context, page, ports, app);
    int applies = 0;
    for (const auto& report : Sent()) applies += report[1] == 0xA6 && report[2] == 0x02;
    return {platform::ReadFixedText(context.settings.profile_name), applies};
  }

  FakeForeground foreground;
};

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
