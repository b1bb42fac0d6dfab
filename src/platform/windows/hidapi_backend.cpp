#include <hidapi.h>

#include "platform/hid_backend.h"
#include "platform/hidapi_mouse.h"

namespace z900::platform {
namespace {

// The mouse through hidapi's Windows backend (hid.dll and cfgmgr32.dll, loaded by hid_init).
class WindowsHidapiBackend final : public HidBackend {
 public:
  bool Initialise() override { return hid_init() == 0; }
  void Shutdown() override { hid_exit(); }
  HidOpenResult OpenMouse() override {
    HidapiOpenChecks checks;
    checks.explain_open_failure = [](const std::string& path, const std::string& library_error) {
      // The system's own text says whether access was denied (another program may hold the
      // interface exclusively); a vendor interface needs no rights of its own.
      HidOpenResult result;
      result.error = HidOpenError::kOpenFailed;
      result.detail = path + ": " + library_error;
      return result;
    };
    return OpenMouseThroughHidapi(checks);
  }
};

}  // namespace

std::unique_ptr<HidBackend> CreateSystemHidBackend() {
  return std::make_unique<WindowsHidapiBackend>();
}

std::string MouseAccessHint() {
  return "Close the programs that may hold it (another configuration tool of the mouse), then "
         "plug the mouse in again.";
}

}  // namespace z900::platform
