#pragma once

#include <filesystem>

#include "config/app_context.h"
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
inline constexpr char16_t kFlashToolArgument[] = u"-TALVO";

// update/Config.ini and update/FlashTool.exe of the program's update folder.
std::filesystem::path MarkerFile(const platform::ProgramPaths& paths);
std::filesystem::path FlashToolFile(const platform::ProgramPaths& paths);

// Leaves the marker "1" and starts the flashing tool; neither result is looked at.
void HandOffFirmwareImage(const config::AppContext& context, platform::HostServices& host);

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
// marks it done. Returns whether it wrote.
bool RunFirmwareFollowUp(config::AppContext& context, config::SettingsPageModel& page,
                         config::ConfigPorts& ports);

}  // namespace z900::update
