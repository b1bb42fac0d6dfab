#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/hid_backend.h"

namespace z900::test {

// HID access for commands that must not open the mouse: opening it fails the test.
class NoMouseBackend final : public platform::HidBackend {
 public:
  // `who` names the commands in the failure, e.g. "a macro command".
  explicit NoMouseBackend(std::string who) : who_(std::move(who)) {}
  bool Initialise() override { return true; }
  void Shutdown() override {}
  platform::HidOpenResult OpenMouse() override {
    ADD_FAILURE() << who_ << " opened the mouse";
    return {nullptr, platform::HidOpenError::kNoDevice, ""};
  }

 private:
  std::string who_;
};

}  // namespace z900::test
