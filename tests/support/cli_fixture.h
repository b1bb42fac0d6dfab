#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "platform/virtual_clock.h"
#include "support/temp_folder.h"

namespace z900::test {

// Starting at login as a switch in memory: the tool's commands without the desktop's or the
// system's real settings.
class MemoryAutostart final : public platform::Autostart {
 public:
  std::optional<platform::AutostartStatus> Read(std::string& error) override {
    if (!fail_with.empty()) {
      error = fail_with;
      return std::nullopt;
    }
    return status;
  }
  std::optional<platform::AutostartStatus> Set(bool enabled, std::string& error) override {
    if (!fail_with.empty()) {
      error = fail_with;
      return std::nullopt;
    }
    status = {enabled, "the test's switch"};
    return status;
  }

  platform::AutostartStatus status;
  std::string fail_with;  // set: every call fails with this reason
};

// Runs z900ctl in-process on virtual time, with every file in a temporary folder.
class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    path_env.z900_home = folder.path();
    env.paths = platform::ResolveProgramPaths(path_env);
    env.autostart = &autostart;
    env.clock = &clock;
  }

  struct Result {
    int code;
    std::string out;
    std::string err;
  };
  Result Run(std::vector<std::string> args) {
    // As every start of the program does: a language file put into the folder counts.
    env.paths = platform::ResolveProgramPaths(path_env);
    std::ostringstream out;
    std::ostringstream err;
    const int code = cli::RunCli(args, env, out, err);
    return {code, out.str(), err.str()};
  }

  TempFolder folder;
  platform::PathEnvironment path_env;
  platform::VirtualClock clock;
  MemoryAutostart autostart;
  cli::CliEnvironment env;
};

}  // namespace z900::test
