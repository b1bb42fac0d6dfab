// The installed program as a user runs it: real process, real clock, real environment.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <memory>

#include "platform/utf8_path.h"
#include "sim/sim_state_file.h"
#include "support/http_server.h"
#include "support/only_on.h"
#include "support/run_program.h"
#include "support/system_files.h"
#include "support/temp_folder.h"

namespace z900 {
namespace {

using test::RunProgram;
using ::testing::HasSubstr;
using ::testing::Not;

class Z900ctlTest : public ::testing::Test {
 protected:
  test::ProgramResult Run(const std::vector<std::string>& args,
                          std::map<std::string, std::string> env = {}) {
    env.emplace("Z900_HOME", platform::PathToUtf8(folder.path()));
    env.emplace("Z900_TRACE", "");
    env.emplace("Z900_SIM_FAULTS", "");
    return RunProgram(Z900CTL_PATH, args, env);
  }

  // Starts every command at once and waits for all of them.
  std::vector<test::ProgramResult> RunTogether(const std::vector<std::vector<std::string>>& runs) {
    const std::map<std::string, std::string> env = {
        {"Z900_HOME", platform::PathToUtf8(folder.path())},
        {"Z900_TRACE", ""},
        {"Z900_SIM_FAULTS", ""}};
    std::vector<std::unique_ptr<test::RunningProgram>> started;
    for (const auto& args : runs) {
      started.push_back(std::make_unique<test::RunningProgram>(Z900CTL_PATH, args, env));
    }
    std::vector<test::ProgramResult> results;
    for (const auto& program : started) results.push_back(program->Wait());
    return results;
  }

  // A macro record file: loop count 2; key down 'A', delay 120 ms, key up 'A'; name "e2e".
  std::filesystem::path WriteMacroFile() {
    std::vector<std::uint8_t> record(76, 0);
    const std::pair<std::size_t, std::uint32_t> fields[] = {
        {0, 76}, {4, 0xE8E80010},  {8, 0x00ABCDEF},  {16, 2},
        {60, 3}, {64, 0xC0000041}, {68, 0xA0000078}, {72, 0xE0000041}};
    for (const auto& [offset, value] : fields) {
      for (std::size_t i = 0; i < 4; ++i) {
        record[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
      }
    }
    record[20] = 'e', record[22] = '2', record[24] = 'e';
    const std::filesystem::path file = folder.path() / "macro.bin";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(record.data()), 76);
    return file;
  }

  test::TempFolder folder;
};

TEST_F(Z900ctlTest, TraceOfInfoOnStandardErrorAndFiguresOnStandardOutput) {
  const test::ProgramResult result = Run({"--simulate", "info"}, {{"Z900_TRACE", "1"}});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "mode: 0\nfirmware: 1.2\n");
  EXPECT_EQ(result.err, "Send: ba a2 \nReceive: 01 00 \nSend: ba a3 \nReceive: 01 0c \n");
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "sim-mouse.bin"));
}

TEST_F(Z900ctlTest, WithoutAMouseExitsWithThree) {
  if (test::RunningUnderWine()) GTEST_SKIP() << "real Windows only: Wine has no HID devices";
  const test::ProgramResult result = Run({"info"});
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_THAT(result.err, HasSubstr("No Z900 mouse found"));
}

TEST_F(Z900ctlTest, FaultsFromTheEnvironmentReachTheSimulatedMouse) {
  const test::ProgramResult result =
      Run({"--simulate", "info"}, {{"Z900_SIM_FAULTS", "write-fail"}});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_THAT(result.err, HasSubstr("did not answer"));
}

// Two programs share the simulated mouse: a press in one reaches the event listener of the other.
TEST_F(Z900ctlTest, PressInOneProgramArrivesAsAnEventInAnother) {
  {
    std::string error;
    auto session = sim::SimStateSession::Open(folder.path() / "sim-mouse.bin", error);
    ASSERT_TRUE(session) << error;
    sim::MouseState state = session->state();
    const std::uint32_t open_file_on_button_3 = 0x02C40004;
    std::memcpy(&state.memory[0x408], &open_file_on_button_3, 4);
    ASSERT_TRUE(session->Save(state, error)) << error;
  }
  std::map<std::string, std::string> env = {{"Z900_HOME", platform::PathToUtf8(folder.path())},
                                            {"Z900_SIM_FAULTS", ""}};
  test::RunningProgram listener(Z900CTL_PATH, {"--simulate", "events", "--count", "1"}, env);
  const test::ProgramResult press = Run({"--simulate", "sim", "press", "3"});
  EXPECT_EQ(press.exit_code, 0) << press.err;
  EXPECT_THAT(press.out, HasSubstr("event 0x4000c402"));
  const test::ProgramResult events = listener.Wait();
  EXPECT_EQ(events.exit_code, 0) << events.err;
  EXPECT_EQ(events.out, "0x4000c402 action 4 (open file), button 3\n");
}

