#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/foreground_app.h"
#include "platform/keyboard_layout.h"

namespace z900::test {

// A keyboard layout whose letter keys type their lower-case letter, as a US layout does; no
// other key types anything.
class LetterLayout final : public platform::KeyboardLayout {
 public:
  std::optional<char32_t> UnshiftedCharacter(std::uint32_t key) const override {
    if (key >= 'A' && key <= 'Z') return static_cast<char32_t>(key - 'A' + 'a');
    return std::nullopt;
  }
};

// The foreground program, as the test sets it; counts the look-ups.
class FakeForeground final : public platform::ForegroundApp {
 public:
  std::u16string ForegroundProgramName() override {
    ++asks;
    return name;
  }
  platform::ForegroundProgram ForegroundProgramNames() override {
    ++asks;
    return {name, other_names};
  }
  platform::ForegroundStatus BackendStatus() override { return status; }
  bool IsEventDriven() override { return event_driven; }
  std::u16string name = platform::kUnknownProgram;
  std::vector<std::u16string> other_names;
  bool event_driven = false;  // true: the owner is told of every change and need not ask
  platform::ForegroundStatus status{platform::ForegroundBackend::kX11,
                                    platform::ForegroundProblem::kNone, false, ""};
  int asks = 0;
};

}  // namespace z900::test
