#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/app_context.h"
#include "device/hid_channel.h"
#include "platform/instance_lock.h"
#include "platform/keyboard_hook.h"
#include "platform/program_paths.h"
#include "platform/ui_port.h"

// The utility's process: start-up in its fixed order, the single-instance rule and the end.
namespace z900::app {

enum ExitCode : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitNoMouse = 3 };

// The warning of a keyboard hook that cannot be had; the utility runs on without it.
inline constexpr char16_t kHookMissingText[] = u"Load InputTap.dll failed";
inline constexpr char16_t kHookMissingCaption[] = u"Warning";

// What start-up reaches the world through. The window program wires the real parts, tests
// fakes that record the order.
class StartupPorts {
 public:
  virtual ~StartupPorts() = default;
  // The facts the program's folders derive from; an empty executable folder means the program
  // cannot find itself.
  virtual platform::PathEnvironment PathEnvironment() = 0;
  virtual device::HidChannel& channel() = 0;
  virtual platform::UiPort& ui() = 0;
  virtual platform::InstanceLock& instance_lock() = 0;
  virtual platform::KeyboardHook& keyboard_hook() = 0;
  // Creates the main window, hidden; it puts its icon in the tray.
  virtual void CreateMainWindow() = 0;
  // Starts the one write into the mouse that a firmware update left pending, if any.
  virtual void StartFirmwareRestartStep() = 0;
  // Runs the main window until it shuts down; the process's exit status.
  virtual int RunMainWindow() = 0;
  virtual void DestroyMainWindow() = 0;
  // Tells the user a problem that no message of the utility covers (on the terminal).
  virtual void Warn(const std::string& text) = 0;
};

enum class StartOutcome {
  kNoProgramFolder,  // the executable's location is unknown: a silent end
  kNoMouse,          // str_msg6 was shown
  kAnotherInstance,  // the running instance was asked to show its window
  kNoAnswer,         // another instance holds the lock but did not answer; a warning said so
  kRan,              // the main window ran until it shut down
};

struct StartResult {
  StartOutcome outcome = StartOutcome::kRan;
  int exit_code = kExitOk;
};

// The whole life of the utility: the program folder, the language strings, the mouse (without
// it: str_msg6 and the end), the single instance (a second one asks the first to show itself
// and ends; with a warning and a failure status when no answer comes), the keyboard hook, the
// hidden main window, the firmware restart step, the main window's run, and the clean-up.
StartResult StartUtility(config::AppContext& context, StartupPorts& ports);

// Installs the keyboard hook; when it cannot be had, says so in a standard box and goes on.
bool LoadKeyHook(platform::KeyboardHook& hook, platform::UiPort& ui);

// The language file of the program folder (Z900_LANGUAGE picks a translation) into the
// context; false when it cannot be read (every text is then empty).
bool LoadProgramLanguage(config::AppContext& context, const std::optional<std::string>& language);

// The command line of z900-config.
struct Options {
  bool simulate = false;  // the simulated mouse instead of the real one
  bool show = false;      // the window shows at once instead of waiting in the tray
  std::optional<std::filesystem::path> render_folder;  // draw the gallery there and end
  // These three end the program at once, without a window.
  bool help = false;
  bool version = false;
  std::optional<bool> autostart;  // start at login, or not, from now on
};
inline constexpr char kUsage[] =
    "usage: z900-config [--simulate] [--show] [--render DIR]\n"
    "       z900-config --autostart on|off | --help | --version";
// Nullopt, with the reason, for an argument it does not know. Qt's own options (-platform NAME,
// --style=NAME, -reverse, …) pass, for QApplication to take.
std::optional<Options> ParseOptions(std::span<const std::string> args, std::string& error);

// Carries out the options that need neither a window nor a mouse (--help, --version,
// --autostart) and returns the exit status; nullopt when the utility itself is to run.
std::optional<int> RunWithoutWindow(const Options& options, const platform::PathEnvironment& env,
                                    std::ostream& out, std::ostream& err);

}  // namespace z900::app
