#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "macro/macro_rows.h"
#include "macro/macro_store.h"
#include "platform/file_io.h"
#include "platform/ini_file.h"
#include "platform/key_store.h"
#include "platform/utf8_path.h"
#include "support/cli_fixture.h"
#include "support/missing_mouse_backend.h"
#include "support/no_mouse_backend.h"
#include "support/recording_host_services.h"
#include "support/system_files.h"
#include "update/firmware_handoff.h"

namespace z900::cli {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

class ConfigCommandsTest : public test::CliTest {
 protected:
  ConfigCommandsTest() {
    env.hardware = &no_mouse;
    fs::copy_file(Z900_LANGUAGE_FILE, folder.path() / "language.xml");
  }

  void StoreMacro(std::uint32_t id, std::u16string_view name) {
    std::vector<macro::MacroRow> rows = {macro::KeyRow(macro::kRowKeyDown, 'A'),
                                         macro::DelayRow(20), macro::KeyRow(macro::kRowKeyUp, 'A')};
    const auto store = platform::CreateSystemKeyStore(env.paths.registry_root);
    ASSERT_TRUE(macro::SaveMacro(*store, macro::BuildMacroRecord(rows, id, name, u"1").record));
  }

  // The lines of `show` for one button.
  std::string ButtonLine(int mode, int button) {
    const Result result = Run({"show", "--mode", std::to_string(mode)});
    EXPECT_EQ(result.code, kExitOk) << result.err;
    const std::string start = "  button " + std::to_string(button) + ": ";
    const std::size_t at = result.out.find(start);
    if (at == std::string::npos) return {};
    return result.out.substr(at + start.size(), result.out.find('\n', at) - at - start.size());
  }

  // Editing and showing the profile never touch the mouse.
  test::NoMouseBackend no_mouse{"a command without --simulate"};
};

TEST_F(ConfigCommandsTest, ApplyWritesTheDefaultSlotCodes) {
  Result result = Run({"--simulate", "apply"});
  ASSERT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.out,
            "applied profile 1 (Profile 1): 16 button slots, 0 macros (0 bytes), in 1.0 s\n");
  result = Run({"--simulate", "read", "0x400", "48"});
  EXPECT_EQ(result.out,
            "0400: 03 00 01 00 03 00 02 00 03 00 04 00 00 00 00 00\n"
            "0410: 03 00 10 00 04 00 cc 01 03 00 08 00 00 00 00 00\n"
            "0420: 00 00 00 00 ff ff ff ff ff ff ff ff 00 00 00 00\n");
  EXPECT_TRUE(fs::exists(folder.path() / "Profile" / "Profile1.cfg"));
}

TEST_F(ConfigCommandsTest, EditedProfileIsSavedAndShown) {
  StoreMacro(0x00ABCDEF, u"Greeting");
  const std::vector<std::vector<std::string>> edits = {
      {"set", "button", "0", "3", "copy"},
      {"set", "button", "0", "2", "combo", "Ctrl+Shift+A"},
      {"set", "button", "0", "4", "folder", folder.path().string()},
      {"set", "button", "1", "5", "macro", "abcdef"},
      {"set", "dpi", "1", "4000,1600"},
      {"set", "rate", "0", "500"},
      {"set", "led", "1", "activity"},
      {"set", "name", "Games"},
  };
  for (const auto& args : edits) {
    const Result result = Run(args);
    EXPECT_EQ(result.code, kExitOk) << ::testing::PrintToString(args) << result.err;
  }
  EXPECT_EQ(ButtonLine(0, 3), "copy, type 65, code 0x06020002, \"Copy\"");
  EXPECT_EQ(ButtonLine(0, 2), "combo, type 5, code 0x04030002, \"Ctrl + Shift + A\"");
  EXPECT_EQ(ButtonLine(0, 4),
            "folder, type 19, code 0x03c50004, \"" + folder.path().string() + "\"");
  EXPECT_EQ(ButtonLine(1, 5),
            "macro, type 6, macro 00abcdef, code given when applied, "
            "\"Greeting\"");
  const Result shown = Run({"show", "--mode", "1"});
  EXPECT_THAT(shown.out, HasSubstr("profile 1 (Profile 1), name \"Games\"\n"));
  EXPECT_THAT(shown.out, HasSubstr("  dpi stages: 1600, 4000\n  report rate: 1000 Hz\n"
                                   "  lighting: activity\n"));

  const Result json = Run({"show", "--json", "--mode", "0"});
  EXPECT_THAT(json.out, HasSubstr("\"name\":\"Games\""));
  EXPECT_THAT(json.out, HasSubstr("{\"button\":3,\"function\":\"copy\",\"type\":65,"
                                  "\"code\":\"0x06020002\",\"display_name\":\"Copy\"}"));
  EXPECT_THAT(json.out, HasSubstr("\"rate\":500,\"lighting\":\"slow\"}]}"));

  // The macro goes into the mouse with the apply.
  env.hardware = nullptr;
  const Result applied = Run({"--simulate", "apply"});
  EXPECT_EQ(applied.code, kExitOk) << applied.err;
  EXPECT_THAT(applied.out, HasSubstr("16 button slots, 1 macros (10 bytes)"));
  EXPECT_EQ(Run({"--simulate", "read", "0x618", "4"}).out, "0618: 05 00 00 00\n");
}

