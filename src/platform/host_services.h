#pragma once

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace z900::platform {

// What the host does for buttons the mouse cannot carry out itself. Every call returns at once
// and reports nothing: a missing program, file, sound or tool simply does nothing.
class HostServices {
 public:
  virtual ~HostServices() = default;
  // Starts a program file with the given arguments (none for a button's program).
  virtual void StartProgram(const std::u16string& path,
                            std::span<const std::u16string> arguments = {}) = 0;
  // Opens a file or folder with the desktop's default application. The text may come enclosed
  // in double quotes (as a path with blanks is handed to a shell on other systems); the quotes
  // are not part of the path.
  virtual void OpenWithDefaultApplication(const std::u16string& text) = 0;
  // Plays a sound file without waiting for it to end.
  virtual void PlaySoundFile(const std::u16string& path) = 0;
  // Starts one of the program's own tools from a fixed command line such as
  // "z900-screengrab -t desktop -p"; the tool is looked for in the program folder first.
  virtual void StartTool(std::string_view command_line) = 0;
};

// The host services of this platform; `program_folder` holds the program's own tools.
std::unique_ptr<HostServices> CreateSystemHostServices(std::filesystem::path program_folder);

}  // namespace z900::platform
