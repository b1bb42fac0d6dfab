#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/keyboard_hook.h"
#include "platform/virtual_clock.h"

namespace z900::test {

// A keyboard hook driven by a script: it logs the calls made to it and delivers key messages
// to its receiver while forwarding is on, as the real hook would.
class FakeKeyboardHook final : public platform::KeyboardHook {
 public:
  bool InstallHook() override {
    calls.emplace_back("InstallHook");
    return true;
  }
  void RemoveHook() override { calls.emplace_back("RemoveHook"); }
  void SetHookStatus(bool forward) override {
    calls.push_back(forward ? "SetHookStatus(1)" : "SetHookStatus(0)");
    forwarding = forward;
  }
  void SetReceiveWindow(platform::KeyReceiver* new_receiver) override {
    calls.emplace_back("SetReceiveWindow");
    receiver = new_receiver;
  }

  // One step of a script: wait, then one key transition.
  struct Step {
    std::uint32_t after_ms;
    std::uint32_t virtual_key;
    bool released;
  };
  // Plays the steps on the clock; a key message reaches the receiver only while forwarding.
  void Play(platform::VirtualClock& clock, const std::vector<Step>& steps) {
    for (const Step& step : steps) {
      clock.Advance(step.after_ms);
      if (forwarding && receiver != nullptr) {
        receiver->OnHookKey(step.virtual_key, step.released ? platform::kKeyReleasedFlag : 0);
      }
    }
  }

  std::vector<std::string> calls;
  bool forwarding = false;
  platform::KeyReceiver* receiver = nullptr;
};

}  // namespace z900::test
