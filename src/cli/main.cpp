#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_session.h"

int main(int argc, char** argv) {
  using namespace z900;
  const std::unique_ptr<platform::HidBackend> hardware = platform::CreateSystemHidBackend();
  cli::CliEnvironment env;
  env.paths = platform::ResolveProgramPaths(platform::ReadPathEnvironment());
  env.clock = &platform::SystemClock();
  env.hardware = hardware.get();
  env.sim_faults = platform::EnvironmentValue("Z900_SIM_FAULTS");
  env.trace = platform::EnvironmentValue("Z900_TRACE") == "1";
  env.out_is_terminal = ::isatty(STDOUT_FILENO) != 0;
  const std::vector<std::string> args(argv + 1, argv + argc);
  return cli::RunCli(args, env, std::cout, std::cerr);
}
