// The tray utility as a user meets it: its window, tray, pages and the mouse it shares with
// z900ctl.
#include "platform/file_io.h"
#include "support/bus_peer.h"
#include "support/session_bus.h"
#include "support/status_notifier_host.h"
#include "z900_config_fixture.h"

namespace z900 {
namespace {

using namespace std::chrono_literals;
using e2e::Geometry;
using e2e::kPatience;
using e2e::WaitUntil;
using e2e::Z900ConfigTest;
using test::ProgramResult;
using test::RunningProgram;

// A tray host that cannot start fails the tests that need it instead of having them skipped.
// (The output is not printed: ctest takes any output with GoogleTest's skip mark for a skip.)
TEST(Z900ConfigSetUpTest, ATrayHostThatCannotStartFailsTheTests) {
  const ProgramResult run = test::RunProgram(
      "/proc/self/exe", {"--gtest_filter=Z900ConfigTest.TerminationSignalShutsDownCleanly"},
      {{"Z900_TEST_TRAY_HOST", "/bin/false"}});
  EXPECT_NE(run.exit_code, 0);
  EXPECT_NE(run.out.find("[  FAILED  ] Z900ConfigTest.TerminationSignalShutsDownCleanly"),
            std::string::npos)
      << "not reported as failed";
  EXPECT_EQ(run.out.find("SKIPPED"), std::string::npos) << "reported as skipped";
}

// Hidden at start with its icon; a double click shows the window; its close button hides it;
// a second instance brings it back and ends at once; Exit in the tray menu ends it.
TEST_F(Z900ConfigTest, TrayIconWindowSecondInstanceAndExit) {
  RunningProgram& utility = StartUtility();
  const std::string icon = WaitForTrayIcon();
  EXPECT_FALSE(MainWindowShown());

  DoubleClickIcon(icon);
  ASSERT_TRUE(WaitUntil([&] { return MainWindowShown(); }));
  const Geometry window = GeometryOf(MainWindows().front());
  EXPECT_EQ(window.width, 822);
  EXPECT_EQ(window.height, 544);
  EXPECT_EQ(window.x, (1280 - 822) / 2);

  Click(window.x + 803, window.y + 18);  // the close button
  ASSERT_TRUE(WaitUntil([&] { return !MainWindowShown(); }));

  const ProgramResult second = test::RunProgram(Z900_CONFIG_PATH, {"--simulate"}, Environment());
  EXPECT_EQ(second.exit_code, 0) << second.err;
  EXPECT_TRUE(WaitUntil([&] { return MainWindowShown(); }));

  const Geometry at = GeometryOf(icon);
  Click(at.x + at.width / 2, at.y + at.height / 2, 3);
  std::optional<std::string> menu;
  ASSERT_TRUE(WaitUntil([&] { return (menu = ShownWindowOfSize(89, 68)).has_value(); }));
  const Geometry items = GeometryOf(*menu);
  Click(items.x + 40, items.y + 1 + 2 * 22 + 11);  // the third item: Exit
  EXPECT_EQ(ExitStatus(utility), 0);
}

// On a desktop that shows tray icons as StatusNotifier items (a host of our own on a private
// session bus): the item comes instead of an icon in the XEmbed tray, the "Running" notice is
// shown at once, and the host's activation of the item, a click on it, shows the window.
TEST_F(Z900ConfigTest, StatusNotifierActivationShowsTheWindow) {
  const test::TempFolder bus_folder;
  const test::SessionBus bus{bus_folder.path(), {}};
  const test::ScopedVariable address{"DBUS_SESSION_BUS_ADDRESS", bus.address()};
  test::StatusNotifierHost host;
  RunningProgram& utility = StartUtility();
  const std::optional<std::string> item = host.WaitForItem(kPatience);
  ASSERT_TRUE(item) << "no StatusNotifier item";
  EXPECT_TRUE(host.NotifiedBeforeAnAnswerOfTheItem(*item)) << "the Running notice waited";
  EXPECT_THAT(host.notifications(), ::testing::ElementsAre("Running"));
  EXPECT_FALSE(TrayIcon());
  EXPECT_FALSE(MainWindowShown());

  ASSERT_TRUE(host.CallItem(*item, "Activate", 10, 10));
  EXPECT_TRUE(WaitUntil([&] { return MainWindowShown(); }));
  utility.Signal(SIGTERM);
  EXPECT_EQ(ExitStatus(utility), 0);
}

// A message leaves the tray usable: under the Reset question a right click on the icon opens
// the tray menu, whose Exit is ignored while the question is open; the question still answers.
TEST_F(Z900ConfigTest, TrayMenuOpensUnderAQuestionAndItsExitWaits) {
  RunningProgram& utility = StartUtility();
  const std::string icon = WaitForTrayIcon();
  DoubleClickIcon(icon);
  ASSERT_TRUE(WaitUntil([&] { return MainWindowShown(); }));
  ClickPage(GeometryOf(MainWindows().front()), 683, 439);  // Reset
  std::optional<std::string> question;
  ASSERT_TRUE(WaitUntil([&] { return (question = ShownWindowOfSize(330, 160)).has_value(); }));
  const Geometry at = GeometryOf(icon);
  const auto open_menu = [&] {
    Click(at.x + at.width / 2, at.y + at.height / 2, 3);
    std::optional<std::string> menu;
    EXPECT_TRUE(WaitUntil([&] { return (menu = ShownWindowOfSize(89, 68)).has_value(); }))
        << "no tray menu under the question";
    return menu;
  };
  std::optional<std::string> menu = open_menu();
  ASSERT_TRUE(menu);
  const Geometry items = GeometryOf(*menu);
  Click(items.x + 40, items.y + 1 + 2 * 22 + 11);  // Exit
  ASSERT_TRUE(WaitUntil([&] { return !ShownWindowOfSize(89, 68); }));
  // The menu opens again, so the utility went on after the Exit; the question is still there.
  ASSERT_TRUE(open_menu());
  Click(10, 790);  // a click beside the menu closes it
  ASSERT_TRUE(WaitUntil([&] { return !ShownWindowOfSize(89, 68); }));
  ASSERT_TRUE(ShownWindowOfSize(330, 160));
  const Geometry asked = GeometryOf(*question);
  Click(asked.x + 278, asked.y + 143);  // Cancel
  EXPECT_TRUE(WaitUntil([&] { return !ShownWindowOfSize(330, 160); }));
  utility.Signal(SIGTERM);
  EXPECT_EQ(ExitStatus(utility), 0);
}

// The request of a user: button 3 of mode 0 becomes Copy. A click on the button's marker on
// the mouse picture, Copy in the menu, Apply: the progress window shows while the mouse is
// written, and z900ctl then reads Copy's code in button 3's slot of mode 0.
TEST_F(Z900ConfigTest, Button3OfMode0BecomesCopy) {
  RunningProgram& utility = StartUtility();
  DoubleClickIcon(WaitForTrayIcon());
  ASSERT_TRUE(WaitUntil([&] { return MainWindowShown(); }));
  const std::string main_window = MainWindows().front();
  const Geometry window = GeometryOf(main_window);
  // The page starts at (0, 85) of the window.
  const auto page_click = [&](int x, int y) { Click(window.x + x, window.y + 85 + y); };
  page_click(690, 14);  // the first mode tab: mode 0
  // The menu: a new window of two columns of 24-pixel rows; "Basic functions" is the third
  // row and Copy the second of its sub-menu, which opens beside it.
  const std::vector<std::string> before = Windows({"--onlyvisible", "--class", "z900-config"});
  page_click(350, 98);  // button 3's marker, (337, 87)-(363, 110) of the page
  std::optional<std::string> menu;
  ASSERT_TRUE(WaitUntil([&] {
    for (const std::string& id : Windows({"--onlyvisible", "--class", "z900-config"})) {
      if (std::find(before.begin(), before.end(), id) == before.end()) menu = id;
    }
    return menu.has_value();
  })) << "no menu";
  const Geometry items = GeometryOf(*menu);
  const int column = items.width / 2;
  Xdo({"mousemove", "--sync", std::to_string(items.x + column / 2),
       std::to_string(items.y + 1 + 2 * 24 + 12)});
  Click(items.x + column + column / 2, items.y + 2 * 24 + 1 + 24 + 12);
  ASSERT_TRUE(WaitUntil([&] { return !ShownWindowOfSize(items.width, items.height); }));

  page_click(760, 439);  // Apply
  EXPECT_TRUE(WaitUntil([&] { return ShownWindowOfSize(330, 86).has_value(); }))
      << "no progress window";
  ASSERT_TRUE(WaitUntil([&] { return !ShownWindowOfSize(330, 86); }));
  const ProgramResult read = Z900ctl({"--simulate", "read", "0x408", "4"});
  EXPECT_EQ(read.out, "0408: 02 00 02 06\n") << read.err;  // 0x06020002: Ctrl+C

  utility.Signal(SIGTERM);
  EXPECT_EQ(ExitStatus(utility), 0);
}

// The macro page records the keys typed on the desktop through the X11 hook, Enter and Esc
// among them, with the pauses between them; the stored macro encodes for the mouse.
TEST_F(Z900ConfigTest, MacroPageRecordsKeysTypedOnTheDesktop) {
  RunningProgram& utility = StartUtility();
  const Geometry window = OpenMacroPage();
  const auto click_page = [&](int x, int y) { ClickPage(window, x, y); };
  click_page(110, 314);  // new macro; its rename box takes the default name
  click_page(625, 84);   // start recording
  const ProgramResult typed =
      test::RunProgram("/usr/bin/xdotool", {"key", "--delay", "200", "a", "Return", "Escape"});
  ASSERT_EQ(typed.exit_code, 0) << typed.err;
  click_page(625, 84);  // stop recording: the macro is stored

  std::string id;
  std::string listed;
  ASSERT_TRUE(WaitUntil([&] {
    listed = Z900ctl({"macro", "list"}).out;
    id = listed.substr(0, listed.find_first_of(" \t"));
    return !id.empty();
  }));
  // The record button took the focus from the rename box: the keys went into no name.
  EXPECT_EQ(listed, id + "  New macro\n");
  const ProgramResult shown = Z900ctl({"macro", "show", id});
  std::size_t at = 0;
  for (const char* key : {"A", "A", "Enter", "Enter", "ESC", "ESC"}) {
    at = shown.out.find(std::string("  ") + key + "\n", at);
    ASSERT_NE(at, std::string::npos) << key << " in order in\n" << shown.out;
    ++at;
  }
  EXPECT_THAT(shown.out, ::testing::HasSubstr("  ms\n")) << "no pause in\n" << shown.out;
  const ProgramResult encoded = Z900ctl({"macro", "encode", id});
  EXPECT_EQ(encoded.exit_code, 0) << encoded.err;
  // Length 4 + 3 keys × (down, up) × 3 bytes = 22 (0x16), played once.
  EXPECT_THAT(encoded.out, ::testing::StartsWith("0000: 16 00 01 00")) << encoded.out;

  utility.Signal(SIGTERM);
  EXPECT_EQ(ExitStatus(utility), 0);
}

// While another program holds the store lock, a macro recorded on the page waits for it and the
// window goes on answering; the macro is stored once the lock is free.
TEST_F(Z900ConfigTest, MacroPageAnswersWhileAnotherProgramHoldsTheStoreLock) {
  RunningProgram& utility = StartUtility();
  const Geometry window = OpenMacroPage();
  const auto click_page = [&](int x, int y) { ClickPage(window, x, y); };

  // Without forking: the signal that ends the holder frees the lock.
  RunningProgram holder("/usr/bin/flock", {"--no-fork", (home_.path() / "z900.lock").string(),
                                           "/bin/sh", "-c", "echo locked; exec sleep 600"});
  ASSERT_TRUE(WaitUntil([&] {
    holder.WaitFor(50ms);
    return holder.output().out == "locked\n";
  }));
  click_page(110, 314);  // new macro
  click_page(625, 84);   // start recording
  ASSERT_EQ(test::RunProgram("/usr/bin/xdotool", {"key", "a"}).exit_code, 0);
  click_page(625, 84);                   // stop recording: the save waits for the lock
  Click(window.x + 803, window.y + 18);  // the close button
  EXPECT_TRUE(WaitUntil([&] { return !MainWindowShown(); })) << "the window froze";

  holder.Signal(SIGTERM);
  holder.Wait();
  EXPECT_TRUE(WaitUntil([&] {
    return Z900ctl({"macro", "list"}).out.find("  New macro\n") != std::string::npos;
  }));
  utility.Signal(SIGTERM);
  EXPECT_EQ(ExitStatus(utility), 0);
}

// SIGTERM ends it like Exit: the lock and the socket go, so a new first instance starts.
TEST_F(Z900ConfigTest, TerminationSignalShutsDownCleanly) {
  RunningProgram& utility = StartUtility();
  WaitForTrayIcon();
  utility.Signal(SIGTERM);
  EXPECT_EQ(ExitStatus(utility), 0);
  EXPECT_FALSE(std::filesystem::exists(home_.path() / "Z900Config"));
  RunningProgram& next = StartUtility();
  WaitForTrayIcon();
  next.Signal(SIGTERM);
  EXPECT_EQ(ExitStatus(next), 0);
}

// The simulated mouse is shared with z900ctl: after a firmware update the utility writes the
// profile into it once, which z900ctl reads; a press there of the button that now carries
// one-key start toggles the window; unplugging it there shows the notice and ends the utility.
TEST_F(Z900ConfigTest, SharedSimulatedMouseWritePressAndUnplug) {
  LeaveFirmwareMarker("1");
  RunningProgram& utility = StartUtility();
  WaitForTrayIcon();
  ASSERT_TRUE(WaitUntil([&] { return FirmwareMarkerIs("0"); }));
  const ProgramResult read = Z900ctl({"--simulate", "read", "0x414"});
  EXPECT_EQ(read.out, "0414: 04 00 cc 01\n") << read.err;  // button 6: one-key start

  EXPECT_EQ(Z900ctl({"--simulate", "sim", "press", "6"}).exit_code, 0);
  EXPECT_TRUE(WaitUntil([&] { return MainWindowShown(); }));
  EXPECT_EQ(Z900ctl({"--simulate", "sim", "press", "6"}).exit_code, 0);
  EXPECT_TRUE(WaitUntil([&] { return !MainWindowShown(); }));

  const ProgramResult unplug = Z900ctl({"--simulate", "sim", "unplug"});
  EXPECT_EQ(unplug.exit_code, 0) << unplug.err;
  EXPECT_TRUE(AnswerMessage());
  EXPECT_EQ(ExitStatus(utility), 0);
}

// A button that carries a screenshot of the screen has the utility start the screenshot tool
// beside it, which saves the picture.
TEST_F(Z900ConfigTest, ScreenshotButtonSavesAPictureThroughTheTool) {
  RunningProgram& utility = StartUtility();
  WaitForTrayIcon();
  ASSERT_EQ(Z900ctl({"--simulate", "set", "button", "0", "6", "screenshot-screen"}).exit_code, 0);
  ASSERT_EQ(Z900ctl({"--simulate", "apply", "--quiet"}).exit_code, 0);

  EXPECT_EQ(Z900ctl({"--simulate", "sim", "press", "6"}).exit_code, 0);
  const std::filesystem::path pictures = home_.path() / "pictures";
  std::filesystem::path picture;
  EXPECT_TRUE(WaitUntil([&] {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(pictures, error)) {
      if (entry.path().extension() == ".png" && entry.file_size() > 0) picture = entry.path();
    }
    return !picture.empty();
  })) << "no picture in "
      << pictures;
  std::ifstream file(picture, std::ios::binary);
  char signature[8] = {};
  file.read(signature, sizeof signature);
  EXPECT_EQ(std::string(signature, sizeof signature), "\x89PNG\r\n\x1a\n");

