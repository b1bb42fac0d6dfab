#include "cli/config_run.h"

#include <cstdio>
#include <ostream>

#include "cli/output_text.h"
#include "device/command_set.h"
#include "platform/text.h"
#include "platform/utf8_path.h"
#include "update/firmware_handoff.h"

namespace z900::cli {
namespace {

// The HID access of a command that does not use the mouse: there is none.
class NoMouseBackend final : public platform::HidBackend {
 public:
  bool Initialise() override { return false; }
  void Shutdown() override {}
  platform::HidOpenResult OpenMouse() override {
    return {nullptr, platform::HidOpenError::kNoDevice, {}};
  }
};

}  // namespace

ConfigRun::ConfigRun(CliSession& session)
    : session_(session),
      store_(platform::CreateSystemKeyStore(session.context().paths.registry_root)),
      no_mouse_(std::make_unique<NoMouseBackend>()),
      no_mouse_channel_(
          std::make_unique<device::HidChannel>(*no_mouse_, *session.environment().clock)),
      ports_(std::make_unique<config::ConfigPorts>(
          config::ConfigPorts{*no_mouse_channel_, *store_, session.ui(), files_})) {}

ConfigRun::~ConfigRun() {
  if (mouse_open_) session_.channel().CloseDevice(page_.mouse_handle);
}

int ConfigRun::Load() {
  session_.LoadLanguage();
  const config::LoadProfilesResult result = config::LoadProfiles(context(), page_, *ports_);
  if (!result.paths_fit) {
    return session_.Fail(
        kExitFailed, "the profile folder " + platform::PathToUtf8(context().paths.profile_folder) +
                         " is too long: a profile file's path may take " +
                         std::to_string(config::kMaxTextUnits) + " characters at most");
  }
  if (!result.registry) {
    session_.err() << "z900ctl: warning: the key store at "
                   << platform::DescribeKeyStoreLocation(context().paths.registry_root)
                   << " cannot be written; the profile table is not kept\n";
  }
  const std::string table = "the profile table (ConfigInfo) in the key store at " +
                            platform::DescribeKeyStoreLocation(context().paths.registry_root);
  if (!result.table_copy.empty()) {
    session_.err() << "z900ctl: warning: " << table << " was damaged; it was kept as "
                   << platform::Utf16ToUtf8(result.table_copy) << " and started anew\n";
  }
  int code = kExitOk;
  for (const config::ProfileFileProblem& problem : result.problems) {
    const std::string text = ProfileProblemText(problem);
    if (config::ProfileProblemIsFatal(page_, problem)) {
      code = session_.Fail(kExitFailed, text);
    } else {
      session_.err() << "z900ctl: warning: " << text << '\n';
    }
  }
  if (result.table_status != platform::KeyStoreStatus::kOk) {
    code = session_.Fail(kExitFailed,
                         "cannot read " + table + ": " +
                             std::string(platform::DescribeKeyStoreStatus(result.table_status)) +
                             "; it was left as it is");
  }
  return code;
}

int ConfigRun::OpenMouse() {
  if (mouse_open_) return kExitOk;
  if (int code = session_.OpenMouse(); code != kExitOk) return code;
  device::HidChannel& channel = session_.channel();
  if (!channel.OpenDevice(page_.mouse_handle)) {
    return session_.Fail(kExitNoMouse, platform::DescribeOpenFailure(channel.last_open_error(),
                                                                     channel.last_open_detail()));
  }
  mouse_open_ = true;
  ports_ = std::make_unique<config::ConfigPorts>(
      config::ConfigPorts{channel, *store_, session_.ui(), files_});
  device::QueryMode(channel, page_.mouse_handle, context().current_mode);
  return kExitOk;
}

bool ConfigRun::MouseUnplugged() { return device::MouseGone(session_.channel()); }

std::string ConfigRun::SaveProblem(config::SaveOutcome outcome) {
  using config::SaveOutcome;
  const std::string file =
      "the profile file " + platform::Utf16ToUtf8(platform::ReadFixedText(selected().file_path));
  switch (outcome) {
    case SaveOutcome::kSaved:
      return {};
    case SaveOutcome::kMissing:
      return file + " is missing; nothing was saved";
    case SaveOutcome::kRegistryCopy:
      return file + " cannot be written; the settings are kept only in the registry copy, " +
             "which later runs do not read";
    case SaveOutcome::kRegistryCopyFailed:
      return file + " cannot be written, nor the registry copy of profile 1";
    case SaveOutcome::kDenied:
      return file + " cannot be written: access denied";
    case SaveOutcome::kFailed:
      return file + " could not be saved";
    case SaveOutcome::kNoProfile:
      return "no profile is loaded";
  }
  return {};
}

int ConfigRun::Save() {
  // A failed command changes nothing: the table first, and put back when the file cannot be
  // saved.
  platform::KeyValue before;
  const bool had_table = store_->ReadValue(config::kConfigKey, config::kConfigInfoValue, before) ==
                         platform::KeyStoreStatus::kOk;
  if (!config::StoreProfileTable(context(), *store_)) {
    return session_.Fail(kExitFailed, "the profile table could not be stored in the key store at " +
                                          platform::DescribeKeyStoreLocation(context().paths.registry_root) +
                                          "; nothing was changed");
  }
  const std::string problem = SaveProblem(config::SaveProfileFile(context(), page_, *ports_));
  if (problem.empty()) return kExitOk;
  if (had_table) store_->WriteValue(config::kConfigKey, config::kConfigInfoValue, before);
  return session_.Fail(kExitFailed, problem);
}

std::string ProfileProblemText(const config::ProfileFileProblem& problem) {
  using Kind = config::ProfileFileProblem::Kind;
  const std::string file = platform::PathToUtf8(problem.path);
  switch (problem.kind) {
    case Kind::kKeptDamaged:
      return file + " was not a profile file; it was kept as " + platform::PathToUtf8(problem.copy) +
             " and replaced by the defaults";
    case Kind::kDamagedNotReplaced:
      return file + " is not a profile file and was left as it is: it could not be kept and " +
             "replaced (" + problem.error.message() + ")";
    case Kind::kUnreadable:
      return "cannot read the profile file " + file + ": " + problem.error.message() +
             "; it was left as it is";
    case Kind::kNotCreated:
      return "cannot create the profile file " + file + ": " + problem.error.message() +
             "; its default settings are not stored";
  }
  return {};
}

std::string ProfileLabel(ConfigRun& run) {
  const std::string name = TerminalText(platform::ReadFixedText(run.selected().name));
  const std::string number = "profile " + std::to_string(run.selected_number());
  return name.empty() ? number : number + " (" + name + ")";
}

int ReportApply(CliSession& session, ConfigRun& run, const config::ApplyReport& report,
                bool quiet) {
  if (!quiet) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(report.elapsed_ms) / 1000);
    session.out() << "applied " << ProfileLabel(run) << ": " << report.slots_written
                  << " button slots, " << report.macros_written << " macros (" << report.macro_bytes
                  << " bytes), in " << seconds << " s\n";
  }
  if (report.slots_kept > 0 && !quiet) {
    session.out() << report.slots_kept << " buttons without a device code kept their slots\n";
  }
  int code = kExitOk;
  for (const config::ApplyFailure& failure : config::ApplyFailures(report)) {
    const std::string count = std::to_string(failure.count);
    switch (failure.kind) {
      case config::ApplyFailure::Kind::kUnacknowledged: {
        const std::string commands = count + " commands were not acknowledged";
        code = session.Fail(kExitFailed, run.MouseUnplugged()
                                             ? "the mouse was unplugged during the write (" +
                                                   commands +
                                                   "); plug it in and write the profile again"
                                             : commands +
                                                   " by the mouse; its settings may be "
                                                   "incomplete");
        break;
      }
      case config::ApplyFailure::Kind::kMacrosWithoutSlot:
        code = session.Fail(kExitFailed,
                            count +
                                " macro buttons got no macro slot (the macro is gone, cannot be "
                                "played by the mouse, is beyond the 14 slots, or was not written)");
        break;
      case config::ApplyFailure::Kind::kModesWithoutDpi:
        code = session.Fail(kExitFailed, count + " modes have no valid DPI stages; none were sent");
        break;
    }
  }
  if (code != kExitOk) return code;
  if (const std::string problem = run.SaveProblem(report.save); !problem.empty()) {
    return session.Fail(kExitFailed, "the mouse was written, but " + problem);
  }
  if (!report.table_stored) {
    return session.Fail(kExitFailed,
                        "the mouse was written, but the profile table could not "
                        "be stored");
  }
  return kExitOk;
}

int RunPendingFirmwareFollowUp(CliSession& session) {
  if (!update::FirmwareMarkerPending(session.context().paths)) return kExitOk;
  ConfigRun run(session);
  if (int code = run.OpenMouse(); code != kExitOk) return code;
  if (int code = run.Load(); code != kExitOk) return code;
  const std::optional<config::ApplyReport> report =
      update::RunFirmwareFollowUp(run.context(), run.page(), run.ports());
  if (!report) return kExitOk;
  session.err() << "z900ctl: the mouse's firmware was updated; wrote " << ProfileLabel(run)
                << " into it again\n";
  // A failed write is told, but the command asked for still runs.
  ReportApply(session, run, *report, true);
  return kExitOk;
}

std::optional<int> ParseInRange(std::string_view text, int first, int last) {
  const std::optional<std::uint32_t> value = ParseUnsigned(text);
  if (!value || *value < static_cast<std::uint32_t>(first) ||
      *value > static_cast<std::uint32_t>(last)) {
    return std::nullopt;
  }
  return static_cast<int>(*value);
}

}  // namespace z900::cli
