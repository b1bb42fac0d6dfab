#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "platform/console.h"

namespace {

std::atomic<bool> interrupt_watched{false};
std::atomic<bool> interrupt_seen{false};

// While a command watches, Ctrl-C only asks it to stop; otherwise it ends the process as usual.
extern "C" void OnInterrupt(int signal_number) {
  if (interrupt_watched.load()) {
    interrupt_seen.store(true);
    return;
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace z900;
  const std::unique_ptr<platform::HidBackend> hardware = platform::CreateSystemHidBackend();
  cli::CliEnvironment env;
  const platform::PathEnvironment path_env = platform::ReadPathEnvironment();
  env.paths = platform::ResolveProgramPaths(path_env);
  const std::unique_ptr<platform::Autostart> autostart = platform::CreateSystemAutostart(path_env);
  env.autostart = autostart.get();
  env.clock = &platform::SystemClock();
  env.hardware = hardware.get();
  const std::unique_ptr<platform::HostServices> host =
      platform::CreateSystemHostServices(env.paths.helper_folders);
  const std::unique_ptr<platform::Downloader> downloader = platform::CreateSystemDownloader();
  env.host = host.get();
  env.downloader = downloader.get();
  env.update_url = platform::EnvironmentValue("Z900_UPDATE_URL");
  env.sim_faults = platform::EnvironmentValue("Z900_SIM_FAULTS");
  env.trace = platform::EnvironmentValue("Z900_TRACE") == "1";
  env.language = platform::EnvironmentValue("Z900_LANGUAGE");
  env.out_is_terminal = platform::StandardOutputIsTerminal();
  env.runs_as_administrator = platform::RunsAsAdministrator();
  env.in = &std::cin;
  env.watch_interrupts = [](bool on) { interrupt_watched.store(on); };
  env.interrupted = [] { return interrupt_seen.load(); };
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  platform::UseUtf8Terminal();
  const std::vector<std::string> args = platform::ProgramArguments(argc, argv);
  return cli::RunCli(args, env, std::cout, std::cerr);
}
