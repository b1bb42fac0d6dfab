#include <array>
#include <ostream>

#include "cli/cli_session.h"
#include "platform/text.h"
#include "update/firmware_handoff.h"
#include "update/update_check.h"

namespace z900::cli {
namespace {

// Runs one of the two checks with the terminal as the about box.
int RunCheck(CliSession& session, std::span<const std::string> args, bool firmware) {
  std::string error;
  const std::optional<CommandArgs> parsed = ParseCommandArgs(args, {"--yes"}, {}, error);
  if (!parsed || !parsed->positional.empty()) {
    return session.Fail(kExitUsage, std::string("usage: z900ctl update ") +
                                        (firmware ? "firmware" : "check") + " [--yes]");
  }
  const CliEnvironment& env = session.environment();
  const std::optional<std::string> server = update::UpdateServerBase(env.update_url, error);
  if (!server) return session.Fail(kExitUsage, error);
  if (env.downloader == nullptr || env.host == nullptr) {
    return session.Fail(kExitFailed, "downloads are not available on this platform");
  }
  if (firmware) {
    if (int code = session.PrepareChannel(); code != kExitOk) return code;
  }
  session.LoadLanguage();
  session.ui().set_assume_yes(parsed->Has("--yes"));

  i18n::CXmlDocument document;
  update::UpdateCheck check(session.context(), session.ui(), *env.downloader, *env.host,
                            firmware ? &session.channel() : nullptr, document, *server);
  const bool stored = firmware ? check.CheckFirmwareUpdate() : check.CheckUtilityUpdate();
  if (firmware && stored) {
    const std::filesystem::path tool = update::FlashToolFile(session.context().paths);
    update::HandOffFirmwareImage(session.context(), *env.host);
    session.out() << "The new firmware image is "
                  << update::FirmwareImageFile(session.context().paths).string() << ".\n";
    std::error_code missing;
    if (std::filesystem::exists(tool, missing)) {
      session.out() << "Started the flashing tool " << tool.string() << " -TALVO.\n";
    } else {
      session.out() << "The flashing tool " << tool.string()
                    << " is not there; flash the image with it once it is.\n";
    }
  }
  switch (check.failure()) {
    case update::UpdateFailure::kNone:
      return kExitOk;
    case update::UpdateFailure::kNoMouse:
      return kExitNoMouse;
    case update::UpdateFailure::kManifestDownload:
    case update::UpdateFailure::kImageDownload:
      return kExitFailed;
  }
  return kExitFailed;
}

int RunUpdateCheck(CliSession& session, std::span<const std::string> args) {
  return RunCheck(session, args, false);
}

int RunUpdateFirmware(CliSession& session, std::span<const std::string> args) {
  return RunCheck(session, args, true);
}

constexpr std::array kCommands = {
    Command{"update check", "[--yes]", "ask the update server whether a newer utility exists",
            &RunUpdateCheck},
    Command{"update firmware", "[--yes]",
            "download newer firmware for the mouse and hand it to the flashing tool",
            &RunUpdateFirmware},
};

}  // namespace

std::span<const Command> UpdateCommands() { return kCommands; }

}  // namespace z900::cli
