#include "platform/program_paths.h"

#include <string>
#include <system_error>

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

// XDG variables count only when they hold an absolute path.
fs::path XdgOr(const std::optional<fs::path>& value, const fs::path& fallback) {
  if (value && value->is_absolute()) return *value;
  return fallback;
}

}  // namespace

ProgramPaths ResolveProgramPaths(const PathEnvironment& env) {
  ProgramPaths paths;
  std::error_code error;
  if (!env.executable_folder.empty()) paths.helper_folders.push_back(env.executable_folder);
  if (!env.install_libexec_folder.empty()) {
    paths.helper_folders.push_back(env.install_libexec_folder);
  }
  paths.module_directory = fs::exists(env.executable_folder / "language.xml", error)
                               ? env.executable_folder
                               : env.install_data_folder;
  if (env.z900_home) {
    const fs::path& dir = *env.z900_home;
    if (fs::exists(dir / "language.xml", error)) paths.module_directory = dir;
    paths.profile_folder = dir / "Profile";
    paths.update_folder = dir / "update";
    paths.registry_root = dir / "registry";
    paths.sim_state_file = dir / "sim-mouse.bin";
    paths.instance_folder = dir;
    paths.store_lock_file = dir / "z900.lock";
    return paths;
  }
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
  return paths;
}

}  // namespace z900::platform

#include <cstdlib>

namespace z900::platform {

std::optional<std::string> EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read at start-up
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

}  // namespace z900::platform
