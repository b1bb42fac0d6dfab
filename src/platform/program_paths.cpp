#include "platform/program_paths.h"

#include <system_error>

namespace z900::platform {

namespace fs = std::filesystem;

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
  ResolveSystemPaths(env, paths);
  return paths;
}

}  // namespace z900::platform
