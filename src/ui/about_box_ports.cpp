#include "ui/about_box_ports.h"

#include "device/command_set.h"

namespace z900::ui {

AboutBoxPorts MakeAboutBoxPorts(device::HidChannel& channel, update::UpdateCheck& check,
                                platform::HostServices& host) {
  AboutBoxPorts ports;
  ports.query_firmware = [&channel]() -> std::optional<std::uint8_t> {
    device::DeviceHandle handle;
    // Whether it opened shows in the query: without a handle it fails.
    channel.OpenDevice(handle);
    const std::optional<std::uint8_t> version = device::QueryFirmwareVersion(channel, handle);
    channel.CloseDevice(handle);
    return version;
  };
  ports.check_utility_update = [&check] { return check.CheckUtilityUpdate(); };
  ports.check_firmware_update = [&check] { return check.CheckFirmwareUpdate(); };
  ports.open_web_site = [&host](const QString& address) {
    host.OpenWithDefaultApplication(address.toStdU16String());
  };
  return ports;
}

}  // namespace z900::ui
