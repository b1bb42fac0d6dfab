#include <algorithm>
#include <array>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <vector>

#include "cli/cli_session.h"
#include "platform/utf8_path.h"
#include "z900/version.h"

namespace z900::cli {
namespace {

constexpr GlobalOption kGlobalOptions[] = {
    {"--simulate", "use the simulated mouse instead of the real one"},
    {"--help", "show this help and exit"},
    {"--version", "show the version and exit"},
};

// Every command group of the tool, in the order the help lists them.
constexpr std::array kCommandGroups = {&DeviceCommands, &EventCommands,  &MacroCommands,
                                       &I18nCommands,   &ConfigCommands, &ProfileCommands,
                                       &ActionCommands, &UpdateCommands, &AutostartCommands};

std::vector<std::string_view> Words(std::string_view name) {
  std::vector<std::string_view> words;
  while (!name.empty()) {
    const std::size_t blank = name.find(' ');
    words.push_back(name.substr(0, blank));
    name = blank == std::string_view::npos ? std::string_view() : name.substr(blank + 1);
  }
  return words;
}

// The command whose words open the argument list, the longest such one.
const Command* FindCommand(std::span<const std::string> args, std::size_t& word_count) {
  const Command* best = nullptr;
  word_count = 0;
  for (const Command* command : AllCommands()) {
    const std::vector<std::string_view> words = Words(command->name);
    if (words.size() > args.size() || words.size() <= word_count) continue;
    if (std::equal(words.begin(), words.end(), args.begin())) {
      best = command;
      word_count = words.size();
    }
  }
  return best;
}

void PrintHelp(std::ostream& out, const CliEnvironment& env) {
  out << "Usage: z900ctl [--simulate] COMMAND [ARGUMENTS]\n"
         "\n"
         "Reads and configures the Z900 mouse from the command line.\n"
         "\n"
         "Options:\n";
  for (const GlobalOption& option : kGlobalOptions) {
    out << "  " << std::left << std::setw(12) << option.name << option.summary << '\n';
  }
  out << "\n"
         "Commands:\n";
  for (const Command* command : AllCommands()) {
    std::string usage(command->name);
    if (!command->arguments.empty()) usage += " " + std::string(command->arguments);
    out << "  " << std::left << std::setw(28) << usage << ' ' << command->summary << '\n';
  }
  out << "\n"
         "Environment:\n"
         "  Z900_HOME        keep your files (profiles, key store, updates, simulated mouse)\n"
         "                   in this one folder; set but empty counts as unset\n"
         "  Z900_TRACE=1     print every report sent and received on standard error\n"
         "  Z900_SIM_FAULTS  faults of the simulated mouse (see docs/simulator.md)\n"
         "  Z900_LANGUAGE    use language_<LANGUAGE>.xml of the program folder\n"
         "  Z900_UPDATE_URL  ask this update server (http://host:port) instead of ours\n"
         "\n"
         "The simulated mouse lives in "
      << platform::PathToUtf8(env.paths.sim_state_file)
      << ".\n"
         "Exit status: 0 done, 1 failed, 2 usage error, 3 no mouse.\n";
}

}  // namespace

std::span<const GlobalOption> GlobalOptions() { return kGlobalOptions; }

std::vector<const Command*> AllCommands() {
  std::vector<const Command*> commands;
  for (auto group : kCommandGroups) {
    for (const Command& command : group()) commands.push_back(&command);
  }
  return commands;
}

int RunCli(std::span<const std::string> args, const CliEnvironment& env, std::ostream& out,
           std::ostream& err) {
  bool simulate = false;
  std::size_t first = 0;
  for (; first < args.size() && args[first].starts_with("-"); ++first) {
    const std::string& option = args[first];
    if (option == "--help" || option == "-h") {
      PrintHelp(out, env);
      return kExitOk;
    }
    if (option == "--version") {
      out << "z900ctl " << kVersion << '\n' << kLicenseNotice << '\n';
      return kExitOk;
    }
    if (option == "--simulate") {
      simulate = true;
    } else {
      err << "z900ctl: unknown option \"" << option << "\"; see z900ctl --help\n";
      return kExitUsage;
    }
  }
  const std::span<const std::string> rest = args.subspan(first);
  if (rest.empty()) {
    err << "z900ctl: no command given; see z900ctl --help\n";
    return kExitUsage;
  }
  std::size_t word_count = 0;
  const Command* command = FindCommand(rest, word_count);
  if (command == nullptr) {
    err << "z900ctl: unknown command \"" << rest[0] << "\"; see z900ctl --help\n";
    return kExitUsage;
  }

  CliSession session(env, simulate, out, err);
  if (int code = session.Start(); code != kExitOk) return code;
  if (int code = session.LockStore(command->access); code != kExitOk) return code;
  const int code = command->run(session, rest.subspan(word_count));
  const int finish = session.Finish();
  return code != kExitOk ? code : finish;
}

}  // namespace z900::cli
