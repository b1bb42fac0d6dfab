#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/program_paths.h"

namespace z900::platform {

// Whether the tray utility starts at login, and what decides it.
struct AutostartStatus {
  bool enabled = false;
  // What decides, for the user: the autostart entry that counts on Linux, the logon task on
  // Windows; empty when nothing is installed that could start the utility.
  std::string decider;
};

// Starting the tray utility, hidden, when the user logs in: on Linux through the XDG autostart
// entries, on Windows through a logon task of the Task Scheduler that runs with the highest
// privileges (the utility asks for administrator rights, which a Run key cannot give it).
class Autostart {
 public:
  virtual ~Autostart() = default;
  // The status; nullopt and the reason when it cannot be read.
  virtual std::optional<AutostartStatus> Read(std::string& error) = 0;
  // Switches starting at login on or off and returns the new status; nullopt and the reason,
  // with nothing changed, when that cannot be done.
  virtual std::optional<AutostartStatus> Set(bool enabled, std::string& error) = 0;
};

// The status as the programs print it: "on (DECIDER)", "off (DECIDER)", or "off (no autostart
// entry is installed)".
std::string DescribeAutostart(const AutostartStatus& status);

// Starting at login on this system, for the process facts `env`.
std::unique_ptr<Autostart> CreateSystemAutostart(const PathEnvironment& env);

}  // namespace z900::platform
