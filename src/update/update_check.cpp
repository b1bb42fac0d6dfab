#include "update/update_check.h"

#include <cstdio>
#include <system_error>
#include <vector>

#include "device/command_set.h"
#include "device/memory_map.h"
#include "platform/file_io.h"
#include "platform/text.h"

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
                         std::string server_base)
    : context_(context),
      ui_(ui),
      downloader_(downloader),
      host_(host),
      channel_(channel),
      document_(document),
      server_base_(std::move(server_base)) {}

bool UpdateCheck::DownloadTo(const std::string& url, std::uint64_t max_bytes,
                             const fs::path& target) {
  std::string error;
  const std::optional<fs::path> temporary = downloader_.Download(url, max_bytes, error);
  if (!temporary) return false;
  // Copying into place is not checked: a copy that fails leaves the old file (or none), and the
  // check goes on with what it finds.
  std::error_code ignored;
  fs::create_directories(target.parent_path(), ignored);
  std::vector<std::uint8_t> bytes;
  if (!platform::ReadWholeFile(*temporary, max_bytes, bytes)) {
    platform::WriteFileAtomically(target, bytes);
  }
  fs::remove(*temporary, ignored);
  return true;
}

bool UpdateCheck::FetchUpdateManifest() {
  failure_ = UpdateFailure::kNone;
  const fs::path manifest = ManifestFile(context_.paths);
  if (!DownloadTo(server_base_ + kManifestPath, kMaxManifestBytes, manifest)) {
    failure_ = UpdateFailure::kManifestDownload;
    config::ShowMessage(context_, ui_, context_.Text(StringKey::str_updateerror), false);
    return false;
  }
  document_.LoadDocument(manifest);
  return true;
}

bool UpdateCheck::CheckUtilityUpdate() {
  if (!FetchUpdateManifest()) return false;
  const std::u16string current = i18n::SectionValue(document_, u"driver", u"current");
  const std::u16string newfile = i18n::SectionValue(document_, u"driver", u"newfile");
  if (current != kUtilityVersion) {
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
  const std::u16string current = i18n::SectionValue(document_, u"firmware", u"current");
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
  if (!IsWebAddress(url) || !DownloadTo(platform::Utf16ToUtf8(url), kMaxFirmwareBytes,
                                        FirmwareImageFile(context_.paths))) {
    failure_ = UpdateFailure::kImageDownload;
    config::ShowMessage(context_, ui_, context_.Text(StringKey::str_updateerror1), false);
    return false;
  }
  return true;
}

}  // namespace z900::update