TEST_F(ConfigCommandsTest, AMacroThatAProfileUsesIsNotDeleted) {
  StoreMacro(0x00ABCDEF, u"Greeting");
  ASSERT_EQ(Run({"set", "button", "1", "5", "macro", "abcdef"}).code, kExitOk);
  ASSERT_EQ(Run({"profile", "select", "2"}).code, kExitOk);  // used by a profile not selected
  Result result = Run({"macro", "delete", "abcdef"});
  EXPECT_EQ(result.code, kExitFailed);
  EXPECT_EQ(result.err,
            "z900ctl: macro 00abcdef: This macro is assigned to a button and cannot be deleted.\n");
  EXPECT_EQ(Run({"macro", "list"}).out, "00abcdef  Greeting\n");

  ASSERT_EQ(Run({"profile", "select", "1"}).code, kExitOk);
  ASSERT_EQ(Run({"set", "button", "1", "5", "copy"}).code, kExitOk);
  result = Run({"macro", "delete", "abcdef"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(Run({"macro", "list"}).out, "");

  // A table that cannot be read cannot tell: nothing is deleted on a guess.
  StoreMacro(0x00ABCDEF, u"Greeting");
  const auto store = platform::CreateSystemKeyStore(env.paths.registry_root);
  ASSERT_EQ(store->WriteValue(u"Software\\TALVO\\Z900", u"ConfigInfo",
                              platform::BinaryValue(std::vector<std::uint8_t>(9000, 1))),
            platform::KeyStoreStatus::kOk);
  result = Run({"macro", "delete", "abcdef"});
  EXPECT_EQ(result.code, kExitFailed);
  EXPECT_THAT(result.err, HasSubstr("profile table is damaged"));
  EXPECT_EQ(Run({"macro", "list"}).out, "00abcdef  Greeting\n");
}

TEST_F(ConfigCommandsTest, EditsThatBreakARuleAreRefused) {
  std::string eleven_emoji;
  for (int i = 0; i < 11; ++i) eleven_emoji += "\xF0\x9F\x98\x80";
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string message;
  };
  const Case cases[] = {
      {{"set", "button", "0", "1", "copy"}, kExitFailed, "at least one button with the left click"},
      {{"set", "button", "0", "3", "wheel-up"}, kExitFailed, "wheel-up belongs to button 7 only"},
      {{"set", "button", "0", "3", "zoom-in"}, kExitUsage, "unknown function \"zoom-in\""},
      {{"set", "button", "0", "3", "copy", "x"}, kExitUsage, "copy takes no argument"},
      {{"set", "button", "0", "3", "program"}, kExitUsage, "program needs PATH"},
      {{"set", "button", "2", "3", "copy"}, kExitUsage, "MODE must be 0 or 1"},
      {{"set", "button", "0", "9", "copy"}, kExitUsage, "BUTTON must be 1"},
      {{"set", "button", "0", "3", "combo", "Ctrl+Nope"}, kExitUsage, "unknown key \"Nope\""},
      {{"set", "button", "0", "3", "combo", "A+B"}, kExitUsage, "one key"},
      {{"set", "button", "0", "3", "macro", "123"}, kExitFailed, ""},
      {{"set", "button", "0", "3", "program", "/" + std::string(300, 'x')},
       kExitFailed,
       "longer than the 259 characters"},
      {{"set", "dpi", "0", "1000"}, kExitUsage, "800, 1600, 3200 and 4000"},
      {{"set", "dpi", "0", "800,800"}, kExitUsage, "once"},
      {{"set", "dpi", "0", ""}, kExitUsage, "at least one DPI stage"},
      {{"set", "rate", "0", "250"}, kExitUsage, "125, 500 or 1000"},
      {{"set", "led", "0", "blink"}, kExitUsage, "off, slow, fast, always or activity"},
      {{"set", "dpi", "0", "800,"}, kExitUsage, "empty"},
      {{"set", "dpi", "0", ",800"}, kExitUsage, "empty"},
      {{"set", "dpi", "0", "800,,1600"}, kExitUsage, "empty"},
      {{"set", "name", "twenty-one characters"}, kExitUsage, "at most 20 characters"},
      // Eleven emoji take 22 of the name's 20 units.
      {{"set", "name", eleven_emoji}, kExitUsage, "or fewer when they are emoji"},
      // A negative number is a value out of range, not an option.
      {{"set", "button", "-1", "3", "copy"}, kExitUsage, "MODE must be 0 or 1"},
      {{"set", "button", "0", "-3", "copy"}, kExitUsage, "BUTTON must be 1"},
      {{"set", "rate", "-1", "500"}, kExitUsage, "MODE must be 0 or 1"},
      {{"profile", "select", "-2"}, kExitUsage, "N must be 1"},
  };
  for (const Case& c : cases) {
    const Result result = Run(c.args);
    EXPECT_EQ(result.code, c.code) << ::testing::PrintToString(c.args);
    EXPECT_THAT(result.err, HasSubstr(c.message)) << ::testing::PrintToString(c.args);
  }
  EXPECT_EQ(ButtonLine(0, 1), "click, type 1, code 0x00010003, \"Left click\"");
  EXPECT_EQ(ButtonLine(0, 3), "middle-click, type 4, code 0x00040003, \"Middle click\"");
}

TEST_F(ConfigCommandsTest, SelectingProfiles) {
  ASSERT_EQ(Run({"set", "name", "first"}).code, kExitOk);
  // The file of profile 2 does not exist yet: made with the defaults, which is no news.
  Result result = Run({"profile", "select", "2"});
  ASSERT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.out, "selected profile 2 (Profile 2)\n");
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(fs::exists(folder.path() / "Profile" / "Profile2.cfg"));
  EXPECT_EQ(Run({"profile", "select", "2"}).out, "selected profile 2 (Profile 2)\n");

  result = Run({"profile", "list"});
  const auto file = [this](const char* name) {
    return platform::PathToUtf8(folder.path() / "Profile" / name);
  };
  EXPECT_THAT(result.out, HasSubstr("  1  Profile 1  " + file("Profile1.cfg") + "\n"));
  EXPECT_THAT(result.out, HasSubstr("* 2  Profile 2  " + file("Profile2.cfg") + "\n"));

  env.hardware = nullptr;
  result = Run({"--simulate", "profile", "select", "1", "--apply"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_THAT(result.out, HasSubstr("selected profile 1 (Profile 1)\napplied profile 1"));
  EXPECT_THAT(Run({"show"}).out, HasSubstr("name \"first\""));
  EXPECT_EQ(Run({"profile", "select", "6"}).code, kExitUsage);
}

TEST_F(ConfigCommandsTest, MissingProfileFileIsAnnouncedAndMadeAnew) {
  ASSERT_EQ(Run({"profile", "select", "3"}).code, kExitOk);
  fs::remove(folder.path() / "Profile" / "Profile3.cfg");
  const Result result = Run({"show"});
  EXPECT_THAT(result.out, HasSubstr("Profile3.cfg was missing"));
  EXPECT_THAT(result.out, HasSubstr("profile 1 (Profile 1)"));
  EXPECT_TRUE(fs::exists(folder.path() / "Profile" / "Profile3.cfg"));
}

// With "Profile" a plain file no profile file can be made: nothing claims that one was, and
// the defaults that were stored nowhere are not shown as the profile.
TEST_F(ConfigCommandsTest, DefaultsThatCouldNotBeStoredAreNotPassedOff) {
  std::ofstream(folder.path() / "Profile") << "not a folder";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"show"}, {"profile", "select", "2"}}) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const Result result = Run(args);
    EXPECT_EQ(result.code, kExitFailed);
    EXPECT_THAT(result.out, Not(HasSubstr("was missing")));
    EXPECT_THAT(result.out, Not(HasSubstr("button 1")));
    EXPECT_THAT(result.err, HasSubstr("cannot create the profile file " +
                                      (folder.path() / "Profile" / "Profile1.cfg").string()));
    EXPECT_THAT(result.err, HasSubstr("; its default settings are not stored"));
  }
}

