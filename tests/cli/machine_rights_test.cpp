// The machine's own profiles and key store (Windows without Z900_HOME) and a user without the
// rights to change them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "support/cli_fixture.h"

namespace z900::cli {
namespace {

using ::testing::HasSubstr;

class MachineRightsTest : public test::CliTest {
 protected:
  // One run with the paths of a machine-wide installation in the temporary folder.
  Result RunOnMachine(const std::vector<std::string>& args) {
    env.paths = platform::ResolveProgramPaths(path_env);
    env.paths.machine_wide = true;
    std::ostringstream out;
    std::ostringstream err;
    const int code = cli::RunCli(args, env, out, err);
    return {code, out.str(), err.str()};
  }
};

// A change is refused once, with what to do, before any file or key is tried; what only reads
// or needs no store goes on.
TEST_F(MachineRightsTest, WithoutRightsAChangeIsRefusedOnceWithWhatToDo) {
  env.runs_as_administrator = false;
  for (const std::vector<std::string>& change : std::vector<std::vector<std::string>>{
           {"set", "name", "mine"}, {"--simulate", "apply"}, {"profile", "select", "2"}}) {
    const Result result = RunOnMachine(change);
    EXPECT_EQ(result.code, kExitFailed) << testing::PrintToString(change);
    EXPECT_EQ(result.err,
              "z900ctl: the profiles and macros of this computer are changed with administrator "
              "rights only: run it from an administrator console, or set Z900_HOME to keep them "
              "in a folder of your own\n");
  }
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "Profile"));
  EXPECT_EQ(RunOnMachine({"--simulate", "info"}).code, kExitOk);
  EXPECT_EQ(RunOnMachine({"show"}).code, kExitOk);

  env.runs_as_administrator = true;
  const Result changed = RunOnMachine({"set", "name", "mine"});
  EXPECT_EQ(changed.code, kExitOk) << changed.err;
  EXPECT_THAT(RunOnMachine({"show"}).out, HasSubstr("name \"mine\""));
}

}  // namespace
}  // namespace z900::cli
