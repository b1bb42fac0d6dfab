#pragma once

#include <string_view>

#include "platform/hid_backend.h"

namespace z900::platform {

// The mouse through hidapi's hidraw implementation.
class HidapiBackend final : public HidBackend {
 public:
  bool Initialise() override;
  void Shutdown() override;
  HidOpenResult OpenMouse() override;
};

// Whether a kernel release such as "6.1.0-57-amd64" is major.minor or newer; a release that
// does not start with two numbers counts as newer.
bool KernelReleaseAtLeast(std::string_view release, int major, int minor);

}  // namespace z900::platform
