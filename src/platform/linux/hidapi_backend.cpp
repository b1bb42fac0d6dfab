#include "platform/linux/hidapi_backend.h"

#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
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
    const int written = hid_write(device_, report.data(), report.size());
    if (written == static_cast<int>(report.size())) return true;
    last_error_ = written < 0 ? Narrow(hid_error(device_))
                              : "wrote " + std::to_string(written) + " of " +
                                    std::to_string(report.size()) + " bytes";
    return false;
  }
  int GetInputReport(std::span<std::uint8_t> buffer) override {
    // hidraw hands back what the mouse sent, report ID and all where it sends one.
    const int length = hid_get_input_report(device_, buffer.data(), buffer.size());
    if (length < 0) {
      last_error_ = Narrow(hid_error(device_));
      return -1;
    }
    return static_cast<int>(StatusFirstAnswer(buffer, static_cast<std::size_t>(length)));
  }
  int ReadInputReport(std::span<std::uint8_t> buffer, int timeout_ms) override {
    const int length = hid_read_timeout(device_, buffer.data(), buffer.size(), timeout_ms);
    if (length < 0) last_error_ = Narrow(hid_error(device_));
    return length;
  }
  std::string LastError() const override { return last_error_; }

 private:
  hid_device* device_;
  std::string last_error_;
};

// The mouse's answers are fetched with HIDIOCGINPUT, which hidraw knows from Linux 5.11 on.
// An older release may have it backported, so ask the node: with no buffer, a kernel that knows
// the request fails with EFAULT before it asks the device anything, one that does not with
// EINVAL. Returns an empty text when the answers can be fetched, else why not.
std::string CheckInputReportRequest(const std::string& path) {
  utsname system{};
  if (::uname(&system) != 0 || KernelReleaseAtLeast(system.release, 5, 11)) return {};
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return {};  // it was just opened; let the commands tell what went wrong
  const bool known = ::ioctl(fd, HIDIOCGINPUT(kMouseReportSize), nullptr) < 0 && errno == EFAULT;
  ::close(fd);
  if (known) return {};
  return std::string("Linux ") + system.release +
         " cannot fetch the mouse's answers through hidraw (the HIDIOCGINPUT request came with "
         "Linux 5.11). Update the kernel to 5.11 or later.";
}

}  // namespace

bool KernelReleaseAtLeast(std::string_view release, int major, int minor) {
  int found_major = 0;
  int found_minor = 0;
  const char* end = release.data() + release.size();
  const auto [after_major, major_error] = std::from_chars(release.data(), end, found_major);
  if (major_error != std::errc() || after_major == end || *after_major != '.') return true;
  if (std::from_chars(after_major + 1, end, found_minor).ec != std::errc()) return true;
  return found_major != major ? found_major > major : found_minor >= minor;
}

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
  if (std::string why = CheckInputReportRequest(chosen->path); !why.empty()) {
    hid_close(device);
    result.error = HidOpenError::kUnsupportedSystem;
    result.detail = std::move(why);
    return result;
  }
  result.transport = std::make_unique<HidapiTransport>(device);
  return result;
}

}  // namespace z900::platform
