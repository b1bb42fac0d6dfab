#pragma once

#include <functional>
#include <string>

#include "platform/hid_backend.h"

// The mouse through hidapi, the HID access library on every system; each system's backend adds
// only what it knows about a failed open.
namespace z900::platform {

struct HidapiOpenChecks {
  // Why the interface at `path` could not be opened: kAccessDenied or kOpenFailed with the
  // detail for the user. `library_error` is hidapi's own text.
  std::function<HidOpenResult(const std::string& path, const std::string& library_error)>
      explain_open_failure;
  // Why the opened interface cannot be used on this system; empty when it can.
  std::function<std::string(const std::string& path)> unsupported;
};

// Enumerates the mouse's interfaces, picks the vendor interface and opens it.
HidOpenResult OpenMouseThroughHidapi(const HidapiOpenChecks& checks);

}  // namespace z900::platform