  utility.Signal(SIGTERM);
  EXPECT_EQ(ExitStatus(utility), 0);
}

// The lock held by something that takes no requests (another user's instance, a stuck one): a
// second start says so and fails, instead of ending quietly as if the window had come up.
TEST_F(Z900ConfigTest, SecondStartWithoutAnAnswerSaysSoAndFails) {
  const std::filesystem::path lock_file = home_.path() / "Z900Config.lock";
  std::error_code error;
  const auto held = platform::LockFile(lock_file, platform::LockMode::kExclusive, false, error);
  ASSERT_TRUE(held) << error.message();
  const ProgramResult second =
      test::RunProgram(Z900_CONFIG_PATH, {"--simulate", "--show"}, Environment());
  EXPECT_EQ(second.exit_code, 1);
  EXPECT_THAT(second.err, ::testing::HasSubstr("the running instance was not shown: the instance "
                                               "that holds " +
                                               lock_file.string()));
  EXPECT_FALSE(MainWindowShown());
}

// Without the mouse: one notice and nothing else: no lock, no window, no file of the utility.
TEST_F(Z900ConfigTest, WithoutTheMouseOneNoticeAndNothingLeft) {
  ASSERT_EQ(Z900ctl({"--simulate", "sim", "unplug"}).exit_code, 0);
  const auto before = std::distance(std::filesystem::directory_iterator(home_.path()), {});
  RunningProgram& utility = StartUtility();
  EXPECT_TRUE(AnswerMessage());
  EXPECT_EQ(ExitStatus(utility), 3);
  EXPECT_FALSE(TrayIcon());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home_.path()), {}), before);
  EXPECT_FALSE(std::filesystem::exists(home_.path() / "Z900Config.lock"));
}

