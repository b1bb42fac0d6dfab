#include "platform/linux/hidapi_backend.h"

#include <hidapi/hidapi.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace z900::platform {
namespace {

std::string Narrow(const wchar_t* text) {
  std::string out;
  if (text == nullptr) return out;
  for (; *text != L'\0'; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  return out;
}

class HidapiTransport final : public HidTransport {
 public:
  explicit HidapiTransport(hid_device* device) : device_(device) {}
  ~HidapiTransport() override { hid_close(device_); }
  HidapiTransport(const HidapiTransport&) = delete;
  HidapiTransport& operator=(const HidapiTransport&) = delete;

  bool WriteReport(std::span<const std::uint8_t> report) override {
    return hid_write(device_, report.data(), report.size()) == static_cast<int>(report.size());
  }
  bool GetInputReport(std::span<std::uint8_t> buffer) override {
    return hid_get_input_report(device_, buffer.data(), buffer.size()) > 0;
  }
  int ReadInputReport(std::span<std::uint8_t> buffer, int timeout_ms) override {
    return hid_read_timeout(device_, buffer.data(), buffer.size(), timeout_ms);
  }

 private:
  hid_device* device_;
};

}  // namespace

std::unique_ptr<HidBackend> CreateSystemHidBackend() { return std::make_unique<HidapiBackend>(); }

bool HidapiBackend::Initialise() { return hid_init() == 0; }

void HidapiBackend::Shutdown() { hid_exit(); }

HidOpenResult HidapiBackend::OpenMouse() {
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
  if (device == nullptr) {
    // hidapi keeps no reason; ask the node itself whether this user may use it.
    if (::access(chosen->path.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
      result.error = HidOpenError::kAccessDenied;
      result.detail = chosen->path;
    } else {
      result.error = HidOpenError::kOpenFailed;
      result.detail = chosen->path + ": " + Narrow(hid_error(nullptr));
    }
    return result;
  }
  result.transport = std::make_unique<HidapiTransport>(device);
  return result;
}

}  // namespace z900::platform
