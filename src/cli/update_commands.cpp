#include <array>
#include <ostream>

#include "cli/cli_session.h"
#include "platform/utf8_path.h"
#include "update/firmware_handoff.h"
#include "update/update_check.h"

namespace z900::cli {
namespace {

// Ctrl-C ends a download (cleanly, its temporary file removed) instead of the process; at a
// question it ends the process as usual, so interrupts are watched only while one runs.
class WatchedDownloader final : public platform::Downloader {
 public:
  WatchedDownloader(platform::Downloader& downloader, const CliEnvironment& env)
      : downloader_(downloader), env_(env) {}

  std::optional<std::filesystem::path> Download(const std::string& url,
                                                const std::filesystem::path& folder,
                                                const platform::DownloadLimits& limits,
                                                const platform::CancelCheck& cancelled,
                                                std::string& error) override {
    if (env_.watch_interrupts) env_.watch_interrupts(true);
    std::optional<std::filesystem::path> file =
        downloader_.Download(url, folder, limits, cancelled, error);
    if (env_.watch_interrupts) env_.watch_interrupts(false);
    return file;
  }

 private:
  platform::Downloader& downloader_;
  const CliEnvironment& env_;
};

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
    // The check opens the mouse itself; a pending write after the last update comes first.
    if (update::FirmwareMarkerPending(session.context().paths)) {
      if (int code = session.OpenMouse(); code != kExitOk) return code;
    }
  }
  session.LoadLanguage();
  session.ui().set_assume_yes(parsed->Has("--yes"));

  WatchedDownloader downloader(*env.downloader, env);
  update::UpdateDownloads downloads;
  downloads.cancelled = env.interrupted;
  i18n::CXmlDocument document;
  update::UpdateCheck check(session.context(), session.ui(), downloader, *env.host,
                            firmware ? &session.channel() : nullptr, document, *server, downloads);
  const bool stored = firmware ? check.CheckFirmwareUpdate() : check.CheckUtilityUpdate();
  if (!check.failure_reason().empty()) session.Fail(kExitFailed, check.failure_reason());
  if (firmware && stored) {
    session.out() << "The new firmware image is "
                  << platform::PathToUtf8(update::FirmwareImageFile(session.context().paths))
                  << ".\n";
    const platform::HostOutcome tool = update::HandOffFirmwareImage(session.context(), *env.host);
    if (!tool.started) {
      return session.Fail(kExitFailed, "the flashing tool cannot be started: " + tool.reason +
                                           "; flash the image with it once it is there");
    }
    session.out() << "Started the flashing tool (" << update::kFlashToolCommand << ").\n";
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
