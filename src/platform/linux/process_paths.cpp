#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include "platform/program_paths.h"
#include "platform/utf8_path.h"
#include "z900/version.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

// XDG variables count only when they hold an absolute path.
fs::path XdgOr(const std::optional<fs::path>& value, const fs::path& fallback) {
  if (value && value->is_absolute()) return *value;
  return fallback;
}

std::optional<fs::path> PathFromEnvironment(const char* name) {
  if (auto value = EnvironmentValue(name)) return PathFromUtf8(*value);
  return std::nullopt;
}

fs::path HomeFolder() {
  if (auto home = PathFromEnvironment("HOME")) return *home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir) {
    return found->pw_dir;
  }
  std::error_code error;
  return fs::current_path(error);
}

}  // namespace

void ResolveSystemPaths(const PathEnvironment& env, ProgramPaths& paths) {
  const fs::path data = XdgOr(env.xdg_data_home, env.home / ".local/share") / "z900";
  const fs::path config = XdgOr(env.xdg_config_home, env.home / ".config") / "z900";
  const fs::path state = XdgOr(env.xdg_state_home, env.home / ".local/state") / "z900";
  paths.profile_folder = data / "Profile";
  paths.update_folder = data / "update";
  paths.registry_root = config / "registry";
  paths.sim_state_file = state / "sim-mouse.bin";
  // Without a runtime folder, not the shared temporary folder, where anyone may have made our
  // folder first and so kept us from the single-instance rule: a folder of the user's own.
  paths.instance_folder =
      XdgOr(env.xdg_runtime_dir, XdgOr(env.xdg_cache_home, env.home / ".cache")) / "z900";
  paths.store_lock_file = data / "z900.lock";
}

std::optional<std::string> EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read at start-up
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

bool RunsAsAdministrator() { return ::geteuid() == 0; }

PathEnvironment ReadPathEnvironment() {
  PathEnvironment env;
  env.z900_home = PathFromEnvironment("Z900_HOME");
  std::error_code error;
  const fs::path executable = fs::read_symlink("/proc/self/exe", error);
  if (!error) env.executable_folder = executable.parent_path();
  env.install_data_folder = kInstallDataDir;
  env.install_libexec_folder = kInstallLibexecDir;
  env.install_sysconf_folder = kInstallSysconfDir;
  env.xdg_data_home = PathFromEnvironment("XDG_DATA_HOME");
  env.xdg_config_home = PathFromEnvironment("XDG_CONFIG_HOME");
  env.xdg_config_dirs = EnvironmentValue("XDG_CONFIG_DIRS");
  env.xdg_state_home = PathFromEnvironment("XDG_STATE_HOME");
  env.xdg_runtime_dir = PathFromEnvironment("XDG_RUNTIME_DIR");
  env.xdg_cache_home = PathFromEnvironment("XDG_CACHE_HOME");
  env.home = HomeFolder();
  return env;
}

}  // namespace z900::platform
