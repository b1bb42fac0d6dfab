#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace z900::screengrab {

// What the user asked to capture.
enum class CaptureMode { kDesktop, kWindow, kRegion };

// The parsed command line.
struct GrabOptions {
  CaptureMode mode = CaptureMode::kDesktop;
  bool save_png = false;                     // -p: save a PNG file besides the clipboard
  std::optional<std::string> output_folder;  // -o: instead of the pictures folder
  bool help = false;
};

// Either the options or the reason the command line was refused.
struct ParsedArguments {
  std::optional<GrabOptions> options;
  std::string error;
};

// Parses the arguments that follow the program name.
ParsedArguments ParseGrabOptions(std::span<const std::string> args);

// The text of --help.
std::string_view UsageText();

}  // namespace z900::screengrab
