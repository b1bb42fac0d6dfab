#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/terminal_ui_port.h"
#include "config/app_context.h"
#include "device/hid_channel.h"
#include "platform/autostart.h"
#include "platform/clock.h"
#include "platform/downloader.h"
#include "platform/file_io.h"
#include "platform/hid_backend.h"
#include "platform/host_services.h"
#include "platform/program_paths.h"
#include "sim/sim_faults.h"
#include "sim/sim_state_file.h"
#include "sim/simulated_mouse.h"

namespace z900::cli {

enum ExitCode : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitNoMouse = 3 };

// What the process brings to a run of the tool; main() fills it from the real environment,
// tests from a temporary folder and a virtual clock.
struct CliEnvironment {
  platform::ProgramPaths paths;
  platform::Autostart* autostart = nullptr;  // starting the utility at login
  platform::Clock* clock = nullptr;
  platform::HidBackend* hardware = nullptr;  // the real mouse; unused with --simulate
  platform::HostServices* host = nullptr;    // programs, files, sounds, tools
  platform::Downloader* downloader = nullptr;
  std::optional<std::string> update_url;  // Z900_UPDATE_URL
  std::optional<std::string> sim_faults;  // Z900_SIM_FAULTS
  bool trace = false;                     // Z900_TRACE=1
  std::optional<std::string> language;    // Z900_LANGUAGE
  bool out_is_terminal = false;
  // Whether the run may change the machine's profiles and key store (paths.machine_wide).
  bool runs_as_administrator = true;
  std::istream* in = nullptr;  // where questions are answered; null when nobody can answer
  // Long-running commands turn interrupt watching on (Ctrl-C then ends them cleanly instead
  // of killing the process) and ask whether an interrupt came.
  std::function<void(bool on)> watch_interrupts;
  std::function<bool()> interrupted;
};

// What a command does with the profiles, the profile table and the key store; the run holds
// the store lock accordingly (shared to read, exclusive to change) for the whole command.
enum class StoreAccess { kNone, kRead, kChange };

// One run of a command: the application context, the mouse (real or simulated) and the
// output streams.
class CliSession {
 public:
  CliSession(const CliEnvironment& env, bool simulate, std::ostream& out, std::ostream& err);
  ~CliSession();
  CliSession(const CliSession&) = delete;
  CliSession& operator=(const CliSession&) = delete;

  // Checks the options of the run; kExitOk or the code to end with.
  int Start();
  // Holds the store lock for the rest of the run, at least as strong as `access` needs (a
  // shared hold becomes exclusive when a change is asked for); says so when it waits for
  // another program. kExitOk, or kExitFailed after telling why the lock cannot be had.
  int LockStore(StoreAccess access);
  // Opens the mouse (the simulated one with --simulate), once per run; kExitOk, or the code to
  // end with after telling the user why. channel() and handle() are valid afterwards. The first
  // open after a firmware update writes the profile into the mouse again first.
  int OpenMouse();
  // Makes the report channel ready (loading the simulated mouse with --simulate) without
  // opening a handle, for operations that open their own; kExitOk or the code to end with.
  int PrepareChannel();
  // Loads the simulated mouse, locking its state file until Finish; kExitOk or kExitFailed.
  int LoadSimulatedMouse();
  // Loads the language strings of the program folder once; says so on the error stream when
  // there are none (every text of the core is then empty).
  void LoadLanguage();
  // The user as the core reaches them.
  TerminalUiPort& ui() { return ui_; }
  // Closes the mouse and saves the simulated mouse; kExitOk or kExitFailed.
  int Finish();

  config::AppContext& context() { return context_; }
  device::HidChannel& channel() { return *channel_; }
  const device::DeviceHandle& handle() const { return handle_; }
  sim::SimulatedMouse* simulated_mouse() { return mouse_.get(); }
  bool simulate() const { return simulate_; }
  const CliEnvironment& environment() const { return env_; }
  std::ostream& out() { return out_; }
  std::ostream& err() { return err_; }
  // Prints "z900ctl: <message>" on the error stream and returns `code`.
  int Fail(int code, std::string_view message);

 private:
  const CliEnvironment& env_;
  bool simulate_;
  sim::SimFaults faults_;
  std::ostream& out_;
  std::ostream& err_;
  config::AppContext context_;
  TerminalUiPort ui_;
  bool language_loaded_ = false;
  std::unique_ptr<sim::SimStateSession> sim_session_;
  std::unique_ptr<sim::SimulatedMouse> mouse_;
  std::unique_ptr<platform::HidBackend> sim_backend_;
  std::unique_ptr<device::HidChannel> channel_;
  device::DeviceHandle handle_;
  bool opened_ = false;
  bool follow_up_checked_ = false;
  StoreAccess locked_ = StoreAccess::kNone;
  std::unique_ptr<platform::FileLock> store_lock_;
};

// One command of the tool. `name` may have several words ("macro list").
struct Command {
  std::string_view name;
  std::string_view arguments;  // usage of the arguments after the name
  std::string_view summary;
  int (*run)(CliSession& session, std::span<const std::string> args);
  StoreAccess access = StoreAccess::kNone;
};

std::span<const Command> DeviceCommands();
std::span<const Command> EventCommands();
std::span<const Command> MacroCommands();
std::span<const Command> I18nCommands();
std::span<const Command> UpdateCommands();
std::span<const Command> ConfigCommands();
std::span<const Command> ProfileCommands();
std::span<const Command> ActionCommands();
std::span<const Command> AutostartCommands();
// Every command of the tool, in the order the help lists them.
std::vector<const Command*> AllCommands();

// An option given before the command.
struct GlobalOption {
  std::string_view name;
  std::string_view summary;
};
std::span<const GlobalOption> GlobalOptions();

// A command's arguments split into positional ones and the options it knows: flags such as
// "--json" and valued options such as "--mode 1".
struct CommandArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string, std::less<>> values;
  std::set<std::string, std::less<>> flags;

  bool Has(std::string_view flag) const { return flags.contains(flag); }
  std::optional<std::string> Value(std::string_view option) const;
};
// Unknown options and valued options without a value are refused with an explanation.
std::optional<CommandArgs> ParseCommandArgs(std::span<const std::string> args,
                                            std::initializer_list<std::string_view> flags,
                                            std::initializer_list<std::string_view> valued,
                                            std::string& error);

// Prints bytes as hex, sixteen a line, each line led by its address: "0010: 0a 00 …".
void PrintHexLines(std::ostream& out, std::uint32_t address, std::span<const std::uint8_t> bytes);

// Parses a number in decimal or with a 0x prefix.
std::optional<std::uint32_t> ParseUnsigned(std::string_view text);

// Runs the tool with the arguments after the program name; returns the exit code.
int RunCli(std::span<const std::string> args, const CliEnvironment& env, std::ostream& out,
           std::ostream& err);

}  // namespace z900::cli
