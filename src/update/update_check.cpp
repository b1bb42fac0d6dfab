#include "update/update_check.h"

#include <cstdio>
#include <system_error>

#include "device/command_set.h"
#include "device/memory_map.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "platform/utf8_path.h"

namespace z900::update {
namespace {

namespace fs = std::filesystem;
using i18n::StringKey;

}  // namespace

std::optional<std::string> UpdateServerBase(const std::optional<std::string>& setting,
                                            std::string& error) {
  if (!setting) return std::string(kDefaultUpdateServer);
  std::string base = *setting;
  while (base.ends_with('/')) base.pop_back();
  const std::size_t scheme_end = base.find("://");
  const std::string scheme = scheme_end == std::string::npos ? "" : base.substr(0, scheme_end);
  const std::string authority = scheme_end == std::string::npos ? "" : base.substr(scheme_end + 3);
  if ((scheme != "http" && scheme != "https") || authority.empty() ||
      authority.find_first_of("/?#@ ") != std::string::npos) {
    error =
        "Z900_UPDATE_URL must be an http or https address without a path, such as "
        "http://127.0.0.1:8080";
    return std::nullopt;
  }
  return base;
}

fs::path ManifestFile(const platform::ProgramPaths& paths) {
  return paths.update_folder / "new_version" / "update.xml";
}

fs::path FirmwareImageFile(const platform::ProgramPaths& paths) {
  return paths.update_folder / "new_version" / "TalvoGameDevice.bin";
}

bool IsWebAddress(std::u16string_view text) {
  return text.starts_with(u"http://") || text.starts_with(u"https://");
}

UpdateCheck::UpdateCheck(config::AppContext& context, platform::UiPort& ui,
                         platform::Downloader& downloader, platform::HostServices& host,
                         device::HidChannel* channel, i18n::CXmlDocument& document,
                         std::string server_base, UpdateDownloads downloads)
    : context_(context),
      ui_(ui),
      downloader_(downloader),
      host_(host),
      channel_(channel),
      document_(document),
      server_base_(std::move(server_base)),
      downloads_(std::move(downloads)) {}

bool UpdateCheck::DownloadTo(const std::string& url, const platform::DownloadLimits& limits,
                             const fs::path& target) {
  const fs::path folder = target.parent_path();
  std::error_code error = platform::CreatePrivateFolders(folder);
  if (error) {
    failure_reason_ =
        "cannot create the folder " + platform::PathToUtf8(folder) + ": " + error.message();
    return false;
  }
  std::string why;
  const std::optional<fs::path> temporary =
      downloader_.Download(url, folder, limits, downloads_.cancelled, why);
  if (!temporary) {
    failure_reason_ = url + ": " + why;
    return false;
  }
  // Only a complete download replaces the file, so a failure never leaves a part of one, and
  // an older copy is never taken for the new one.
  fs::rename(*temporary, target, error);
  if (error) {
    std::error_code ignored;
    fs::remove(*temporary, ignored);
    failure_reason_ = "cannot save " + platform::PathToUtf8(target) + ": " + error.message();
    return false;
  }
  return true;
}

bool UpdateCheck::FailManifest(std::string reason) {
  failure_ = UpdateFailure::kManifestDownload;
  failure_reason_ = std::move(reason);
  config::ShowMessage(context_, ui_, context_.Text(StringKey::str_updateerror), false);
  return false;
}

bool UpdateCheck::FetchUpdateManifest() {
  failure_ = UpdateFailure::kNone;
  failure_reason_.clear();
  const fs::path manifest = ManifestFile(context_.paths);
  if (!DownloadTo(server_base_ + kManifestPath, downloads_.manifest, manifest)) {
    return FailManifest(failure_reason_);
  }
  if (!document_.LoadDocument(manifest))
    return FailManifest("cannot read " + platform::PathToUtf8(manifest));
  return true;
}

std::optional<std::u16string> UpdateCheck::OfferedVersion(std::u16string_view section) {
  std::u16string current = i18n::SectionValue(document_, section, u"current");
  if (current.empty()) {
    // An empty answer or an error page served as a success is no manifest: offering an update
    // for it would offer nothing.
    FailManifest("the answer of " + server_base_ + kManifestPath +
                 " is not an update manifest: it gives no <current> version in <" +
                 platform::Utf16ToUtf8(section) + ">");
    return std::nullopt;
  }
  return current;
}

bool UpdateCheck::CheckUtilityUpdate() {
  if (!FetchUpdateManifest()) return false;
  const std::optional<std::u16string> current = OfferedVersion(u"driver");
  if (!current) return false;
  const std::u16string newfile = i18n::SectionValue(document_, u"driver", u"newfile");
  if (*current != kUtilityVersion) {
    if (config::ShowMessage(context_, ui_, context_.Text(StringKey::str_update_msg3), true) == 1 &&
        IsWebAddress(newfile)) {
      host_.OpenWithDefaultApplication(newfile);
    }
  } else {
    config::ShowMessage(context_, ui_, context_.Text(StringKey::str_update_msg4), false);
  }
  return true;
}

bool UpdateCheck::CheckFirmwareUpdate() {
  if (!FetchUpdateManifest()) return false;
  const std::optional<std::u16string> offered = OfferedVersion(u"firmware");
  if (!offered) return false;
  const std::u16string& current = *offered;
  const std::u16string newfile = i18n::SectionValue(document_, u"firmware", u"newfile");

  device::DeviceHandle handle;
  auto close = [&] {
    if (channel_ != nullptr) channel_->CloseDevice(handle);
  };
  if (channel_ == nullptr || !channel_->OpenDevice(handle)) {
    failure_ = UpdateFailure::kNoMouse;
    config::ShowMessage(context_, ui_, context_.Text(StringKey::str_msg6), false);
    close();
    return false;
  }
  const std::optional<std::uint32_t> number =
      device::ReadMemory(*channel_, handle, device::kFirmwareAddress);
  if (!number) {
    // Without an answer there is no version to compare; say the mouse is not there.
    failure_ = UpdateFailure::kNoMouse;
    config::ShowMessage(context_, ui_, context_.Text(StringKey::str_msg6), false);
    close();
    return false;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<std::int32_t>(*number));
  local_firmware_ = platform::Utf8ToUtf16(text);
  if (local_firmware_ == current) {
    config::ShowMessage(context_, ui_, context_.Text(StringKey::str_update_msg2), false);
    close();
    return false;
  }
  if (config::ShowMessage(context_, ui_, context_.Text(StringKey::str_update_msg1), true) != 1) {
    close();
    return false;
  }
  const bool stored = DownloadFirmwareImage(newfile);
  close();
  return stored;
}

bool UpdateCheck::DownloadFirmwareImage(const std::u16string& url) {
  bool stored = false;
  if (IsWebAddress(url)) {
    stored =
        DownloadTo(platform::Utf16ToUtf8(url), downloads_.image, FirmwareImageFile(context_.paths));
  } else {
    failure_reason_ = "the manifest gives no http or https address for the image: \"" +
                      platform::Utf16ToUtf8(url) + "\"";
  }
  if (!stored) {
    failure_ = UpdateFailure::kImageDownload;
    config::ShowMessage(context_, ui_, context_.Text(StringKey::str_updateerror1), false);
  }
  return stored;
}

}  // namespace z900::update
