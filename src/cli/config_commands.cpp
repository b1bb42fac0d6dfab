// The configuration commands: writing the selected profile into the mouse, showing it, and
// editing it without the mouse.
#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <ostream>

#include "cli/config_run.h"
#include "cli/output_text.h"
#include "config/apply_to_mouse.h"
#include "config/function_catalogue.h"
#include "keys/key_names.h"
#include "macro/macro_store.h"
#include "platform/keyboard_layout.h"
#include "platform/text.h"
#include "platform/utf8_path.h"

namespace z900::cli {
namespace {

using config::ButtonAssignment;
using config::FunctionEntry;
using platform::Utf16ToUtf8;

std::string Hex8(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

std::string Usage(std::string_view usage) { return "usage: z900ctl " + std::string(usage); }

// ---------------------------------------------------------------------------------------------
// apply

int RunApply(CliSession& session, std::span<const std::string> args) {
  std::string error;
  const std::optional<CommandArgs> parsed = ParseCommandArgs(args, {"--quiet"}, {}, error);
  if (!parsed) return session.Fail(kExitUsage, error);
  if (!parsed->positional.empty()) return session.Fail(kExitUsage, Usage("apply [--quiet]"));
  const bool quiet = parsed->Has("--quiet");
  ConfigRun run(session);
  // The mouse first: without it nothing is loaded, so no file is made or changed.
  if (int code = run.OpenMouse(); code != kExitOk) return code;
  if (int code = run.Load(); code != kExitOk) return code;

  // The bar follows the progress window; scripts and pipes get the figures alone.
  const bool show_progress = !quiet && session.environment().out_is_terminal;
  session.ui().set_progress_bar(show_progress);
  const config::ApplyReport report =
      config::ApplyToMouse(run.context(), run.page(), run.ports(), show_progress);

  return ReportApply(session, run, report, quiet);
}

// ---------------------------------------------------------------------------------------------
// show

std::string LightingName(const config::SettingsRecord& record, int mode) {
  if (record.lighting_follows_activity[mode] != 0) return "activity";
  switch (record.lighting_effect[mode]) {
    case config::kLightingOff:
      return "off";
    case config::kLightingSlow:
      return "slow";
    case config::kLightingFast:
      return "fast";
    case config::kLightingAlways:
      return "always";
    default:
      return "effect " + std::to_string(record.lighting_effect[mode]);
  }
}

std::vector<int> Stages(const config::SettingsRecord& record, int mode) {
  std::vector<int> stages;
  for (std::int32_t dpi : record.dpi_stages[mode]) {
    if (dpi != 0) stages.push_back(dpi);
  }
  return stages;
}

// What one button does, as `show` tells it.
struct ButtonFacts {
  std::string function;  // the catalogue's cli name, or "unknown"
  std::int32_t type = 0;
  std::optional<std::uint32_t> code;
  std::optional<std::uint32_t> macro_id;  // for a macro button
  std::u16string display_name;
  std::u16string path;  // for a host action
};

ButtonFacts FactsOf(const ButtonAssignment& assignment, const config::ProfileEntry& entry, int mode,
                    int button) {
  ButtonFacts facts;
  const std::string_view name = config::CliNameOf(assignment);
  facts.function = name.empty() ? "unknown" : std::string(name);
  facts.type = assignment.function_type;
  facts.display_name = platform::ReadFixedText(assignment.display_name);
  const config::DeviceCodeResult code = config::DeviceCodeOf(assignment);
  if (code.kind == config::DeviceCodeResult::Kind::kCode) facts.code = code.value;
  if (code.kind == config::DeviceCodeResult::Kind::kMacro) {
    facts.macro_id = config::MacroIdOf(entry, mode, button);
  }
  if (assignment.function_type == config::kTypeHostAction) {
    facts.path = config::HostActionPath(assignment);
  }
  return facts;
}

std::string CodeText(const ButtonFacts& facts) {
  if (facts.code) return "code " + Hex8(*facts.code);
  if (facts.macro_id) {
    return "macro " + Utf16ToUtf8(macro::MacroSubkeyName(*facts.macro_id)) +
           ", code given when applied";
  }
  return "no code, the mouse keeps its slot";
}

void PrintText(ConfigRun& run, std::ostream& out, std::span<const int> modes) {
  const config::SettingsRecord& record = run.context().settings;
  out << ProfileLabel(run) << ", name \""
      << TerminalText(platform::ReadFixedText(record.profile_name)) << "\"\n";
  for (int mode : modes) {
    out << "mode " << mode << ":\n";
    for (int button = 1; button <= config::kButtonCount; ++button) {
      const ButtonFacts facts =
          FactsOf(config::ButtonOf(record, mode, button), run.selected(), mode, button);
      out << "  button " << button << ": " << facts.function << ", type " << facts.type << ", "
          << CodeText(facts) << ", \"" << TerminalText(facts.display_name) << "\"\n";
    }
    std::string stages;
    for (int dpi : Stages(record, mode))
      stages += (stages.empty() ? "" : ", ") + std::to_string(dpi);
    out << "  dpi stages: " << (stages.empty() ? "none" : stages) << '\n'
        << "  report rate: " << record.report_rate[mode] << " Hz\n"
        << "  lighting: " << LightingName(record, mode) << '\n';
  }
}

void PrintJson(ConfigRun& run, std::ostream& out, std::span<const int> modes) {
  const config::SettingsRecord& record = run.context().settings;
  out << "{\"profile\":" << run.selected_number()
      << ",\"label\":" << JsonString(Utf16ToUtf8(platform::ReadFixedText(run.selected().name)))
      << ",\"name\":" << JsonString(Utf16ToUtf8(platform::ReadFixedText(record.profile_name)))
      << ",\"modes\":[";
  for (std::size_t m = 0; m < modes.size(); ++m) {
    const int mode = modes[m];
    out << (m == 0 ? "" : ",") << "{\"mode\":" << mode << ",\"buttons\":[";
    for (int button = 1; button <= config::kButtonCount; ++button) {
      const ButtonFacts facts =
          FactsOf(config::ButtonOf(record, mode, button), run.selected(), mode, button);
      out << (button == 1 ? "" : ",") << "{\"button\":" << button
          << ",\"function\":" << JsonString(facts.function) << ",\"type\":" << facts.type
          << ",\"code\":" << (facts.code ? JsonString(Hex8(*facts.code)) : "null");
      if (facts.macro_id) {
        out << ",\"macro\":" << JsonString(Utf16ToUtf8(macro::MacroSubkeyName(*facts.macro_id)));
      }
      if (!facts.path.empty()) out << ",\"path\":" << JsonString(Utf16ToUtf8(facts.path));
      out << ",\"display_name\":" << JsonString(Utf16ToUtf8(facts.display_name)) << '}';
    }
    out << "],\"dpi\":[";
    const std::vector<int> stages = Stages(record, mode);
    for (std::size_t i = 0; i < stages.size(); ++i) out << (i == 0 ? "" : ",") << stages[i];
    out << "],\"rate\":" << record.report_rate[mode]
        << ",\"lighting\":" << JsonString(LightingName(record, mode)) << '}';
  }
  out << "]}\n";
}

int RunShow(CliSession& session, std::span<const std::string> args) {
  std::string error;
  const std::optional<CommandArgs> parsed = ParseCommandArgs(args, {"--json"}, {"--mode"}, error);
  if (!parsed) return session.Fail(kExitUsage, error);
  if (!parsed->positional.empty()) {
    return session.Fail(kExitUsage, Usage("show [--mode M] [--json]"));
  }
  std::vector<int> modes = {0, 1};
  if (const std::optional<std::string> mode = parsed->Value("--mode")) {
    const std::optional<int> number = ParseInRange(*mode, 0, 1);
    if (!number) return session.Fail(kExitUsage, "--mode must be 0 or 1");
    modes = {*number};
  }
  ConfigRun run(session);
  if (int code = run.Load(); code != kExitOk) return code;
  if (parsed->Has("--json")) {
    PrintJson(run, session.out(), modes);
  } else {
    PrintText(run, session.out(), modes);
  }
  return kExitOk;
}

// ---------------------------------------------------------------------------------------------
// functions

// The argument each kind of function takes after its name.
std::string_view ArgumentOf(const FunctionEntry& entry) {
  switch (entry.rule) {
    case config::CodeRule::kCombo:
      return "KEYS";
    case config::CodeRule::kMacro:
      return "ID";
    case config::CodeRule::kHostAction:
      return entry.item == 131 ? "FOLDER" : "PATH";
    default:
      return "";
  }
}

void PrintFunctions(std::ostream& out) {
  for (const FunctionEntry& entry : config::FunctionCatalogue()) {
    if (entry.group == config::MenuGroup::kNotOffered) continue;
    std::string usage(entry.cli_name);
    if (const std::string_view argument = ArgumentOf(entry); !argument.empty()) {
      usage += " " + std::string(argument);
    }
    out << "  " << usage << std::string(usage.size() < 22 ? 22 - usage.size() : 1, ' ') << "type "
        << entry.type;
    if (entry.only_button != 0) out << ", button " << entry.only_button << " only";
    out << '\n';
  }
}

int RunFunctions(CliSession& session, std::span<const std::string> args) {
  if (!args.empty()) return session.Fail(kExitUsage, Usage("functions"));
  session.out() << "Functions of \"z900ctl set button MODE BUTTON FUNCTION [ARG]\":\n";
  PrintFunctions(session.out());
  return kExitOk;
}

// ---------------------------------------------------------------------------------------------
// set

// Parses MODE (0 or 1) from args[0]; kExitOk or the usage error.
int ParseMode(CliSession& session, std::string_view text, int& mode) {
  const std::optional<int> number = ParseInRange(text, 0, 1);
  if (!number) return session.Fail(kExitUsage, "MODE must be 0 or 1");
  mode = *number;
  return kExitOk;
}

// Letters and digits only: names keys when the system offers no keyboard layout.
bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The virtual-key code of a key named as the combination text names it: a letter or digit,
// a name such as "F5", "Enter" or "PageUp", or a code such as "0x2d".
std::optional<std::uint32_t> KeyCodeOf(std::string_view name,
                                       const platform::KeyboardLayout& layout) {
  if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
    return static_cast<std::uint32_t>(std::toupper(static_cast<unsigned char>(name[0])));
  }
  if (name.starts_with("0x") || name.starts_with("0X")) {
    const std::optional<std::uint32_t> code = ParseUnsigned(name);
    if (code && *code > 0 && *code < 0xFF) return code;
    return std::nullopt;
  }
  for (std::uint32_t code = 1; code < 0xFF; ++code) {
    if (EqualsIgnoringCase(Utf16ToUtf8(keys::GetComboKeyName(code, layout)), name)) return code;
  }
  return std::nullopt;
}

// "Ctrl+Shift+A": modifiers (Ctrl, Shift, Alt, Win) and at most one key.
std::optional<config::ComboKeyBlock> ParseCombination(std::string_view text,
                                                      const platform::KeyboardLayout& layout,
                                                      std::string& error) {
  constexpr std::pair<std::string_view, std::uint8_t> kModifiers[] = {
      {"ctrl", keys::kModCtrl}, {"control", keys::kModCtrl}, {"shift", keys::kModShift},
      {"alt", keys::kModAlt},   {"win", keys::kModWin},      {"super", keys::kModWin}};
  std::uint8_t mask = 0;
  std::uint32_t key = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t plus = text.find('+', start);
    std::string_view part =
        text.substr(start, plus == std::string_view::npos ? plus : plus - start);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    start = plus == std::string_view::npos ? text.size() + 1 : plus + 1;
    if (part.empty()) {
      error = "\"" + std::string(text) + "\" has an empty part between its + signs";
      return std::nullopt;
    }
    const auto* modifier =
        std::find_if(std::begin(kModifiers), std::end(kModifiers),
                     [part](const auto& m) { return EqualsIgnoringCase(m.first, part); });
    if (modifier != std::end(kModifiers)) {
      mask |= modifier->second;
      continue;
    }
    if (key != 0) {
      error =
          "a combination has one key besides its modifiers; \"" + std::string(text) + "\" has more";
      return std::nullopt;
    }
    const std::optional<std::uint32_t> code = KeyCodeOf(part, layout);
    if (!code) {
      error = "unknown key \"" + std::string(part) +
              "\"; name it as a letter, a digit, a name such as F5, Enter or PageUp, or a code "
              "such as 0x2d";
      return std::nullopt;
    }
    key = *code;
  }
  return config::MakeComboKeyBlock(mask, key);
}

// Sets a macro assignment; the macro reference is the macro's place among the stored ones.
int AssignMacro(CliSession& session, ConfigRun& run, ButtonAssignment& assignment, int mode,
                int button, std::string_view id_text) {
  const std::optional<std::uint32_t> id = macro::ParseMacroId(id_text);
  if (!id) {
    return session.Fail(
        kExitUsage, "ID must be a macro id in hex as \"macro list\" prints it, such as 00a1b2c3");
  }
  std::string why;
  const std::optional<macro::MacroRecord> stored = macro::LoadMacro(run.store(), *id, &why);
  if (!stored) return session.Fail(kExitFailed, why);
  std::vector<std::u16string> subkeys;
  run.store().EnumerateSubkeys(macro::kMacroBaseKey, subkeys);
  const auto place = std::find(subkeys.begin(), subkeys.end(), macro::MacroSubkeyName(*id));
  assignment.function_type = config::kTypeMacro;
  assignment.macro_reference = static_cast<std::uint32_t>(place - subkeys.begin() + 1);
  config::MacroIdOf(*run.page().SelectedEntry(run.context().profiles), mode, button) = *id;
  platform::WriteFixedText(assignment.display_name, macro::MacroName(*stored));
  return kExitOk;
}

int RunSetButton(CliSession& session, std::span<const std::string> args) {
  constexpr std::string_view kUsage = "set button MODE BUTTON FUNCTION [ARG]";
  std::string error;
  const std::optional<CommandArgs> parsed = ParseCommandArgs(args, {}, {}, error);
  if (!parsed) return session.Fail(kExitUsage, error);
  const std::vector<std::string>& words = parsed->positional;
  if (words.size() < 3 || words.size() > 4) {
    session.err() << "z900ctl: " << Usage(kUsage) << "\nFUNCTION is one of:\n";
    PrintFunctions(session.err());
    return kExitUsage;
  }
  int mode = 0;
  if (int code = ParseMode(session, words[0], mode); code != kExitOk) return code;
  const std::optional<int> button = ParseInRange(words[1], 1, config::kButtonCount);
  if (!button) return session.Fail(kExitUsage, "BUTTON must be 1 … 8");
  const FunctionEntry* entry = config::FindFunctionByCliName(words[2]);
  if (entry == nullptr || entry->group == config::MenuGroup::kNotOffered) {
    return session.Fail(kExitUsage,
                        "unknown function \"" + words[2] + "\"; \"z900ctl functions\" lists them");
  }
  const std::string_view argument_name = ArgumentOf(*entry);
  if (argument_name.empty() != (words.size() == 3)) {
    return session.Fail(
        kExitUsage, argument_name.empty()
                        ? std::string(entry->cli_name) + " takes no argument"
                        : std::string(entry->cli_name) + " needs " + std::string(argument_name));
  }
  if (!config::WheelTypeFits(entry->type, *button)) {
    return session.Fail(kExitFailed, std::string(entry->cli_name) + " belongs to button " +
                                         std::to_string(entry->only_button) + " only");
  }

  ConfigRun run(session);
  if (int code = run.Load(); code != kExitOk) return code;
  config::AppContext& context = run.context();
  if (!config::KeepsLeftClick(context.settings, mode, *button, entry->type)) {
    const std::u16string& message = context.Text(i18n::StringKey::str_msg1);
    return session.Fail(kExitFailed, message.empty()
                                         ? "every mode needs a button with the left click"
                                         : Utf16ToUtf8(message));
  }

  ButtonAssignment& assignment = config::ButtonOf(context.settings, mode, *button);
  // A new function ends the button's macro, whatever it becomes.
  const ButtonAssignment previous = assignment;
  config::MacroIdOf(*run.page().SelectedEntry(context.profiles), mode, *button) = 0;
  assignment.macro_reference = 0;
  switch (entry->rule) {
    case config::CodeRule::kHostAction: {
      std::error_code ignored;
      const std::filesystem::path path =
          std::filesystem::absolute(platform::PathFromUtf8(words[3]), ignored);
      const std::u16string text = platform::Utf8ToUtf16(platform::PathToUtf8(path));
      if (!config::SetHostAction(assignment, config::HostActionCode(*entry, *button - 1), text)) {
        assignment = previous;
        return session.Fail(kExitFailed, "the path is longer than the " +
                                             std::to_string(config::kMaxTextUnits) +
                                             " characters a button may hold");
      }
      if (!std::filesystem::exists(path, ignored)) {
        session.err() << "z900ctl: warning: " << platform::PathToUtf8(path)
                      << " does not exist (yet)\n";
      }
      assignment.function_type = config::kTypeHostAction;
      platform::WriteFixedText(assignment.display_name, text);
      break;
    }
    case config::CodeRule::kCombo: {
      std::string why;
      std::unique_ptr<platform::KeyboardLayout> layout = platform::CreateSystemKeyboardLayout(why);
      if (!layout) layout = std::make_unique<platform::BasicKeyboardLayout>();
      const std::optional<config::ComboKeyBlock> block = ParseCombination(words[3], *layout, why);
      if (!block) return session.Fail(kExitUsage, why);
      assignment.function_type = config::kTypeCombo;
      config::SetCombo(assignment, *block);
      platform::WriteFixedText(
          assignment.display_name,
          keys::FormatKeyCombination(block->display_mask, block->key, true, *layout));
      break;
    }
    case config::CodeRule::kMacro:
      if (int code = AssignMacro(session, run, assignment, mode, *button, words[3]);
          code != kExitOk) {
        return code;
      }
      break;
    default:
      assignment.function_type = entry->type;
      platform::WriteFixedText(assignment.display_name,
                               config::FunctionDisplayName(entry->type, context.strings));
      break;
  }
  if (int code = run.Save(); code != kExitOk) return code;
  session.out() << ProfileLabel(run) << ", mode " << mode << ", button " << *button << ": "
                << entry->cli_name << " \""
                << TerminalText(platform::ReadFixedText(assignment.display_name)) << "\"\n";
  return kExitOk;
}

// A change of one mode's setting, made once the profile is loaded.
using ModeEdit = std::function<void(config::SettingsRecord& record, int mode)>;
// Checks VALUE: the change it asks for, or nullopt with the reason in `error`.
using ValueParser = std::optional<ModeEdit> (*)(const std::string& value, std::string& error);

// The `set` commands taking MODE VALUE: parse, load the profile, change it, save it.
int RunModeEdit(CliSession& session, std::span<const std::string> args, std::string_view usage,
                ValueParser parse) {
  std::string error;
  const std::optional<CommandArgs> parsed = ParseCommandArgs(args, {}, {}, error);
  if (!parsed) return session.Fail(kExitUsage, error);
  if (parsed->positional.size() != 2) return session.Fail(kExitUsage, Usage(usage));
  int mode = 0;
  if (int code = ParseMode(session, parsed->positional[0], mode); code != kExitOk) return code;
  const std::optional<ModeEdit> edit = parse(parsed->positional[1], error);
  if (!edit) return session.Fail(kExitUsage, error);

  ConfigRun run(session);
  if (int code = run.Load(); code != kExitOk) return code;
  (*edit)(run.context().settings, mode);
  return run.Save();
}

std::optional<ModeEdit> ParseDpiStages(const std::string& list, std::string& error) {
  std::vector<std::int32_t> stages;
  for (std::size_t start = 0; start <= list.size() && !list.empty();) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    const std::string part = list.substr(start, comma - start);
    start = comma + 1;
    if (part.empty()) {
      error = "\"" + list + "\" has an empty DPI stage; give them as 800,3200";
      return std::nullopt;
    }
    const std::optional<std::uint32_t> dpi = ParseUnsigned(part);
    if (!dpi || !config::IsValidDpiStage(static_cast<std::int32_t>(*dpi))) {
      error = "a DPI stage is one of 800, 1600, 3200 and 4000, not \"" + part + "\"";
      return std::nullopt;
    }
    stages.push_back(static_cast<std::int32_t>(*dpi));
  }
  std::sort(stages.begin(), stages.end());
  if (std::adjacent_find(stages.begin(), stages.end()) != stages.end()) {
    error = "each DPI stage may be given once";
    return std::nullopt;
  }
  if (stages.empty()) {
    error = "every mode keeps at least one DPI stage";
    return std::nullopt;
  }
  return [stages](config::SettingsRecord& record, int mode) {
    std::fill(std::begin(record.dpi_stages[mode]), std::end(record.dpi_stages[mode]), 0);
    std::copy(stages.begin(), stages.end(), record.dpi_stages[mode]);
    config::RecountStages(record, mode);
  };
}

