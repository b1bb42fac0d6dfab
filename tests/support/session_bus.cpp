#include "support/session_bus.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace z900::test {

namespace fs = std::filesystem;

SessionBus::SessionBus(const fs::path& folder, const std::vector<ActivatableService>& services) {
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
  const fs::path config = folder / "session.conf";
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

  int ready[2];
  if (::pipe(ready) != 0) throw std::runtime_error("pipe failed");
  ::fcntl(ready[0], F_SETFD, FD_CLOEXEC);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  // The bus writes its address to this descriptor once it accepts clients.
  std::vector<std::string> args = {"dbus-daemon", "--nofork", "--config-file=" + config.string(),
                                   "--print-address=" + std::to_string(ready[1])};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, "dbus-daemon", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(ready[1]);
  if (spawned != 0) {
    ::close(ready[0]);
    throw std::runtime_error(std::string("cannot start dbus-daemon: ") + std::strerror(spawned));
  }
  pid_ = pid;
  char c = 0;
  while (::read(ready[0], &c, 1) == 1 && c != '\n') address_.push_back(c);
  ::close(ready[0]);
  if (address_.empty()) {
    Stop();
    throw std::runtime_error("dbus-daemon did not start");
  }
}

SessionBus::~SessionBus() { Stop(); }

void SessionBus::Stop() {
  ::kill(pid_, SIGTERM);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace z900::test
