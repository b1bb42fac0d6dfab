#include <array>
#include <cstdio>
#include <ostream>

#include "actions/host_action_executor.h"
#include "cli/config_run.h"
#include "config/function_catalogue.h"
#include "config/settings_record.h"
#include "device/event_word.h"
#include "platform/text.h"

namespace z900::cli {
namespace {

// Says on the terminal what the executor does before the host does it.
class TellingHostServices final : public platform::HostServices {
 public:
  TellingHostServices(platform::HostServices& host, std::ostream& out) : host_(host), out_(out) {}

  void StartProgram(const std::u16string& path,
                    std::span<const std::u16string> arguments) override {
    out_ << "starting " << platform::Utf16ToUtf8(path) << '\n';
    host_.StartProgram(path, arguments);
  }
  void OpenWithDefaultApplication(const std::u16string& text) override {
    out_ << "opening " << platform::Utf16ToUtf8(text) << '\n';
    host_.OpenWithDefaultApplication(text);
  }
  void PlaySoundFile(const std::u16string& path) override {
    out_ << "playing " << platform::Utf16ToUtf8(path) << '\n';
    host_.PlaySoundFile(path);
  }
  void StartTool(std::string_view command_line) override {
    out_ << "starting " << command_line << '\n';
    host_.StartTool(command_line);
  }

 private:
  platform::HostServices& host_;
  std::ostream& out_;
};

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

int RunAction(CliSession& session, std::span<const std::string> args) {
  std::string error;
  const std::optional<CommandArgs> parsed = ParseCommandArgs(args, {}, {"--mode"}, error);
  std::optional<int> button;
  std::optional<int> mode;
  if (parsed && parsed->positional.size() == 1) button = ParseInRange(parsed->positional[0], 1, 8);
  if (parsed && parsed->Value("--mode")) mode = ParseInRange(*parsed->Value("--mode"), 0, 1);
  if (!button || (parsed->Value("--mode") && !mode)) {
    return session.Fail(kExitUsage,
                        "usage: z900ctl action run BUTTON [--mode M] (BUTTON 1-8, M 0-1)");
  }
  const CliEnvironment& env = session.environment();
  if (env.host == nullptr) return session.Fail(kExitFailed, "host actions are not available here");

  ConfigRun run(session);
  if (int code = run.Load(); code != kExitOk) return code;
  if (int code = run.OpenMouse(); code != kExitOk) return code;
  config::AppContext& context = run.context();
  const int used_mode = mode.value_or(context.current_mode);
  if (used_mode < 0 || used_mode > 1) {
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
  actions::ExecuteHostAction(word, context, run.page(), ports);
  return kExitOk;
}

constexpr std::array kCommands = {
    Command{"action run", "BUTTON [--mode M]",
            "carry out the host action of a button, as a press of it would", &RunAction},
};

}  // namespace

std::span<const Command> ActionCommands() { return kCommands; }

}  // namespace z900::cli