std::optional<ModeEdit> ParseReportRate(const std::string& value, std::string& error) {
  const std::optional<std::uint32_t> rate = ParseUnsigned(value);
  if (!rate || !config::IsValidReportRate(static_cast<std::int32_t>(*rate))) {
    error = "the report rate is 125, 500 or 1000 (Hz)";
    return std::nullopt;
  }
  return [hz = static_cast<std::int32_t>(*rate)](config::SettingsRecord& record, int mode) {
    record.report_rate[mode] = hz;
  };
}

std::optional<ModeEdit> ParseLighting(const std::string& value, std::string& error) {
  constexpr std::pair<std::string_view, std::int32_t> kEffects[] = {
      {"off", config::kLightingOff},
      {"slow", config::kLightingSlow},
      {"fast", config::kLightingFast},
      {"always", config::kLightingAlways},
      {"activity", 0}};
  const auto* effect = std::find_if(std::begin(kEffects), std::end(kEffects),
                                    [&value](const auto& e) { return e.first == value; });
  if (effect == std::end(kEffects)) {
    error = "the lighting is off, slow, fast, always or activity";
    return std::nullopt;
  }
  return [chosen = effect->second](config::SettingsRecord& record, int mode) {
    // Following activity keeps the stored effect for when it is switched off again.
    record.lighting_follows_activity[mode] = chosen == 0 ? 1 : 0;
    if (chosen != 0) record.lighting_effect[mode] = chosen;
  };
}

