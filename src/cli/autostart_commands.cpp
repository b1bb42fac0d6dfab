#include <array>
#include <ostream>

#include "cli/cli_session.h"

namespace z900::cli {
namespace {

int RunAutostart(CliSession& session, std::span<const std::string> args) {
  if (args.size() != 1 || (args[0] != "on" && args[0] != "off" && args[0] != "status")) {
    return session.Fail(kExitUsage, "usage: z900ctl autostart on|off|status");
  }
  platform::Autostart& autostart = *session.environment().autostart;
  std::string error;
  const std::optional<platform::AutostartStatus> status =
      args[0] == "status" ? autostart.Read(error) : autostart.Set(args[0] == "on", error);
  if (!status) return session.Fail(kExitFailed, "autostart: " + error);
  session.out() << platform::DescribeAutostart(*status) << '\n';
  return kExitOk;
}

constexpr std::array kCommands = {
    Command{"autostart", "on|off|status",
            "start the utility hidden in the tray at login, or not (status: which entry decides)",
            &RunAutostart},
};

}  // namespace

std::span<const Command> AutostartCommands() { return kCommands; }

}  // namespace z900::cli
