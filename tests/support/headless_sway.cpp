#include "support/headless_sway.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/linux/compositor_ipc.h"

namespace z900::test {
namespace {

namespace fs = std::filesystem;

// sway refuses to run as root; as root the test runs it as nobody.
constexpr uid_t kNobody = 65534;

}  // namespace

bool ProgramInPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (!folder.empty() && ::access((fs::path(folder) / program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

std::optional<std::string> HeadlessSway::Unavailable() {
  if (!ProgramInPath("sway")) return "sway is not installed";
  if (::geteuid() == 0 && !ProgramInPath("setpriv")) return "setpriv is not installed";
  return std::nullopt;
}

HeadlessSway::HeadlessSway() {
  const bool root = ::geteuid() == 0;
  if (root && ::chown(runtime_.path().c_str(), kNobody, kNobody) != 0) {
    throw std::runtime_error("cannot hand the runtime folder to nobody");
  }
  fs::permissions(runtime_.path(), fs::perms::owner_all);
  const fs::path config = runtime_.path() / "config";
  // Deferred exec commands run once the compositor accepts clients: that line is our signal.
  std::ofstream(config) << "xwayland disable\nexec echo ready >&3\n";
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> args = {"-c", config.string()};
  std::string program = "sway";
  if (root) {
    args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", "sway"});
    program = "setpriv";
  }
  sway_ = std::make_unique<ChildProcess>(
      program, args,
      std::map<std::string, std::string>{{"XDG_RUNTIME_DIR", runtime_.path().string()},
                                         {"WLR_BACKENDS", "headless"},
                                         {"WLR_LIBINPUT_NO_DEVICES", "1"},
                                         {"WLR_RENDERER", "pixman"},
                                         {"WAYLAND_DISPLAY", ""},
                                         {"DISPLAY", ""},
                                         {"SWAYSOCK", ""}},
      pipe[1]);
  ::close(pipe[1]);
  const std::optional<std::string> ready = ReadLineWithin(pipe[0], 10000);
  ::close(pipe[0]);
  if (ready != "ready") throw std::runtime_error("sway did not start");
  std::string display;
  for (const fs::directory_entry& entry : fs::directory_iterator(runtime_.path())) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("sway-ipc.") && name.ends_with(".sock")) socket_ = entry.path().string();
    if (name.starts_with("wayland-") && !name.ends_with(".lock")) display = name;
  }
  if (socket_.empty() || display.empty()) throw std::runtime_error("sway made no sockets");
  const std::pair<const char*, std::string> session[] = {
      {"XDG_RUNTIME_DIR", runtime_.path().string()},
      {"WAYLAND_DISPLAY", display},
      {"SWAYSOCK", socket_},
      {"XDG_SESSION_TYPE", "wayland"},
      {"XDG_CURRENT_DESKTOP", "sway"},
      {"DISPLAY", ""}};
  for (const auto& [name, value] : session) {
    variables_.push_back(std::make_unique<ScopedVariable>(name, value));
  }
}

HeadlessSway::~HeadlessSway() = default;

bool HeadlessSway::Command(const std::string& command) {
  const std::optional<std::string> reply =
      platform::SwayRequest(socket_, platform::kSwayRunCommand, command);
  return reply && reply->find("\"success\": true") != std::string::npos;
}

}  // namespace z900::test
