#pragma once

#include "platform/hid_backend.h"

namespace z900::platform {

// The mouse through hidapi's hidraw implementation.
class HidapiBackend final : public HidBackend {
 public:
  bool Initialise() override;
  void Shutdown() override;
  HidOpenResult OpenMouse() override;
};

}  // namespace z900::platform
