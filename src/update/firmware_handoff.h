#pragma once

#include <filesystem>
#include <optional>

#include "config/app_context.h"
#include "config/apply_to_mouse.h"
#include "config/config_ports.h"
#include "config/settings_page_model.h"
#include "platform/host_services.h"
#include "platform/ui_port.h"

// Handing a downloaded firmware image to the flashing tool, and the marker the next start
// reads to write the configuration into the freshly flashed mouse.
namespace z900::update {

inline constexpr char kMarkerSection[] = "Firmware";
inline constexpr char kMarkerKey[] = "Update";
inline constexpr char kMarkerDefault[] = "Error";
inline constexpr char kMarkerPending[] = "1";
inline constexpr char kMarkerDone[] = "0";
// The flashing tool is one of the program's helper programs, found beside the executable or
// in its installed helper folder, never among the user's files; it finds the image itself.
inline constexpr char kFlashToolCommand[] = "FlashTool.exe -TALVO";

// update/Config.ini of the update folder.
std::filesystem::path MarkerFile(const platform::ProgramPaths& paths);

// Leaves the marker "1" and starts the flashing tool. Says whether the tool could be started;
// the marker stays either way (at worst the next start writes the configuration once more).
platform::HostOutcome HandOffFirmwareImage(const config::AppContext& context,
                                           platform::HostServices& host);

// The tray's About command: shows the about box unless a message is showing, and when the box
// downloaded a firmware image, hands it off and shuts the utility down.
void ShowAboutAndHandOff(config::AppContext& context, platform::UiPort& ui,
                         platform::HostServices& host);

// Whether the marker asks for the configuration to be written again (exactly "1").
bool FirmwareMarkerPending(const platform::ProgramPaths& paths);
// Marks the re-write as done ("0").
void ClearFirmwareMarker(const platform::ProgramPaths& paths);

// The settings page's start after a firmware update: when the marker is pending, writes the
// loaded configuration into the freshly flashed mouse once, without the progress window, and
// marks it done. Returns what the write did, or nullopt when nothing was pending.
std::optional<config::ApplyReport> RunFirmwareFollowUp(config::AppContext& context,
                                                       config::SettingsPageModel& page,
                                                       config::ConfigPorts& ports);

}  // namespace z900::update
