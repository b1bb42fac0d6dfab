#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/autostart.h"
#include "platform/program_paths.h"

namespace z900::platform {

// The file name of the utility's autostart entry, the same in every autostart folder.
inline constexpr char kAutostartEntryName[] = "z900-config.desktop";

// Where the desktop looks for the utility's autostart entry. The user's entry, when present,
// takes the place of the system ones (the XDG autostart rule); Hidden=true in it switches the
// utility off at login.
struct AutostartPaths {
  std::filesystem::path user_entry;  // $XDG_CONFIG_HOME/autostart/z900-config.desktop
  // $XDG_CONFIG_DIRS/autostart/z900-config.desktop, first one first.
  std::vector<std::filesystem::path> system_entries;
  // The entry this installation ships, <sysconfdir>/xdg/autostart/z900-config.desktop; copied
  // for the user when the desktop does not read that folder.
  std::filesystem::path installed_entry;
};

// Applies the XDG rules to the process facts; Z900_HOME plays no part (only the desktop reads
// these files).
AutostartPaths ResolveAutostartPaths(const PathEnvironment& env);

// Whether the utility starts at login; the decider is the entry that counts. nullopt and the
// reason when that entry cannot be read or is no desktop entry.
std::optional<AutostartStatus> ReadAutostart(const AutostartPaths& paths, std::string& error);

// Switches starting at login on or off through the user's entry alone, keeping whatever else the
// user put in it; a user entry that would only repeat the system's is removed. Returns the new
// status, or nullopt and the reason, with nothing changed.
std::optional<AutostartStatus> SetAutostart(const AutostartPaths& paths, bool enabled,
                                            std::string& error);

// Starting at login through the entries at `paths`.
class DesktopAutostart final : public Autostart {
 public:
  explicit DesktopAutostart(AutostartPaths paths) : paths_(std::move(paths)) {}
  std::optional<AutostartStatus> Read(std::string& error) override {
    return ReadAutostart(paths_, error);
  }
  std::optional<AutostartStatus> Set(bool enabled, std::string& error) override {
    return SetAutostart(paths_, enabled, error);
  }

 private:
  AutostartPaths paths_;
};

}  // namespace z900::platform
