#pragma once

#include <filesystem>
#include <optional>

namespace z900::platform {

// Every folder and file the programs use, resolved once at start-up.
struct ProgramPaths {
  std::filesystem::path module_directory;  // language files and skins
  std::filesystem::path profile_folder;    // Profile1.cfg … Profile5.cfg
  std::filesystem::path update_folder;     // downloads and the update marker
  std::filesystem::path registry_root;     // the key store
  std::filesystem::path sim_state_file;    // the simulated mouse
};

// The process facts the paths derive from.
struct PathEnvironment {
  std::optional<std::filesystem::path> z900_home;  // Z900_HOME: one self-contained folder
  std::filesystem::path executable_folder;
  std::filesystem::path install_data_folder;  // <prefix>/share/z900
  std::optional<std::filesystem::path> xdg_data_home;
  std::optional<std::filesystem::path> xdg_config_home;
  std::optional<std::filesystem::path> xdg_state_home;
  std::filesystem::path home;
};

// Applies the folder rules: Z900_HOME wins; otherwise the executable's folder serves as the
// program folder when it holds language.xml, and data follows the XDG base directories.
ProgramPaths ResolveProgramPaths(const PathEnvironment& env);

// Reads the environment and the executable's location of the running process.
PathEnvironment ReadPathEnvironment();

// Value of an environment variable, or nullopt when it is unset or empty.
std::optional<std::string> EnvironmentValue(const char* name);

}  // namespace z900::platform