int RunSetDpi(CliSession& session, std::span<const std::string> args) {
  return RunModeEdit(session, args, "set dpi MODE STAGES", &ParseDpiStages);
}
int RunSetRate(CliSession& session, std::span<const std::string> args) {
  return RunModeEdit(session, args, "set rate MODE HZ", &ParseReportRate);
}
int RunSetLed(CliSession& session, std::span<const std::string> args) {
  return RunModeEdit(session, args, "set led MODE off|slow|fast|always|activity", &ParseLighting);
}

int RunSetName(CliSession& session, std::span<const std::string> args) {
  constexpr std::size_t kMaxNameUnits = 20;  // as the settings page's name box allows
  std::string error;
  const std::optional<CommandArgs> parsed = ParseCommandArgs(args, {}, {}, error);
  if (!parsed) return session.Fail(kExitUsage, error);
  if (parsed->positional.size() != 1) return session.Fail(kExitUsage, Usage("set name TEXT"));
  const std::u16string name = platform::Utf8ToUtf16(parsed->positional[0]);
  if (name.size() > kMaxNameUnits) {
    // The limit counts UTF-16 units: most emoji take two.
    return session.Fail(kExitUsage,
                        "a profile name has at most 20 characters, or fewer when they are emoji");
  }
  ConfigRun run(session);
  if (int code = run.Load(); code != kExitOk) return code;
  platform::WriteFixedText(run.context().settings.profile_name, name);
  return run.Save();
}

constexpr std::array kCommands = {
    Command{"apply", "[--quiet]", "write the selected profile into the mouse", &RunApply,
            StoreAccess::kChange},
    Command{"show", "[--mode M] [--json]", "show the selected profile's settings", &RunShow,
            StoreAccess::kRead},
    Command{"functions", "", "list the functions a button can be given", &RunFunctions},
    Command{"set button", "MODE BUTTON FUNCTION [ARG]", "give a button a function (see functions)",
            &RunSetButton, StoreAccess::kChange},
    Command{"set dpi", "MODE STAGES", "set a mode's DPI stages, such as 800,3200", &RunSetDpi,
            StoreAccess::kChange},
    Command{"set rate", "MODE HZ", "set a mode's report rate: 125, 500 or 1000", &RunSetRate,
            StoreAccess::kChange},
    Command{"set led", "MODE EFFECT", "set a mode's lighting: off|slow|fast|always|activity",
            &RunSetLed, StoreAccess::kChange},
    Command{"set name", "TEXT", "name the selected profile (20 characters, fewer for emoji)",
            &RunSetName, StoreAccess::kChange},
};

}  // namespace

std::span<const Command> ConfigCommands() { return kCommands; }

}  // namespace z900::cli
