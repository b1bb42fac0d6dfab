#include "platform/linux/hidapi_backend.h"

#include <fcntl.h>
#include <hidapi.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "platform/hidapi_mouse.h"

namespace z900::platform {
namespace {

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

std::string MouseAccessHint() {
  return "The udev rule 70-z900.rules lets the user at the seat open it: the z900 package "
         "installs it; from the sources, run sudo cp resources/udev/70-z900.rules "
         "/etc/udev/rules.d/ && sudo udevadm control --reload && sudo udevadm trigger. Then plug "
         "the mouse in again.";
}

bool HidapiBackend::Initialise() { return hid_init() == 0; }

void HidapiBackend::Shutdown() { hid_exit(); }

HidOpenResult HidapiBackend::OpenMouse() {
  HidapiOpenChecks checks;
  checks.explain_open_failure = [](const std::string& path, const std::string& library_error) {
    HidOpenResult result;
    // hidapi keeps no reason; ask the node itself whether this user may use it.
    if (::access(path.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
      result.error = HidOpenError::kAccessDenied;
      result.detail = path;
    } else {
      result.error = HidOpenError::kOpenFailed;
      result.detail = path + ": " + library_error;
    }
    return result;
  };
  checks.unsupported = CheckInputReportRequest;
  return OpenMouseThroughHidapi(checks);
}

}  // namespace z900::platform
