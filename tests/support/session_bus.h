#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/background_server.h"

namespace z900::test {

// A service the bus starts on the first message to its name.
struct ActivatableService {
  std::string name;               // e.g. "org.freedesktop.Notifications"
  std::vector<std::string> exec;  // program and arguments, without blanks in any of them
};

// A private D-Bus session bus (dbus-daemon) for as long as the object lives. It starts only the
// given services, and only when they are first called, so a test never races their start.
class SessionBus {
 public:
  SessionBus(const std::filesystem::path& folder, const std::vector<ActivatableService>& services);
  SessionBus(const SessionBus&) = delete;
  SessionBus& operator=(const SessionBus&) = delete;
  // For DBUS_SESSION_BUS_ADDRESS.
  const std::string& address() const { return server_.first_line(); }

 private:
  BackgroundServer server_;
};

}  // namespace z900::test
