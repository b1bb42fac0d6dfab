// windows.h first: the other system headers build on it.
// clang-format off
#include <windows.h>
// clang-format on

#include <mmsystem.h>
#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "platform/host_services.h"
#include "platform/text.h"
#include "platform/utf8_path.h"
#include "platform/windows/command_line.h"
#include "platform/windows/wide_text.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

// What a path names, for the checks made before anything is started.
enum class PathKind { kMissing, kFolder, kFile };

PathKind KindOf(const std::wstring& path, std::error_code& error) {
  const DWORD attributes = ::GetFileAttributesW(ApiPath(fs::path(path)).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error = LastWindowsError();
    return PathKind::kMissing;
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kFolder : PathKind::kFile;
}

std::string Missing(const std::string& path, std::error_code error) {
  return error == std::errc::no_such_file_or_directory ? path + " does not exist"
                                                       : path + ": " + error.message();
}

// A text with a scheme of two letters or more ("https:", "mailto:") is an address, not a path
// to check; "C:" is a drive.
bool IsAddress(std::wstring_view text) {
  const std::size_t colon = text.find(L':');
  if (colon == std::wstring_view::npos || colon < 2) return false;
  return std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(colon),
                     [](wchar_t c) {
                       return (c < 0x80 && std::isalnum(static_cast<int>(c))) || c == L'+' ||
                              c == L'-' || c == L'.';
                     });
}

std::string FolderList(const std::vector<fs::path>& folders) {
  std::string list;
  for (const fs::path& folder : folders) list += (list.empty() ? "" : ", ") + PathToUtf8(folder);
  return list;
}

// Hands a file, folder, program or address to the shell, as a double click would; never
// through a command interpreter.
HostOutcome ShellOpen(const std::wstring& target, const std::wstring& parameters) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // Waits until the shell has started what it was asked to, and reports failures to us rather
  // than in a message box of its own.
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = target.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!::ShellExecuteExW(&info)) {
    return HostOutcome::Failed("cannot open " + WideToUtf8(target) + ": " +
                               LastWindowsError().message());
  }
  return {};
}

class WindowsHostServices final : public HostServices {
 public:
  explicit WindowsHostServices(std::vector<fs::path> helper_folders)
      : helper_folders_(std::move(helper_folders)) {}

  HostOutcome StartProgram(const std::u16string& path,
                           std::span<const std::u16string> arguments) override {
    const std::wstring file = Utf16ToWide(path);
    const std::string name = Utf16ToUtf8(path);
    if (file.empty()) return HostOutcome::Failed("no program is given");
    std::error_code error;
    switch (KindOf(file, error)) {
      case PathKind::kMissing:
        return HostOutcome::Failed(Missing(name, error));
      case PathKind::kFolder:
        return HostOutcome::Failed(name + " is a folder, not a program");
      case PathKind::kFile:
        break;
    }
    std::vector<std::wstring> wide;
    for (const std::u16string& argument : arguments) wide.push_back(Utf16ToWide(argument));
    return ShellOpen(file, JoinCommandLineArguments(wide));
  }

  HostOutcome OpenWithDefaultApplication(const std::u16string& text) override {
    std::u16string_view unquoted = text;
    if (unquoted.size() >= 2 && unquoted.front() == u'"' && unquoted.back() == u'"') {
      unquoted = unquoted.substr(1, unquoted.size() - 2);
    }
    const std::wstring target = Utf16ToWide(unquoted);
    if (target.empty()) return HostOutcome::Failed("no file or folder is given");
    std::error_code error;
    if (!IsAddress(target) && KindOf(target, error) == PathKind::kMissing) {
      return HostOutcome::Failed(Missing(WideToUtf8(target), error));
    }
    return ShellOpen(target, {});
  }

  HostOutcome PlaySoundFile(const std::u16string& path) override {
    const std::wstring file = Utf16ToWide(path);
    const std::string name = Utf16ToUtf8(path);
    if (file.empty()) return HostOutcome::Failed("no sound file is given");
    std::error_code error;
    switch (KindOf(file, error)) {
      case PathKind::kMissing:
        return HostOutcome::Failed(Missing(name, error));
      case PathKind::kFolder:
        return HostOutcome::Failed(name + " is a folder, not a sound file");
      case PathKind::kFile:
        break;
    }
    // Without SND_NODEFAULT a file that cannot be played would sound the system's default.
    if (!::PlaySoundW(file.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT)) {
      return HostOutcome::Failed("cannot play " + name + " (not a sound file it can play)");
    }
    return {};
  }

  HostOutcome StartTool(std::string_view command_line) override {
    std::vector<std::wstring> args;
    for (std::size_t start = 0; start < command_line.size();) {
      const std::size_t blank = std::min(command_line.find(' ', start), command_line.size());
      if (blank > start) args.push_back(Utf8ToWide(command_line.substr(start, blank - start)));
      start = blank + 1;
    }
    if (args.empty()) return HostOutcome::Failed("no tool is given");
    // The tools are named without their extension, as on every system.
    fs::path tool(args[0]);
    if (tool.extension().empty()) tool += L".exe";
    for (const fs::path& folder : helper_folders_) {
      const fs::path candidate = folder / tool;
      std::error_code error;
      if (KindOf(candidate.native(), error) != PathKind::kFile) continue;
      args[0] = candidate.native();
      return Spawn(candidate, args);
    }
    std::string reason = WideToUtf8(args[0]) + " is not installed";
    if (!helper_folders_.empty()) reason += " (looked in " + FolderList(helper_folders_) + ")";
    return HostOutcome::Failed(std::move(reason));
  }

 private:
  // Starts a program of ours with the arguments quoted as its C runtime splits them again.
  static HostOutcome Spawn(const fs::path& program, const std::vector<std::wstring>& args) {
    std::wstring command = JoinCommandLineArguments(args);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process)) {
      return HostOutcome::Failed("cannot start " + PathToUtf8(program) + ": " +
                                 LastWindowsError().message());
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return {};
  }

  const std::vector<fs::path> helper_folders_;
};

}  // namespace

std::unique_ptr<HostServices> CreateSystemHostServices(std::vector<fs::path> helper_folders) {
  return std::make_unique<WindowsHostServices>(std::move(helper_folders));
}

}  // namespace z900::platform
