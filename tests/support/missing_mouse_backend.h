#pragma once

#include "platform/hid_backend.h"

namespace z900::test {

// A hardware backend that finds nothing usable: the mouse is absent (or locked away).
class MissingMouse final : public platform::HidBackend {
 public:
  explicit MissingMouse(platform::HidOpenError error = platform::HidOpenError::kNoDevice)
      : error_(error) {}
  bool Initialise() override { return true; }
  void Shutdown() override {}
  platform::HidOpenResult OpenMouse() override { return {nullptr, error_, "/dev/hidraw5"}; }

 private:
  platform::HidOpenError error_;
};

}  // namespace z900::test
