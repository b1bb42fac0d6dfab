#include "support/session_bus.h"

#include <fstream>

namespace z900::test {
namespace {

namespace fs = std::filesystem;

// Writes the bus configuration and the service files; returns the configuration file.
fs::path WriteBusFiles(const fs::path& folder, const std::vector<ActivatableService>& services) {
  const fs::path service_folder = folder / "services";
  fs::create_directories(service_folder);
  for (const ActivatableService& service : services) {
    std::ofstream file(service_folder / (service.name + ".service"));
    file << "[D-BUS Service]\nName=" << service.name << "\nExec=";
    for (std::size_t i = 0; i < service.exec.size(); ++i) {
      file << (i > 0 ? " " : "") << service.exec[i];
    }
    file << '\n';
  }
  fs::path config = folder / "session.conf";
  std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                           "Configuration 1.0//EN\"\n"
                           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                           "<busconfig>\n  <type>session</type>\n"
                           "  <listen>unix:dir="
                        << folder.string()
                        << "</listen>\n"
                           "  <servicedir>"
                        << service_folder.string()
                        << "</servicedir>\n"
                           "  <policy context=\"default\">\n"
                           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                           "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n"
                           "  </policy>\n</busconfig>\n";
  return config;
}

}  // namespace

// The bus writes its address to the descriptor once it accepts clients.
SessionBus::SessionBus(const fs::path& folder, const std::vector<ActivatableService>& services)
    : server_({"dbus-daemon", "--nofork",
               "--config-file=" + WriteBusFiles(folder, services).string(),
               "--print-address={ready}"}) {}

}  // namespace z900::test
