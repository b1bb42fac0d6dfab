#pragma once

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace z900::platform {

// Whether the host could start what it was asked to; when not, `reason` tells the user why
// ("/opt/x does not exist").
struct HostOutcome {
  bool started = true;
  std::string reason;

  static HostOutcome Failed(std::string why) { return {false, std::move(why)}; }
};

// What the host does for buttons the mouse cannot carry out itself. Every call checks what it
// was given before it starts anything, returns at once without waiting for what it started,
// and says whether it could start it.
class HostServices {
 public:
  virtual ~HostServices() = default;
  // Starts a program file with the given arguments (none for a button's program).
  virtual HostOutcome StartProgram(const std::u16string& path,
                                   std::span<const std::u16string> arguments = {}) = 0;
  // Opens a file, a folder or a web address with the desktop's default application. The text
  // may come enclosed in double quotes (as a path with blanks is handed to a shell on other
  // systems); the quotes are not part of the path.
  virtual HostOutcome OpenWithDefaultApplication(const std::u16string& text) = 0;
  // Plays a sound file without waiting for it to end.
  virtual HostOutcome PlaySoundFile(const std::u16string& path) = 0;
  // Starts one of the program's own helper programs from a fixed command line such as
  // "z900-screengrab -t desktop -p"; the helper is looked for in the program's helper folders
  // alone, never in the search path or a folder of the user's data.
  virtual HostOutcome StartTool(std::string_view command_line) = 0;
};

// The host services of this platform; `helper_folders` hold the program's own tools.
std::unique_ptr<HostServices> CreateSystemHostServices(
    std::vector<std::filesystem::path> helper_folders);

}  // namespace z900::platform