// A program that keeps the store locked does not keep a command waiting for ever: the wait ends
// with the lock file and who holds it.
TEST_F(ConfigCommandsTest, AWaitForTheStoreLockEndsAndNamesItsHolder) {
  ASSERT_EQ(Run({"show"}).code, kExitOk);
  std::error_code error;
  const auto other =
      platform::LockFile(env.paths.store_lock_file, platform::LockMode::kShared, false, error);
  ASSERT_TRUE(other) << error.message();
  const Result result = Run({"set", "name", "waited"});
  EXPECT_EQ(result.code, kExitFailed);
  EXPECT_THAT(result.err, HasSubstr("waiting for another program"));
  EXPECT_THAT(result.err,
              HasSubstr("gave up waiting for the profiles and macros after 6 minutes: " +
                        platform::PathToUtf8(env.paths.store_lock_file) + ", held by "));
  if (const auto holder = test::ThisProcessAsLockHolder("cli_tests")) {
    EXPECT_THAT(result.err, HasSubstr(", held by " + *holder));
  }
  EXPECT_GE(clock.NowMs(), 6u * 60 * 1000);
}

TEST_F(ConfigCommandsTest, ResetAsksUnlessYes) {
  env.hardware = nullptr;
  ASSERT_EQ(Run({"set", "button", "0", "3", "copy"}).code, kExitOk);
  Result result = Run({"--simulate", "profile", "reset"});
  EXPECT_EQ(result.code, kExitFailed);
  EXPECT_THAT(result.out, HasSubstr("Reset all settings of this profile"));
  EXPECT_THAT(result.err, HasSubstr("profile 1 (Profile 1) was not reset"));

  result = Run({"--simulate", "profile", "reset", "--yes"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_THAT(result.out, HasSubstr("emptied the mouse's 14 macro slots"));
  EXPECT_EQ(ButtonLine(0, 3), "middle-click, type 4, code 0x00040003, \"Middle click\"");
}

TEST_F(ConfigCommandsTest, ApplyToASilentMouseFails) {
  env.hardware = nullptr;
  env.sim_faults = "no-ack";
  const Result result = Run({"--simulate", "apply", "--quiet"});
  EXPECT_EQ(result.code, kExitFailed);
  EXPECT_EQ(result.out, "");
  EXPECT_THAT(result.err, HasSubstr("20 commands were not acknowledged"));
}

TEST_F(ConfigCommandsTest, UnplugDuringApplyIsNamed) {
  env.hardware = nullptr;
  env.sim_faults = "unplug-after=5";
  const Result result = Run({"--simulate", "apply"});
  EXPECT_EQ(result.code, kExitFailed);
  EXPECT_THAT(result.err, HasSubstr("unplugged"));
}

// Without a mouse, the commands that write into it leave every file as it was.
TEST_F(ConfigCommandsTest, WithoutAMouseNothingIsWritten) {
  test::MissingMouse absent;
  test::RecordingHostServices host;
  env.hardware = &absent;
  env.host = &host;
  for (const std::vector<std::string>& args : {std::vector<std::string>{"apply"},
                                               {"action", "run", "3"},
                                               {"profile", "select", "2", "--apply"},
                                               {"profile", "reset", "--yes"}}) {
    const Result result = Run(args);
    EXPECT_EQ(result.code, kExitNoMouse) << ::testing::PrintToString(args);
    EXPECT_EQ(result.out, "") << ::testing::PrintToString(args);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_FALSE(fs::exists(folder.path() / "Profile")) << ::testing::PrintToString(args);
    EXPECT_FALSE(fs::exists(folder.path() / "registry")) << ::testing::PrintToString(args);
  }
}

// After a firmware update the first command that opens the mouse writes the profile into it
// again, once.
TEST_F(ConfigCommandsTest, FirmwareFollowUpRewritesTheProfileOnce) {
  env.hardware = nullptr;
  ASSERT_EQ(Run({"set", "button", "0", "3", "copy"}).code, kExitOk);
  fs::create_directories(env.paths.update_folder);
  ASSERT_TRUE(
      platform::IniFile::WriteString(update::MarkerFile(env.paths), "Firmware", "Update", "1"));
  Result result = Run({"--simulate", "read", "0x408"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.out, "0408: 02 00 02 06\n");  // Ctrl + C
  EXPECT_THAT(result.err, HasSubstr("firmware"));
  EXPECT_EQ(platform::IniFile::GetString(update::MarkerFile(env.paths), "Firmware", "Update", ""),
            "0");

  env.trace = true;
  result = Run({"--simulate", "info"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_THAT(result.err, Not(HasSubstr("ba a5")));
}

TEST_F(ConfigCommandsTest, ControlAndBidiCharactersInTheProfileNameAreShownEscaped) {
  ASSERT_EQ(Run({"set", "name", "a\x1b[31mb\xE2\x80\xAE"}).code, kExitOk);  // ESC, U+202E
  EXPECT_THAT(Run({"show"}).out, HasSubstr("name \"a\\x1b[31mb\\u202e\"\n"));
  EXPECT_THAT(Run({"show", "--json"}).out, HasSubstr("\"name\":\"a\\u001b[31mb\\u202e\""));
}

TEST_F(ConfigCommandsTest, FunctionsListTheCatalogue) {
  const Result result = Run({"functions"});
  EXPECT_THAT(result.out, HasSubstr("  program PATH          type 19\n"));
  EXPECT_THAT(result.out, HasSubstr("  wheel-up              type 11, button 7 only\n"));
  EXPECT_THAT(result.out, ::testing::Not(HasSubstr("zoom-in")));
}

}  // namespace
}  // namespace z900::cli
