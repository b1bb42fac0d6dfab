#include "grab_options.h"

namespace z900::screengrab {
namespace {

std::optional<CaptureMode> ModeNamed(std::string_view name) {
  if (name == "desktop") return CaptureMode::kDesktop;
  if (name == "window") return CaptureMode::kWindow;
  if (name == "region") return CaptureMode::kRegion;
  return std::nullopt;
}

ParsedArguments Refuse(std::string error) { return {std::nullopt, std::move(error)}; }

}  // namespace

ParsedArguments ParseGrabOptions(std::span<const std::string> args) {
  GrabOptions options;
  bool have_mode = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "-p" || arg == "--png") {
      options.save_png = true;
    } else if (arg == "-t" || arg == "--type" || arg == "-o" || arg == "--output") {
      if (i + 1 == args.size()) return Refuse("option " + arg + " needs a value");
      const std::string& value = args[++i];
      if (arg == "-o" || arg == "--output") {
        if (options.output_folder) return Refuse("option " + arg + " is given twice");
        if (value.empty()) return Refuse("option " + arg + " needs a folder");
        options.output_folder = value;
        options.save_png = true;
        continue;
      }
      if (have_mode) return Refuse("option " + arg + " is given twice");
      const std::optional<CaptureMode> mode = ModeNamed(value);
      if (!mode) return Refuse("unknown capture type '" + value + "'");
      options.mode = *mode;
      have_mode = true;
    } else {
      return Refuse("unknown argument '" + arg + "'");
    }
  }
  return {options, {}};
}

std::string_view UsageText() {
  return "Usage: z900-screengrab [-t desktop|window|region] [-p] [-o FOLDER]\n"
         "Takes a screenshot and puts it on the clipboard.\n"
         "\n"
         "  -t, --type TYPE      what to capture: desktop (all screens, the default), window\n"
         "                       (the active window with its frame) or region (an area dragged\n"
         "                       on the frozen screen; Esc or a right click cancels)\n"
         "  -p, --png            also save it as Screenshot_YYYY-MM-DD_HH-MM-SS.png in the\n"
         "                       pictures folder\n"
         "  -o, --output FOLDER  save into FOLDER instead of the pictures folder (implies -p)\n"
         "  -h, --help           show this text\n"
         "\n"
         "The pictures folder is XDG_PICTURES_DIR of user-dirs.dirs, else ~/Pictures;\n"
         "Z900_SCREENSHOT_DIR in the environment names another one. Under Wayland the\n"
         "desktop portal takes the picture. The saved file's path is printed and shown in a\n"
         "desktop notification.\n"
         "\n"
         "Exit status: 0 taken, 1 cancelled or failed, 2 usage error.\n";
}

}  // namespace z900::screengrab
