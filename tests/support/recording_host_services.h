#pragma once

#include <string>
#include <vector>

#include "platform/host_services.h"
#include "platform/text.h"

namespace z900::test {

// HostServices that only writes down what it was asked to do, one line per call.
class RecordingHostServices final : public platform::HostServices {
 public:
  std::vector<std::string> calls;

  void StartProgram(const std::u16string& path,
                    std::span<const std::u16string> arguments) override {
    std::string line = "program " + platform::Utf16ToUtf8(path);
    for (const std::u16string& argument : arguments) line += " " + platform::Utf16ToUtf8(argument);
    calls.push_back(line);
  }
  void OpenWithDefaultApplication(const std::u16string& text) override {
    calls.push_back("open " + platform::Utf16ToUtf8(text));
  }
  void PlaySoundFile(const std::u16string& path) override {
    calls.push_back("sound " + platform::Utf16ToUtf8(path));
  }
  void StartTool(std::string_view command_line) override {
    calls.push_back("tool " + std::string(command_line));
  }
};

}  // namespace z900::test
