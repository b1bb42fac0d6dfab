#include <array>
#include <cstdio>
#include <ostream>

#include "actions/host_action_executor.h"
#include "cli/config_run.h"
#include "cli/output_text.h"
#include "config/function_catalogue.h"
#include "config/settings_record.h"
#include "device/event_word.h"

namespace z900::cli {
namespace {

// Says on the terminal what the host started; what it could not start is the command's
// failure.
class TellingHostServices final : public platform::HostServices {
 public:
  TellingHostServices(platform::HostServices& host, std::ostream& out) : host_(host), out_(out) {}

  platform::HostOutcome StartProgram(const std::u16string& path,
                                     std::span<const std::u16string> arguments) override {
    return Tell("starting ", TerminalText(path), host_.StartProgram(path, arguments));
  }
  platform::HostOutcome OpenWithDefaultApplication(const std::u16string& text) override {
    return Tell("opening ", TerminalText(text), host_.OpenWithDefaultApplication(text));
  }
  platform::HostOutcome PlaySoundFile(const std::u16string& path) override {
    return Tell("playing ", TerminalText(path), host_.PlaySoundFile(path));
  }
  platform::HostOutcome StartTool(std::string_view command_line) override {
    return Tell("starting ", std::string(command_line), host_.StartTool(command_line));
  }

 private:
  platform::HostOutcome Tell(std::string_view verb, const std::string& what,
                             platform::HostOutcome outcome) {
    if (outcome.started) out_ << verb << what << '\n';
    return outcome;
  }

  platform::HostServices& host_;
  std::ostream& out_;
};

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

int RunAction(CliSession& session, std::span<const std::string> args) {
  constexpr std::string_view kUsage =
      "usage: z900ctl action run BUTTON [--mode M] (BUTTON 1-8, M 0-1)";
  std::string error;
  const std::optional<CommandArgs> parsed = ParseCommandArgs(args, {}, {"--mode"}, error);
  if (!parsed) return session.Fail(kExitUsage, error);
  if (parsed->positional.size() != 1) return session.Fail(kExitUsage, kUsage);
  const std::optional<int> button = ParseInRange(parsed->positional[0], 1, config::kButtonCount);
  if (!button) return session.Fail(kExitUsage, "BUTTON must be 1 … 8");
  std::optional<int> mode;
  if (const std::optional<std::string> text = parsed->Value("--mode")) {
    mode = ParseInRange(*text, 0, config::kModeCount - 1);
    if (!mode) return session.Fail(kExitUsage, "M must be 0 or 1");
  }
  const CliEnvironment& env = session.environment();
  if (env.host == nullptr) return session.Fail(kExitFailed, "host actions are not available here");

  ConfigRun run(session);
  if (int code = run.OpenMouse(); code != kExitOk) return code;
  if (int code = run.Load(); code != kExitOk) return code;
  config::AppContext& context = run.context();
  // Without --mode, the mode the mouse answered when it was opened, as a press would use.
  const int used_mode = mode.value_or(context.current_mode);
  if (used_mode < 0 || used_mode >= config::kModeCount) {
    return session.Fail(kExitFailed, "the mouse answered mode " +
                                         std::to_string(context.current_mode) + "; give --mode");
  }
  const config::ButtonAssignment& assignment =
      config::ButtonOf(context.settings, used_mode, *button);
  const config::DeviceCodeResult code = config::DeviceCodeOf(assignment);
  const bool has_code = code.kind == config::DeviceCodeResult::Kind::kCode;
  const std::uint32_t word = has_code ? device::EventWordOfDeviceCode(code.value).value_or(0) : 0;
  session.out() << "button " << *button << " of mode " << used_mode << ": "
                << config::CliNameOf(assignment);
  if (word == 0) {
    session.out() << ", which the mouse carries out itself; nothing for the host to do\n";
    return kExitOk;
  }
  const int kind = device::EventActionKind(word);
  session.out() << ", event " << Hex32(word) << " (" << actions::HostActionName(kind) << ")\n";
  if (kind == actions::HOST_TOGGLE_WINDOW) {
    session.out() << "there is no window to show or hide in the terminal\n";
  }
  TellingHostServices host(*env.host, session.out());
  actions::HostActionPorts ports{session.channel(), host, session.ui()};
  const platform::HostOutcome outcome =
      actions::CarryOutHostAction(word, used_mode, context, run.page(), ports);
  if (!outcome.started) {
    return session.Fail(kExitFailed, "cannot carry out the action: " + outcome.reason);
  }
  return kExitOk;
}

constexpr std::array kCommands = {
    Command{"action run", "BUTTON [--mode M]",
            "carry out the host action of a button, as a press of it would", &RunAction,
            StoreAccess::kRead},
};

}  // namespace

std::span<const Command> ActionCommands() { return kCommands; }

}  // namespace z900::cli
