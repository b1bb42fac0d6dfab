#include "app/start_utility.h"

#include <algorithm>
#include <array>
#include <ostream>
#include <string_view>

#include "i18n/language_strings.h"
#include "i18n/xml_document.h"
#include "platform/autostart.h"
#include "platform/utf8_path.h"
#include "z900/version.h"

namespace z900::app {

bool LoadKeyHook(platform::KeyboardHook& hook, platform::UiPort& ui) {
  if (hook.InstallHook()) return true;
  ui.ShowStandardBox(kHookMissingText, kHookMissingCaption);
  return false;
}

bool LoadProgramLanguage(config::AppContext& context, const std::optional<std::string>& language) {
  i18n::CXmlDocument document;
  return i18n::LoadLanguageStrings(
      document, i18n::LanguageFilePath(context.paths.module_directory, language), context.strings);
}

StartResult StartUtility(config::AppContext& context, StartupPorts& ports) {
  const platform::PathEnvironment environment = ports.PathEnvironment();
  if (environment.executable_folder.empty()) return {StartOutcome::kNoProgramFolder, kExitFailed};
  context.paths = platform::ResolveProgramPaths(environment);
  // Before anything can show a message, so that even the notice of a missing mouse is
  // translated. A missing file is no error: every text is then empty.
  if (!LoadProgramLanguage(context, platform::EnvironmentValue("Z900_LANGUAGE"))) {
    ports.Warn("cannot read the language file in " +
               platform::PathToUtf8(context.paths.module_directory) + "; texts will be empty");
  }

  // The start-up handle only proves that a mouse is there; it stays open until the end.
  device::HidChannel& channel = ports.channel();
  device::DeviceHandle startup_handle;
  StartResult result;
  if (!channel.OpenDevice(startup_handle)) {
    if (channel.last_open_error() != platform::HidOpenError::kNoDevice) {
      ports.Warn(
          platform::DescribeOpenFailure(channel.last_open_error(), channel.last_open_detail()));
    }
    config::ShowMessage(context, ports.ui(), context.Text(i18n::StringKey::str_msg6), false);
    result = {StartOutcome::kNoMouse, kExitNoMouse};
  } else {
    // Only an instance that found the mouse takes part in the single-instance rule.
    std::string why;
    switch (ports.instance_lock().Acquire(why)) {
      case platform::InstanceLock::Result::kAnotherRuns:
        if (ports.instance_lock().RequestShow(why)) {
          result = {StartOutcome::kAnotherInstance, kExitOk};
        } else {
          // Nothing would show otherwise: the user would wait for a window that never comes.
          ports.Warn("the running instance was not shown: " + why);
          result = {StartOutcome::kNoAnswer, kExitFailed};
        }
        break;
      case platform::InstanceLock::Result::kUnavailable:
        ports.Warn("cannot make sure that only one instance runs: " + why);
        [[fallthrough]];
      case platform::InstanceLock::Result::kFirst:
        LoadKeyHook(ports.keyboard_hook(), ports.ui());
        ports.CreateMainWindow();
        ports.StartFirmwareRestartStep();
        result = {StartOutcome::kRan, ports.RunMainWindow()};
        ports.DestroyMainWindow();
        break;
    }
  }
  channel.CloseDevice(startup_handle);
  return result;
}

namespace {

// The options that Qt takes out of the command line itself (the application, its X11 display
// plugin, its widget styles), by name without the dash; Qt accepts one dash or two. Those of the
// first list take a value, as the next argument or after "=".
constexpr std::array<std::string_view, 16> kToolkitOptionsWithValue = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "geometry",
    "qwindowtitle", "title", "qwindowicon", "icon", "session", "display", "name", "visual",
    "style", "stylesheet"};
constexpr std::array<std::string_view, 8> kToolkitFlags = {
    "reverse", "testability", "widgetcount", "sync", "cmap", "nograb", "dograb", "qmljsdebugger"};

// How many arguments from `at` on are one of Qt's options (0 when it is none).
std::size_t ToolkitOptionLength(std::span<const std::string> args, std::size_t at) {
  std::string_view arg = args[at];
  if (!arg.starts_with('-')) return 0;
  arg.remove_prefix(arg.starts_with("--") ? 2 : 1);
  const std::size_t equals = arg.find('=');
  const std::string_view name = arg.substr(0, equals);
  const auto known = [name](const auto& names) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  if (known(kToolkitFlags)) return 1;
  if (!known(kToolkitOptionsWithValue)) return 0;
  return equals != std::string_view::npos || at + 1 == args.size() ? 1 : 2;
}

}  // namespace

std::optional<Options> ParseOptions(std::span<const std::string> args, std::string& error) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (const std::size_t toolkit = ToolkitOptionLength(args, i); toolkit > 0) {
      i += toolkit - 1;  // Qt's own: QApplication takes it
    } else if (args[i] == "--simulate") {
      options.simulate = true;
    } else if (args[i] == "--show") {
      options.show = true;
    } else if (args[i] == "--render") {
      if (i + 1 == args.size()) {
        error = "--render needs the folder to draw into";
        return std::nullopt;
      }
      options.render_folder = platform::PathFromUtf8(args[++i]);
    } else if (args[i] == "--autostart") {
      if (i + 1 == args.size() || (args[i + 1] != "on" && args[i + 1] != "off")) {
        error = "--autostart needs on or off";
        return std::nullopt;
      }
      options.autostart = args[++i] == "on";
    } else if (args[i] == "--help") {
      options.help = true;
    } else if (args[i] == "--version") {
      options.version = true;
    } else {
      error = "unknown argument \"" + args[i] + "\"";
      return std::nullopt;
    }
  }
  return options;
}

std::optional<int> RunWithoutWindow(const Options& options, const platform::PathEnvironment& env,
                                    std::ostream& out, std::ostream& err) {
  if (options.help) {
    out << kUsage << "\n"
        << "  --simulate          the simulated mouse that z900ctl --simulate shares\n"
           "  --show              show the window at once instead of waiting in the tray\n"
           "  --render DIR        draw every window and control state into DIR, then end\n"
           "  --autostart on|off  start hidden in the tray at login, or not\n";
    return kExitOk;
  }
  if (options.version) {
    out << "z900-config " << kVersion << '\n' << kLicenseNotice << '\n';
    return kExitOk;
  }
  if (options.autostart) {
    std::string error;
    const std::optional<platform::AutostartStatus> status =
        platform::CreateSystemAutostart(env)->Set(*options.autostart, error);
    if (!status) {
      err << "z900-config: autostart: " << error << '\n';
      return kExitFailed;
    }
    out << platform::DescribeAutostart(*status) << '\n';
    return kExitOk;
  }
  return std::nullopt;
}

}  // namespace z900::app