TEST_F(Z900ctlTest, ImportedMacroFileEncodesWithoutAMouse) {
  const std::filesystem::path file = WriteMacroFile();
  test::ProgramResult result = Run({"macro", "import", platform::PathToUtf8(file)});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "imported macro 00abcdef \"e2e\"\n");
  result = Run({"macro", "encode", "abcdef"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "0000: 0a 00 02 00 19 00 04 00 00 04\n");
  EXPECT_EQ(Run({"macro", "list"}).out, "00abcdef  e2e\n");
}

TEST_F(Z900ctlTest, ApplyWritesTheDefaultSlotCodesOfModeZero) {
  const test::ProgramResult apply = Run({"--simulate", "apply"});
  ASSERT_EQ(apply.exit_code, 0) << apply.err;
  EXPECT_THAT(apply.out, HasSubstr("16 button slots, 0 macros (0 bytes)"));
  const test::ProgramResult read = Run({"--simulate", "read", "0x400", "48"});
  EXPECT_EQ(read.exit_code, 0) << read.err;
  EXPECT_EQ(read.out,
            "0400: 03 00 01 00 03 00 02 00 03 00 04 00 00 00 00 00\n"
            "0410: 03 00 10 00 04 00 cc 01 03 00 08 00 00 00 00 00\n"
            "0420: 00 00 00 00 ff ff ff ff ff ff ff ff 00 00 00 00\n");
}

