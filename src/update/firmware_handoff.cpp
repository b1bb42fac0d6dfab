#include "update/firmware_handoff.h"

#include "config/apply_to_mouse.h"
#include "platform/ini_file.h"

namespace z900::update {

std::filesystem::path MarkerFile(const platform::ProgramPaths& paths) {
  return paths.update_folder / "Config.ini";
}

platform::HostOutcome HandOffFirmwareImage(const config::AppContext& context,
                                           platform::HostServices& host) {
  platform::IniFile::WriteString(MarkerFile(context.paths), kMarkerSection, kMarkerKey,
                                 kMarkerPending);
  return host.StartTool(kFlashToolCommand);
}

void ShowAboutAndHandOff(config::AppContext& context, platform::UiPort& ui,
                         platform::HostServices& host) {
  if (context.message_box_flag != 0) return;
  context.message_box_flag = 1;
  const bool image_ready = ui.ShowAboutBox();
  context.message_box_flag = 0;
  if (!image_ready) return;
  HandOffFirmwareImage(context, host);
  ui.ShutDown();
}

bool FirmwareMarkerPending(const platform::ProgramPaths& paths) {
  return platform::IniFile::GetString(MarkerFile(paths), kMarkerSection, kMarkerKey,
                                      kMarkerDefault) == kMarkerPending;
}

void ClearFirmwareMarker(const platform::ProgramPaths& paths) {
  platform::IniFile::WriteString(MarkerFile(paths), kMarkerSection, kMarkerKey, kMarkerDone);
}

std::optional<config::ApplyReport> RunFirmwareFollowUp(config::AppContext& context,
                                                       config::SettingsPageModel& page,
                                                       config::ConfigPorts& ports) {
  if (!FirmwareMarkerPending(context.paths)) return std::nullopt;
  const config::ApplyReport report = config::ApplyToMouse(context, page, ports, false);
  ClearFirmwareMarker(context.paths);
  return report;
}

}  // namespace z900::update