// The command line is checked before a display is opened: without one, a wrong argument gets
// the usage text and status 2, and --help and --version answer, instead of Qt's complaint about
// the missing display.
TEST(Z900ConfigCommandLineTest, AnswersWithoutADisplay) {
  const std::map<std::string, std::string> no_display = {
      {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* out;
    const char* err;
  };
  const Case cases[] = {
      {{"--bogus"}, 2, "", "unknown argument \"--bogus\"\nusage: z900-config"},
      {{"-platform", "xcb", "--simulate", "--shown"}, 2, "", "usage: z900-config"},
      {{"--help"}, 0, "usage: z900-config", ""},
      {{"-style", "fusion", "--version"}, 0, "z900-config ", ""},
  };
  for (const Case& c : cases) {
    const ProgramResult result = test::RunProgram(Z900_CONFIG_PATH, c.args, no_display);
    EXPECT_EQ(result.exit_code, c.status) << c.args.front() << ": " << result.err;
    EXPECT_THAT(result.out, ::testing::HasSubstr(c.out)) << c.args.front();
    EXPECT_THAT(result.err, ::testing::HasSubstr(c.err)) << c.args.front();
    EXPECT_THAT(result.err, ::testing::Not(::testing::HasSubstr("display"))) << c.args.front();
  }
}

}  // namespace
}  // namespace z900
