#pragma once

#include <string>
#include <vector>

#include "platform/host_services.h"
#include "platform/text.h"

namespace z900::test {

// HostServices that only writes down what it was asked to do, one line per call, and answers
// that it started it (or, with `refusal` set, that it could not, for that reason).
class RecordingHostServices final : public platform::HostServices {
 public:
  std::vector<std::string> calls;
  std::string refusal;

  platform::HostOutcome StartProgram(const std::u16string& path,
                                     std::span<const std::u16string> arguments) override {
    std::string line = "program " + platform::Utf16ToUtf8(path);
    for (const std::u16string& argument : arguments) line += " " + platform::Utf16ToUtf8(argument);
    return Record(line);
  }
  platform::HostOutcome OpenWithDefaultApplication(const std::u16string& text) override {
    return Record("open " + platform::Utf16ToUtf8(text));
  }
  platform::HostOutcome PlaySoundFile(const std::u16string& path) override {
    return Record("sound " + platform::Utf16ToUtf8(path));
  }
  platform::HostOutcome StartTool(std::string_view command_line) override {
    return Record("tool " + std::string(command_line));
  }

 private:
  platform::HostOutcome Record(std::string line) {
    calls.push_back(std::move(line));
    if (refusal.empty()) return {};
    return platform::HostOutcome::Failed(refusal);
  }
};

}  // namespace z900::test
