#include <pwd.h>
#include <unistd.h>

#include <system_error>
#include <vector>

#include "platform/program_paths.h"
#include "z900/version.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

std::optional<fs::path> PathFromEnvironment(const char* name) {
  if (auto value = EnvironmentValue(name)) return fs::path(*value);
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
