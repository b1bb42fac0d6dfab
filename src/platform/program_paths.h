#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace z900::platform {

// Every folder and file the programs use, resolved once at start-up.
struct ProgramPaths {
  std::filesystem::path module_directory;  // language files and skins
  std::filesystem::path profile_folder;    // Profile1.cfg … Profile5.cfg
  std::filesystem::path update_folder;     // downloads and the update marker
  std::filesystem::path registry_root;     // the key store
  std::filesystem::path sim_state_file;    // the simulated mouse
  // The single-instance lock and the channel to the running instance: a folder of this user
  // alone.
  std::filesystem::path instance_folder;
  // Where the program's own helper programs (the screenshot and flashing tools) are looked
  // for, in order. Never a folder of the user's data.
  std::vector<std::filesystem::path> helper_folders;
  // The advisory lock every program holds while it changes the profiles, the profile table or
  // the key store (shared while it only reads them).
  std::filesystem::path store_lock_file;
  // The files and the key store are the machine's, shared by all its users (Windows without
  // Z900_HOME): changing them takes administrator rights.
  bool machine_wide = false;
};

// The process facts the paths derive from. Each system reads those it has; the rest stay empty.
struct PathEnvironment {
  std::optional<std::filesystem::path> z900_home;  // Z900_HOME: one folder for the user's files
  std::filesystem::path executable_folder;
  std::filesystem::path install_data_folder;     // <prefix>/share/z900
  std::filesystem::path install_libexec_folder;  // <prefix>/libexec/z900
  std::filesystem::path install_sysconf_folder;  // /etc for a /usr installation
  std::optional<std::filesystem::path> xdg_data_home;
  std::optional<std::filesystem::path> xdg_config_home;
  std::optional<std::string> xdg_config_dirs;  // colon-separated
  std::optional<std::filesystem::path> xdg_state_home;
  std::optional<std::filesystem::path> xdg_runtime_dir;
  std::optional<std::filesystem::path> xdg_cache_home;
  std::optional<std::filesystem::path> local_app_data;  // Windows: the user's own program data
  std::filesystem::path home;
};

// Applies the folder rules. The program folder is the executable's folder when it holds
// language.xml, else the installed data folder; Z900_HOME takes its place only when it holds a
// language.xml of its own. The user's files go to Z900_HOME, or where this system keeps them
// (ResolveSystemPaths). Helper programs come from the executable's folder and the installed
// libexec folder alone.
ProgramPaths ResolveProgramPaths(const PathEnvironment& env);

// The user's files without Z900_HOME, by this system's rules: on Linux the XDG base
// directories, with one running instance per user (in the runtime folder, or without one in the
// user's cache folder, never in a folder others share); on Windows the folders beside the executable and the
// registry of the machine. Fills every field but the program folder and the helper folders.
void ResolveSystemPaths(const PathEnvironment& env, ProgramPaths& paths);

// Reads the environment and the executable's location of the running process.
PathEnvironment ReadPathEnvironment();

// Whether this process may change what belongs to the whole machine (ProgramPaths::machine_wide):
// on Windows a process with an elevated token, on Linux root.
bool RunsAsAdministrator();

// Value of an environment variable as UTF-8, or nullopt when it is unset or empty (so that VAR=
// on a command line switches a setting off, as for every other program).
std::optional<std::string> EnvironmentValue(const char* name);

}  // namespace z900::platform
