#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/app_context.h"
#include "device/hid_channel.h"
#include "platform/clock.h"
#include "platform/hid_backend.h"
#include "platform/program_paths.h"
#include "sim/sim_state_file.h"
#include "sim/simulated_mouse.h"

namespace z900::cli {

enum ExitCode : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitNoMouse = 3 };

// What the process brings to a run of the tool; main() fills it from the real environment,
// tests from a temporary folder and a virtual clock.
struct CliEnvironment {
  platform::ProgramPaths paths;
  platform::Clock* clock = nullptr;
  platform::HidBackend* hardware = nullptr;  // the real mouse; unused with --simulate
  std::optional<std::string> sim_faults;     // Z900_SIM_FAULTS
  bool trace = false;                        // Z900_TRACE=1
  bool out_is_terminal = false;
};

// One run of a command: the application context, the mouse (real or simulated) and the
// output streams.
class CliSession {
 public:
  CliSession(const CliEnvironment& env, bool simulate, std::ostream& out, std::ostream& err);
  ~CliSession();
  CliSession(const CliSession&) = delete;
  CliSession& operator=(const CliSession&) = delete;

  // Loads the simulated mouse when asked for; kExitOk or the code to end with.
  int Start();
  // Opens the mouse; kExitOk, or kExitNoMouse after telling the user why.
  int OpenMouse();
  // Closes the mouse and saves the simulated mouse; kExitOk or kExitFailed.
  int Finish();

  config::AppContext& context() { return context_; }
  device::HidChannel& channel() { return *channel_; }
  const device::DeviceHandle& handle() const { return handle_; }
  sim::SimulatedMouse* simulated_mouse() { return mouse_.get(); }
  const CliEnvironment& environment() const { return env_; }
  std::ostream& out() { return out_; }
  std::ostream& err() { return err_; }
  // Prints "z900ctl: <message>" on the error stream and returns `code`.
  int Fail(int code, std::string_view message);

 private:
  const CliEnvironment& env_;
  bool simulate_;
  std::ostream& out_;
  std::ostream& err_;
  config::AppContext context_;
  std::unique_ptr<sim::SimStateSession> sim_session_;
  std::unique_ptr<sim::SimulatedMouse> mouse_;
  std::unique_ptr<platform::HidBackend> sim_backend_;
  std::unique_ptr<device::HidChannel> channel_;
  device::DeviceHandle handle_;
  bool opened_ = false;
};

// One command of the tool. `name` may have several words ("macro list").
struct Command {
  std::string_view name;
  std::string_view arguments;  // usage of the arguments after the name
  std::string_view summary;
  int (*run)(CliSession& session, std::span<const std::string> args);
};

std::span<const Command> DeviceCommands();
std::span<const Command> I18nCommands();

// Parses a number in decimal or with a 0x prefix.
std::optional<std::uint32_t> ParseUnsigned(std::string_view text);

// Runs the tool with the arguments after the program name; returns the exit code.
int RunCli(std::span<const std::string> args, const CliEnvironment& env, std::ostream& out,
           std::ostream& err);

}  // namespace z900::cli
