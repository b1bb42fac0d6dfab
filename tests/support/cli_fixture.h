#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "platform/virtual_clock.h"
#include "support/temp_folder.h"

namespace z900::test {

// Runs z900ctl in-process on virtual time, with every file in a temporary folder.
class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    path_env.z900_home = folder.path();
    env.paths = platform::ResolveProgramPaths(path_env);
    // Never the desktop's real autostart folders.
    env.autostart.user_entry = folder.path() / "config/autostart" / app::kAutostartEntryName;
    env.autostart.system_entries = {folder.path() / "xdg/autostart" / app::kAutostartEntryName};
    env.autostart.installed_entry = folder.path() / "etc/xdg/autostart" / app::kAutostartEntryName;
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
  cli::CliEnvironment env;
};

}  // namespace z900::test
