#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "config/app_context.h"
#include "device/hid_channel.h"
#include "i18n/xml_document.h"
#include "platform/downloader.h"
#include "platform/host_services.h"
#include "platform/ui_port.h"

// The online update check: one manifest on the update server tells the newest utility and
// firmware; a newer firmware image is downloaded into the update folder.
namespace z900::update {

// The update server; Z900_UPDATE_URL replaces scheme, host and port (tests, mirrors).
inline constexpr char kDefaultUpdateServer[] = "http://update.z900.example";
inline constexpr char kManifestPath[] = "/software/z900/update.xml";
// The utility's own version as the manifest's "driver" entry names it.
inline constexpr char16_t kUtilityVersion[] = u"1";
inline constexpr std::uint64_t kMaxManifestBytes = 1 << 20;
inline constexpr std::uint64_t kMaxFirmwareBytes = 16 << 20;

// What the downloads of a check may take, and how the user stops them. A server that trickles
// is given up on, so a check always ends.
struct UpdateDownloads {
  platform::DownloadLimits manifest = {.max_bytes = kMaxManifestBytes,
                                       .total_seconds = 30,
                                       .low_speed_bytes_per_second = 1024,
                                       .low_speed_seconds = 20};
  platform::DownloadLimits image = {.max_bytes = kMaxFirmwareBytes,
                                    .total_seconds = 300,
                                    .low_speed_bytes_per_second = 1024,
                                    .low_speed_seconds = 20};
  platform::CancelCheck cancelled;
};

// The server base ("http://host[:port]") from the Z900_UPDATE_URL setting: nullopt and a
// reason when the setting is not an http(s) address without a path; the default without one.
std::optional<std::string> UpdateServerBase(const std::optional<std::string>& setting,
                                            std::string& error);

// Where the last manifest and firmware image are kept: update/new_version/….
std::filesystem::path ManifestFile(const platform::ProgramPaths& paths);
std::filesystem::path FirmwareImageFile(const platform::ProgramPaths& paths);

// Only web addresses are ever handed on from a manifest: it comes from the network.
bool IsWebAddress(std::u16string_view text);

// Why the last check ended early, for callers that report more than the messages do.
enum class UpdateFailure { kNone, kManifestDownload, kNoMouse, kImageDownload };

// The checks of the about box's two update buttons.
class UpdateCheck {
 public:
  // `channel` reaches the mouse for the firmware check; without one the mouse counts as absent.
  UpdateCheck(config::AppContext& context, platform::UiPort& ui, platform::Downloader& downloader,
              platform::HostServices& host, device::HidChannel* channel,
              i18n::CXmlDocument& document, std::string server_base,
              UpdateDownloads downloads = {});

  // Downloads the manifest afresh, keeps it as update.xml and loads it into the document.
  bool FetchUpdateManifest();
  // False only when no manifest giving the utility's version could be had.
  bool CheckUtilityUpdate();
  // True only when a new firmware image was stored.
  bool CheckFirmwareUpdate();
  // Downloads the image afresh into its fixed file.
  bool DownloadFirmwareImage(const std::u16string& url);

  // The mouse's firmware number as the last firmware check read it ("%d").
  const std::u16string& local_firmware() const { return local_firmware_; }
  UpdateFailure failure() const { return failure_; }
  // Why the last check failed, in words the messages leave out ("…: the server answered with
  // HTTP status 404"); empty after a check that did not fail on a download.
  const std::string& failure_reason() const { return failure_reason_; }

 private:
  // Downloads url into a temporary file beside `target` (its folder made when missing) and
  // renames it into place once complete; false, with the reason kept, when either fails.
  bool DownloadTo(const std::string& url, const platform::DownloadLimits& limits,
                  const std::filesystem::path& target);
  // Ends a check whose manifest could not be had: the reason kept, str_updateerror shown.
  bool FailManifest(std::string reason);
  // The version `section` of the loaded manifest offers; ends the check when it gives none.
  std::optional<std::u16string> OfferedVersion(std::u16string_view section);

  config::AppContext& context_;
  platform::UiPort& ui_;
  platform::Downloader& downloader_;
  platform::HostServices& host_;
  device::HidChannel* channel_;
  i18n::CXmlDocument& document_;
  std::string server_base_;
  UpdateDownloads downloads_;
  std::u16string local_firmware_;
  UpdateFailure failure_ = UpdateFailure::kNone;
  std::string failure_reason_;
};

}  // namespace z900::update