// The program's own files come from the program folder even when Z900_HOME names a folder for
// the user's files that holds no language file.
TEST_F(Z900ctlTest, LanguageFilesComeFromTheProgramFolderWithZ900Home) {
  const test::ProgramResult result = Run({"show"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_THAT(result.err, Not(HasSubstr("language file")));
  EXPECT_THAT(result.out, HasSubstr("\"Left click\""));
}

// A tool placed in the user's folder is never started in place of the program's own, which sits
// beside z900ctl (and, without a display, says it has none to capture).
TEST_F(Z900ctlTest, HelperProgramsAreNotTakenFromTheDataFolder) {
  Z900_LINUX_ONLY("a shell script as the planted tool, and no display to capture");
  const std::filesystem::path planted = folder.path() / "z900-screengrab";
  const std::filesystem::path ran = folder.path() / "planted-tool-ran";
  std::ofstream(planted) << "#!/bin/sh\n: > '" << ran.string() << "'\n";
  std::filesystem::permissions(planted, std::filesystem::perms::owner_all);
  ASSERT_EQ(Run({"--simulate", "set", "button", "0", "3", "screenshot-screen"}).exit_code, 0);
  const test::ProgramResult result =
      Run({"--simulate", "action", "run", "3"}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_THAT(result.err, HasSubstr("z900-screengrab: no display"));
  EXPECT_FALSE(std::filesystem::exists(ran));
}

// Ctrl-C during a download: the program ends as a failure and leaves no temporary file.
TEST_F(Z900ctlTest, InterruptedUpdateCheckLeavesNoTemporaryFile) {
  Z900_LINUX_ONLY("Ctrl-C sent as the signal SIGINT");
  test::TempFolder served;
  std::filesystem::create_directories(served.path() / "software" / "z900");
  std::ofstream(served.path() / "software" / "z900" / "update.xml.slow") << "<update/>";
  test::LocalHttpServer server(served.path());
  test::TempFolder temporary;
  test::RunningProgram check(Z900CTL_PATH, {"update", "check"},
                             {{"Z900_HOME", platform::PathToUtf8(folder.path())},
                              {"Z900_UPDATE_URL", server.base_url()},
                              {"TMPDIR", temporary.path().string()}});
  EXPECT_EQ(server.WaitForRequest(), "/software/z900/update.xml");
  check.Signal(SIGINT);
  const test::ProgramResult result = check.Wait();
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_THAT(result.err, HasSubstr("interrupted"));
  EXPECT_TRUE(std::filesystem::is_empty(temporary.path()));
  const std::filesystem::path kept = folder.path() / "update" / "new_version";
  EXPECT_TRUE(!std::filesystem::exists(kept) || std::filesystem::is_empty(kept));
}

// Programs that change the profiles at the same time take turns: no change is lost.
TEST_F(Z900ctlTest, FourteenEditsAtOnceAllSurvive) {
  const std::vector<std::vector<std::string>> edits = {
      {"set", "name", "Together"},          {"set", "dpi", "0", "800,1600"},
      {"set", "dpi", "1", "3200"},          {"set", "rate", "0", "125"},
      {"set", "rate", "1", "500"},          {"set", "led", "0", "off"},
      {"set", "led", "1", "fast"},          {"set", "button", "0", "2", "copy"},
      {"set", "button", "0", "3", "paste"}, {"set", "button", "0", "4", "cut"},
      {"set", "button", "0", "5", "undo"},  {"set", "button", "1", "2", "find"},
      {"set", "button", "1", "3", "print"}, {"set", "button", "1", "4", "save"},
  };
  const std::vector<test::ProgramResult> results = RunTogether(edits);
  for (std::size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ(results[i].exit_code, 0) << ::testing::PrintToString(edits[i]) << results[i].err;
  }

  const test::ProgramResult show = Run({"show"});
  ASSERT_EQ(show.exit_code, 0) << show.err;
  const std::size_t second_mode = show.out.find("mode 1:");
  ASSERT_NE(second_mode, std::string::npos);
  const std::string mode0 = show.out.substr(0, second_mode);
  const std::string mode1 = show.out.substr(second_mode);
  EXPECT_THAT(show.out, HasSubstr("name \"Together\""));
  for (const char* line :
       {"button 2: copy,", "button 3: paste,", "button 4: cut,", "button 5: undo,",
        "dpi stages: 800, 1600\n", "report rate: 125 Hz", "lighting: off"}) {
    EXPECT_THAT(mode0, HasSubstr(line));
  }
  for (const char* line : {"button 2: find,", "button 3: print,", "button 4: save,",
                           "dpi stages: 3200\n", "report rate: 500 Hz", "lighting: fast"}) {
    EXPECT_THAT(mode1, HasSubstr(line));
  }
}

// The check for a stored id and the store are one step under the lock: one import wins.
TEST_F(Z900ctlTest, ImportsOfOneIdAtOnceStoreItOnce) {
  const std::string file = platform::PathToUtf8(WriteMacroFile());
  const std::vector<test::ProgramResult> results =
      RunTogether(std::vector<std::vector<std::string>>(6, {"macro", "import", file}));
  int imported = 0;
  for (const test::ProgramResult& result : results) {
    if (result.exit_code == 0) {
      ++imported;
      EXPECT_EQ(result.out, "imported macro 00abcdef \"e2e\"\n");
    } else {
      EXPECT_EQ(result.exit_code, 1);
      EXPECT_THAT(
          result.err,
          HasSubstr("z900ctl: macro 00abcdef is stored already; --replace overwrites it\n"));
    }
  }
  EXPECT_EQ(imported, 1);
  EXPECT_EQ(Run({"macro", "list"}).out, "00abcdef  e2e\n");
}

// The desktop's folders come from the XDG variables; Z900_HOME does not move them.
TEST_F(Z900ctlTest, AutostartFollowsTheXdgFolders) {
  Z900_LINUX_ONLY("the XDG autostart folders");
  const std::filesystem::path system = folder.path() / "xdg/autostart/z900-config.desktop";
  std::filesystem::create_directories(system.parent_path());
  std::ofstream(system) << "[Desktop Entry]\nExec=z900-config\n";
  const std::map<std::string, std::string> xdg = {
      {"XDG_CONFIG_HOME", (folder.path() / "config").string()},
      {"XDG_CONFIG_DIRS", "relative:" + (folder.path() / "xdg").string()}};
  test::ProgramResult result = Run({"autostart", "off"}, xdg);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  const std::filesystem::path user = folder.path() / "config/autostart/z900-config.desktop";
  EXPECT_EQ(result.out, "off (" + user.string() + ")\n");
  result = Run({"autostart", "on"}, xdg);
  EXPECT_EQ(result.out, "on (" + system.string() + ")\n");
  EXPECT_FALSE(std::filesystem::exists(user));
}

}  // namespace
}  // namespace z900
