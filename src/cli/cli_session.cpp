#include "cli/cli_session.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ostream>

#include "cli/config_run.h"
#include "config/store_lock.h"
#include "platform/text.h"
#include "platform/utf8_path.h"
#include "sim/sim_faults.h"
#include "update/firmware_handoff.h"

namespace z900::cli {

CliSession::CliSession(const CliEnvironment& env, bool simulate, std::ostream& out,
                       std::ostream& err)
    : env_(env), simulate_(simulate), out_(out), err_(err), ui_(out, err, env.in) {
  context_.paths = env.paths;
  ui_.set_progress_bar(env.out_is_terminal);
}

void CliSession::LoadLanguage() {
  if (language_loaded_) return;
  language_loaded_ = true;
  i18n::CXmlDocument document;
  const std::filesystem::path file =
      i18n::LanguageFilePath(context_.paths.module_directory, env_.language);
  if (!i18n::LoadLanguageStrings(document, file, context_.strings)) {
    err_ << "z900ctl: warning: cannot read the language file " << platform::PathToUtf8(file) << " ("
         << platform::Utf16ToUtf8(document.ReadResult()) << "); messages will be empty\n";
  }
}

CliSession::~CliSession() {
  if (opened_) channel_->CloseDevice(handle_);
}

int CliSession::Fail(int code, std::string_view message) {
  err_ << "z900ctl: " << message << '\n';
  return code;
}

int CliSession::Start() {
  if (simulate_ && env_.sim_faults) {
    std::string why;
    std::optional<sim::SimFaults> parsed = sim::ParseFaults(*env_.sim_faults, why);
    if (!parsed) return Fail(kExitUsage, "Z900_SIM_FAULTS: " + why);
    faults_ = *parsed;
  }
  return kExitOk;
}

int CliSession::LoadSimulatedMouse() {
  if (mouse_) return kExitOk;
  std::string why;
  sim_session_ = sim::SimStateSession::Open(env_.paths.sim_state_file, why);
  if (!sim_session_) return Fail(kExitFailed, "simulated mouse: " + why);
  mouse_ = std::make_unique<sim::SimulatedMouse>(*env_.clock, sim_session_->state());
  mouse_->SetFaults(faults_);
  sim_backend_ = std::make_unique<sim::SimHidBackend>(*mouse_);
  return kExitOk;
}

int CliSession::PrepareChannel() {
  if (channel_) return kExitOk;
  platform::HidBackend* backend = env_.hardware;
  if (simulate_) {
    if (int code = LoadSimulatedMouse(); code != kExitOk) return code;
    backend = sim_backend_.get();
  }
  if (backend == nullptr) return Fail(kExitNoMouse, "no HID access on this platform");
  channel_ = std::make_unique<device::HidChannel>(*backend, *env_.clock);
  if (env_.trace) {
    channel_->SetTrace([this](std::string_view line) { err_ << line << '\n'; });
  }
  return kExitOk;
}

int CliSession::LockStore(StoreAccess access) {
  if (access <= locked_) return kExitOk;
  // Said once, before any file or key is tried: each of them would only be refused in turn.
  constexpr std::string_view kNoRights =
      "the profiles and macros of this computer are changed with administrator rights only: run "
      "it from an administrator console, or set Z900_HOME to keep them in a folder of your own";
  if (env_.paths.machine_wide && access == StoreAccess::kChange && !env_.runs_as_administrator) {
    return Fail(kExitFailed, kNoRights);
  }
  store_lock_.reset();  // a shared hold of this process would keep its exclusive one waiting
  std::error_code error;
  store_lock_ = config::LockStore(
      env_.paths,
      access == StoreAccess::kRead ? platform::LockMode::kShared : platform::LockMode::kExclusive,
      *env_.clock,
      [this] {
        err_ << "z900ctl: waiting for another program that is using the profiles and macros\n";
      },
      error);
  if (!store_lock_) {
    locked_ = StoreAccess::kNone;
    if (error == std::errc::timed_out) {
      return Fail(kExitFailed, "gave up waiting for the profiles and macros after " +
                                   std::to_string(config::kStoreLockPatienceMs / 60000) +
                                   " minutes: " + config::StoreLockHolders(env_.paths));
    }
    if (env_.paths.machine_wide && error == std::errc::permission_denied) {
      return Fail(kExitFailed, kNoRights);
    }
    return Fail(kExitFailed, "cannot lock " + platform::PathToUtf8(env_.paths.store_lock_file) +
                                 ": " + error.message());
  }
  locked_ = access;
  return kExitOk;
}

int CliSession::OpenMouse() {
  if (handle_) return kExitOk;
  // The write after a firmware update changes the profiles: its lock comes before the
  // simulated mouse's, as in every other command.
  if (!follow_up_checked_ && update::FirmwareMarkerPending(context_.paths)) {
    if (int code = LockStore(StoreAccess::kChange); code != kExitOk) return code;
  }
  if (int code = PrepareChannel(); code != kExitOk) return code;
  opened_ = true;
  if (!channel_->OpenDevice(handle_)) {
    return Fail(kExitNoMouse, platform::DescribeOpenFailure(channel_->last_open_error(),
                                                            channel_->last_open_detail()));
  }
  // Once per run, before the command itself reaches the mouse.
  if (follow_up_checked_) return kExitOk;
  follow_up_checked_ = true;
  return RunPendingFirmwareFollowUp(*this);
}

int CliSession::Finish() {
  if (opened_) {
    channel_->CloseDevice(handle_);
    opened_ = false;
  }
  if (sim_session_) {
    std::string why;
    if (!sim_session_->Save(mouse_->state(), why))
      return Fail(kExitFailed, "simulated mouse: " + why);
  }
  return kExitOk;
}

std::optional<std::string> CommandArgs::Value(std::string_view option) const {
  const auto found = values.find(option);
  if (found == values.end()) return std::nullopt;
  return found->second;
}

std::optional<CommandArgs> ParseCommandArgs(std::span<const std::string> args,
                                            std::initializer_list<std::string_view> flags,
                                            std::initializer_list<std::string_view> valued,
                                            std::string& error) {
  auto known = [](std::initializer_list<std::string_view> names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  CommandArgs parsed;
  bool options_end = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // "-1" is a number out of range, for the command to refuse as such, not an option.
    const bool negative_number =
        arg.size() >= 2 && arg[0] == '-' && std::isdigit(static_cast<unsigned char>(arg[1]));
    if (options_end || arg.size() < 2 || arg[0] != '-' || negative_number) {
      parsed.positional.push_back(arg);
    } else if (arg == "--") {
      options_end = true;
    } else if (known(flags, arg)) {
      parsed.flags.insert(arg);
    } else if (known(valued, arg)) {
      if (i + 1 == args.size()) {
        error = "option " + arg + " needs a value";
        return std::nullopt;
      }
      parsed.values[arg] = args[++i];
    } else {
      error = "unknown option \"" + arg + "\"";
      return std::nullopt;
    }
  }
  return parsed;
}

void PrintHexLines(std::ostream& out, std::uint32_t address, std::span<const std::uint8_t> bytes) {
  char text[16];
  for (std::size_t line = 0; line < bytes.size(); line += 16) {
    std::snprintf(text, sizeof text, "%04x:", address + static_cast<std::uint32_t>(line));
    out << text;
    for (std::size_t i = line; i < std::min(line + 16, bytes.size()); ++i) {
      std::snprintf(text, sizeof text, " %02x", bytes[i]);
      out << text;
    }
    out << '\n';
  }
}

std::optional<std::uint32_t> ParseUnsigned(std::string_view text) {
  const std::optional<std::uint64_t> value = platform::ParseUnsignedNumber(text);
  if (!value || *value > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(*value);
}

}  // namespace z900::cli
