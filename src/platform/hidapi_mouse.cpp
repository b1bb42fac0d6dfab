#include "platform/hidapi_mouse.h"

#include <hidapi.h>

#include <cwchar>

#include "platform/text.h"

namespace z900::platform {
namespace {

// hidapi's texts are wide: UTF-16 on Windows, UTF-32 elsewhere.
std::string WideText(const wchar_t* text) {
  if (text == nullptr) return {};
  std::u16string units;
  for (; *text != L'\0'; ++text) {
    if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
      units.push_back(static_cast<char16_t>(*text));
    } else {
      const auto code_point = static_cast<char32_t>(*text);
      AppendUtf16(units, code_point <= 0x10FFFF ? code_point : U'\uFFFD');
    }
  }
  return Utf16ToUtf8(units);
}

class HidapiTransport final : public HidTransport {
 public:
  explicit HidapiTransport(hid_device* device) : device_(device) {}
  ~HidapiTransport() override { hid_close(device_); }
  HidapiTransport(const HidapiTransport&) = delete;
  HidapiTransport& operator=(const HidapiTransport&) = delete;

  bool WriteReport(std::span<const std::uint8_t> report) override {
    const int written = hid_write(device_, report.data(), report.size());
    // Windows pads a report to the longest the interface has and counts the padding.
    if (written >= static_cast<int>(report.size())) return true;
    last_error_ = written < 0 ? WideText(hid_error(device_))
                              : "wrote " + std::to_string(written) + " of " +
                                    std::to_string(report.size()) + " bytes";
    return false;
  }
  int GetInputReport(std::span<std::uint8_t> buffer) override {
    // hidapi hands back what the mouse sent, report ID and all where it sends one.
    const int length = hid_get_input_report(device_, buffer.data(), buffer.size());
    if (length < 0) {
      last_error_ = WideText(hid_error(device_));
      return -1;
    }
    return static_cast<int>(StatusFirstAnswer(buffer, static_cast<std::size_t>(length)));
  }
  int ReadInputReport(std::span<std::uint8_t> buffer, int timeout_ms) override {
    const int length = hid_read_timeout(device_, buffer.data(), buffer.size(), timeout_ms);
    if (length < 0) last_error_ = WideText(hid_error(device_));
    return length;
  }
  std::string LastError() const override { return last_error_; }

 private:
  hid_device* device_;
  std::string last_error_;
};

}  // namespace

HidOpenResult OpenMouseThroughHidapi(const HidapiOpenChecks& checks) {
  std::vector<HidInterfaceInfo> found;
  hid_device_info* list = hid_enumerate(kMouseVendorId, kMouseProductId);
  for (const hid_device_info* info = list; info != nullptr; info = info->next) {
    found.push_back({info->path ? info->path : "", info->usage_page, info->usage});
  }
  hid_free_enumeration(list);

  HidOpenResult result;
  const std::optional<HidInterfaceInfo> chosen = SelectMouseInterface(found);
  if (!chosen) {
    result.error = HidOpenError::kNoDevice;
    return result;
  }
  hid_device* device = hid_open_path(chosen->path.c_str());
  if (device == nullptr)
    return checks.explain_open_failure(chosen->path, WideText(hid_error(nullptr)));
  if (std::string why = checks.unsupported ? checks.unsupported(chosen->path) : std::string();
      !why.empty()) {
    hid_close(device);
    result.error = HidOpenError::kUnsupportedSystem;
    result.detail = std::move(why);
    return result;
  }
  result.transport = std::make_unique<HidapiTransport>(device);
  return result;
}

}  // namespace z900::platform
