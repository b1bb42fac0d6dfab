// z900ctl as a user runs it, on every system: the files it keeps, the mouse it writes, the
// update server it asks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "platform/utf8_path.h"
#include "support/http_server.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace z900 {
namespace {

using ::testing::HasSubstr;

class Z900ctlFilesTest : public ::testing::Test {
 protected:
  test::ProgramResult Run(const std::vector<std::string>& args,
                          std::map<std::string, std::string> env = {}) {
    env.emplace("Z900_HOME", platform::PathToUtf8(home));
    env.emplace("Z900_TRACE", "");
    env.emplace("Z900_SIM_FAULTS", "");
    return test::RunProgram(Z900CTL_PATH, args, env);
  }

  test::TempFolder folder;
  // A user's folder with characters beyond any ANSI code page: "Zoë 日本".
  std::filesystem::path home =
      folder.path() / platform::PathFromUtf8("Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC");
};

// The profile is written to the folder of that name and read back as it was written: the
// name given on the command line, the function, the mouse's copy.
TEST_F(Z900ctlFilesTest, AProfileUnderAFolderWithAnyNameIsReadBackIntact) {
  std::filesystem::create_directories(home);
  const std::string name = "Zo\xC3\xAB \xE2\x82\xAC";  // "Zoë €"
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--simulate", "info"},
                                             {"set", "name", name},
                                             {"set", "dpi", "0", "800,1600"},
                                             {"set", "button", "0", "3", "copy"},
                                             {"--simulate", "apply"}}) {
    const test::ProgramResult result = Run(args);
    EXPECT_EQ(result.exit_code, 0) << testing::PrintToString(args) << result.err;
  }
  EXPECT_EQ(std::filesystem::file_size(home / "Profile" / "Profile1.cfg"), 50897u);

  const test::ProgramResult json = Run({"show", "--json", "--mode", "0"});
  ASSERT_EQ(json.exit_code, 0) << json.err;
  EXPECT_THAT(json.out, HasSubstr("\"name\":\"" + name + "\""));
  EXPECT_THAT(json.out, HasSubstr("{\"button\":3,\"function\":\"copy\",\"type\":65,"
                                  "\"code\":\"0x06020002\",\"display_name\":\"Copy\"}"));
  EXPECT_THAT(json.out, HasSubstr("\"dpi\":[800,1600]"));
  // Button 3 of mode 0 in the mouse: Ctrl + C.
  const test::ProgramResult read = Run({"--simulate", "read", "0x408", "4"});
  EXPECT_EQ(read.out, "0408: 02 00 02 06\n");
}

// The update server is asked afresh, and its answer decides.
TEST_F(Z900ctlFilesTest, UpdateCheckAsksTheServer) {
  test::TempFolder served;
  std::filesystem::create_directories(served.path() / "software" / "z900");
  std::ofstream(served.path() / "software" / "z900" / "update.xml")
      << "<update><driver><current>1</current><newfile>https://example.org/z900</newfile>"
         "</driver></update>";
  test::LocalHttpServer server(served.path());
  const test::ProgramResult result =
      Run({"update", "check"}, {{"Z900_UPDATE_URL", server.base_url()}});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(server.WaitForRequest(), "/software/z900/update.xml");
  EXPECT_THAT(result.out, HasSubstr("up to date"));
  EXPECT_TRUE(std::filesystem::exists(home / "update" / "new_version" / "update.xml"));
}

}  // namespace
}  // namespace z900
