// windows.h first: the other system headers build on it.
// clang-format off
#include <windows.h>
// clang-format on

#include <shlobj.h>

#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/program_paths.h"
#include "platform/windows/wide_text.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

// The process's own environment block, in UTF-16 (the C runtime's copy is made at start-up and
// misses what the process set since).
std::optional<fs::path> PathFromEnvironment(const wchar_t* name) {
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD length =
        ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return std::nullopt;  // unset or empty
    if (length < value.size()) {
      value.resize(length);
      return fs::path(value);
    }
    value.resize(length);  // the length with its terminator
  }
}

std::optional<fs::path> KnownFolder(REFKNOWNFOLDERID id) {
  wchar_t* text = nullptr;
  std::optional<fs::path> folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &text)) && text != nullptr) {
    folder = fs::path(text);
  }
  ::CoTaskMemFree(text);
  return folder;
}

fs::path ExecutableFile() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      return fs::path(name);
    }
    name.resize(name.size() * 2);  // cut off: a path longer than MAX_PATH
  }
}

}  // namespace

void ResolveSystemPaths(const PathEnvironment& env, ProgramPaths& paths) {
  // The installation's own layout: the user's files beside the executable and the key store in
  // the registry of the machine, so that the utility finds what an earlier installation left.
  const fs::path& program = env.executable_folder;
  paths.profile_folder = program / L"Profile";
  paths.update_folder = program / L"update";
  paths.registry_root.clear();
  paths.store_lock_file = program / L"z900.lock";
  paths.machine_wide = true;
  // Ours alone, per user: the simulated mouse and the channel to the running instance.
  const fs::path own = env.local_app_data ? *env.local_app_data / L"Z900"
                                          : env.home / L"AppData" / L"Local" / L"Z900";
  paths.sim_state_file = own / L"sim-mouse.bin";
  paths.instance_folder = own;
}

std::optional<std::string> EnvironmentValue(const char* name) {
  const std::optional<fs::path> value = PathFromEnvironment(Utf8ToWide(name).c_str());
  if (!value) return std::nullopt;
  return WideToUtf8(value->native());
}

bool RunsAsAdministrator() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool elevated =
      ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
      elevation.TokenIsElevated != 0;
  ::CloseHandle(token);
  return elevated;
}

PathEnvironment ReadPathEnvironment() {
  PathEnvironment env;
  env.z900_home = PathFromEnvironment(L"Z900_HOME");
  const fs::path executable = ExecutableFile();
  if (!executable.empty()) env.executable_folder = executable.parent_path();
  // Language files and skins come with the program, beside it.
  env.install_data_folder = env.executable_folder;
  env.local_app_data = KnownFolder(FOLDERID_LocalAppData);
  if (!env.local_app_data) env.local_app_data = PathFromEnvironment(L"LOCALAPPDATA");
  env.home = PathFromEnvironment(L"USERPROFILE").value_or(fs::path());
  return env;
}

}  // namespace z900::platform
