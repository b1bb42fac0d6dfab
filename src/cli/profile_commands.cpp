// The profile commands: list the five profiles, select one, reset the selected one.
#include <array>
#include <ostream>

#include "cli/config_run.h"
#include "cli/output_text.h"
#include "config/apply_to_mouse.h"
#include "platform/text.h"

namespace z900::cli {
namespace {

using platform::ReadFixedText;

int RunList(CliSession& session, std::span<const std::string> args) {
  if (!args.empty()) return session.Fail(kExitUsage, "usage: z900ctl profile list");
  ConfigRun run(session);
  if (int code = run.Load(); code != kExitOk) return code;
  for (int k = 0; k < config::kProfileCount; ++k) {
    const config::ProfileEntry& entry = run.context().profiles.entries[k];
    session.out() << (entry.selected != 0 ? "* " : "  ") << k + 1 << "  "
                  << TerminalText(ReadFixedText(entry.name)) << "  "
                  << TerminalText(ReadFixedText(entry.file_path));
    const std::u16string program = ReadFixedText(entry.program_name);
    if (entry.auto_switch != 0 && !program.empty()) {
      session.out() << "  (switches for " << TerminalText(program) << ")";
    }
    session.out() << '\n';
  }
  return kExitOk;
}

int RunSelect(CliSession& session, std::span<const std::string> args) {
  std::string error;
  const std::optional<CommandArgs> parsed = ParseCommandArgs(args, {"--apply"}, {}, error);
  if (!parsed) return session.Fail(kExitUsage, error);
  if (parsed->positional.size() != 1) {
    return session.Fail(kExitUsage, "usage: z900ctl profile select N [--apply]");
  }
  const std::optional<int> number = ParseInRange(parsed->positional[0], 1, config::kProfileCount);
  if (!number) return session.Fail(kExitUsage, "N must be 1 … 5");
  const bool apply = parsed->Has("--apply");

  ConfigRun run(session);
  if (apply) {
    if (int code = run.OpenMouse(); code != kExitOk) return code;
  }
  if (int code = run.Load(); code != kExitOk) return code;
  const int index = *number - 1;
  run.page().switch_target_index = index;
  std::optional<config::ProfileFileProblem> problem;
  const bool selected =
      config::SelectProfile(run.context(), run.page(), run.ports(), index, false, &problem);
  if (!selected) {
    return session.Fail(kExitFailed, (problem ? ProfileProblemText(*problem) + "; " : "") +
                                         "profile " + std::to_string(*number) +
                                         " was not loaded; " + ProfileLabel(run) +
                                         " stays selected");
  }
  if (problem) session.err() << "z900ctl: warning: " << ProfileProblemText(*problem) << '\n';
  session.out() << "selected " << ProfileLabel(run) << '\n';
  if (!apply) {
    // Each run is a whole session of the tool: the selection is kept now, not at a later apply.
    if (!config::StoreProfileTable(run.context(), run.store())) {
      return session.Fail(kExitFailed, "the selection could not be stored in the key store");
    }
    return kExitOk;
  }
  const bool show_progress = session.environment().out_is_terminal;
  const config::ApplyReport report =
      config::ApplyToMouse(run.context(), run.page(), run.ports(), show_progress);
  return ReportApply(session, run, report, false);
}

int RunReset(CliSession& session, std::span<const std::string> args) {
  std::string error;
  const std::optional<CommandArgs> parsed = ParseCommandArgs(args, {"--yes"}, {}, error);
  if (!parsed) return session.Fail(kExitUsage, error);
  if (!parsed->positional.empty()) {
    return session.Fail(kExitUsage, "usage: z900ctl profile reset [--yes]");
  }
  session.ui().set_assume_yes(parsed->Has("--yes"));
  ConfigRun run(session);
  if (int code = run.OpenMouse(); code != kExitOk) return code;
  if (int code = run.Load(); code != kExitOk) return code;
  const std::optional<config::ApplyReport> report =
      config::ResetProfile(run.context(), run.page(), run.ports());
  if (!report) return session.Fail(kExitFailed, ProfileLabel(run) + " was not reset");
  const int code = ReportApply(session, run, *report, false);
  session.out() << "emptied the mouse's 14 macro slots\n";
  return code;
}

constexpr std::array kCommands = {
    Command{"profile list", "", "list the five profiles; * marks the selected one", &RunList,
            StoreAccess::kRead},
    Command{"profile select", "N [--apply]", "select profile N (and write it into the mouse)",
            &RunSelect, StoreAccess::kChange},
    Command{"profile reset", "[--yes]",
            "return the selected profile to the defaults and write it into the mouse", &RunReset,
            StoreAccess::kChange},
};

}  // namespace

std::span<const Command> ProfileCommands() { return kCommands; }

}  // namespace z900::cli
