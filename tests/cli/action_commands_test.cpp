#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/utf8_path.h"
#include "support/cli_fixture.h"
#include "support/recording_host_services.h"

namespace z900::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class ActionCommandsTest : public test::CliTest {
 protected:
  ActionCommandsTest() {
    std::filesystem::copy_file(Z900_LANGUAGE_FILE, folder.path() / "language.xml");
    env.host = &host;
  }
  test::RecordingHostServices host;
};

TEST_F(ActionCommandsTest, RunsTheHostActionOfTheModeTheMouseIsIn) {
  const std::string spaced = platform::PathToUtf8(folder.path() / "a b.txt");
  const std::string mode1 = platform::PathToUtf8(folder.path() / "mode1");
  ASSERT_EQ(Run({"--simulate", "set", "button", "0", "3", "file", spaced}).code, kExitOk);
  ASSERT_EQ(Run({"--simulate", "set", "button", "1", "3", "folder", mode1}).code, kExitOk);
  ASSERT_EQ(Run({"--simulate", "set", "button", "0", "4", "screenshot-area"}).code, kExitOk);

  Result result = Run({"--simulate", "action", "run", "3"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.out,
            "button 3 of mode 0: file, event 0x4000c402 (open file)\nopening \"" + spaced + "\"\n");
  EXPECT_EQ(Run({"--simulate", "action", "run", "4"}).code, kExitOk);
  result = Run({"--simulate", "action", "run", "1"});
  EXPECT_THAT(result.out, HasSubstr("carries out itself"));

  // With the mouse in mode 1 a press runs mode 1's action; --mode picks the other one.
  ASSERT_EQ(Run({"sim", "mode", "1"}).code, kExitOk);
  result = Run({"--simulate", "action", "run", "3"});
  EXPECT_THAT(result.out, HasSubstr("button 3 of mode 1: folder"));
  result = Run({"--simulate", "action", "run", "3", "--mode", "0"});
  EXPECT_THAT(result.out, HasSubstr("button 3 of mode 0: file"));
  EXPECT_THAT(host.calls,
              ElementsAre("open \"" + spaced + "\"", "tool z900-screengrab -t region -p",
                          "open " + mode1, "open \"" + spaced + "\""));
}

// What cannot be started is said, and the run fails, instead of "starting …" and success.
TEST_F(ActionCommandsTest, ActionsThatCannotRunFail) {
  const std::unique_ptr<platform::HostServices> system = platform::CreateSystemHostServices({});
  env.host = system.get();
  const std::string missing = (folder.path() / "missing").string();
  struct Case {
    std::vector<std::string> function;
    std::string reason;
  };
  const Case cases[] = {
      {{"program", missing}, missing + " does not exist"},
      {{"program", folder.path().string()}, "is a folder"},
      {{"sound", missing + ".wav"}, missing + ".wav does not exist"},
      {{"file", missing + ".txt"}, missing + ".txt does not exist"},
      {{"screenshot-screen"}, "z900-screengrab is not installed"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> set = {"set", "button", "0", "3"};
    set.insert(set.end(), c.function.begin(), c.function.end());
    ASSERT_EQ(Run(set).code, kExitOk);
    const Result result = Run({"--simulate", "action", "run", "3"});
    EXPECT_EQ(result.code, kExitFailed) << c.function[0];
    EXPECT_THAT(result.err, HasSubstr(c.reason)) << c.function[0];
    EXPECT_THAT(result.out, Not(HasSubstr("starting"))) << c.function[0];
  }
}

TEST_F(ActionCommandsTest, UsageErrors) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--simulate", "action", "run"},
        {"--simulate", "action", "run", "9"},
        {"--simulate", "action", "run", "1", "--mode", "2"},
        {"--simulate", "action", "run", "1", "2"}}) {
    EXPECT_EQ(Run(args).code, kExitUsage) << ::testing::PrintToString(args);
  }
  EXPECT_THAT(host.calls, IsEmpty());
}

}  // namespace
}  // namespace z900::cli
