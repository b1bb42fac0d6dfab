#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/hid_backend.h"
#include "sim/sim_faults.h"
#include "sim/simulated_mouse.h"

namespace z900::sim {

// The simulated mouse as a long-running program shares it with others: every access locks the
// state file, loads the mouse from it, does its work, saves what changed and unlocks. The lock
// is held for one command only, so a press or a read from another program gets through while
// this one runs.
class SharedSimMouse {
 public:
  SharedSimMouse(std::filesystem::path state_file, platform::Clock& clock, SimFaults faults = {});
  SharedSimMouse(const SharedSimMouse&) = delete;
  SharedSimMouse& operator=(const SharedSimMouse&) = delete;

  using Work = std::function<void(SimulatedMouse& mouse)>;
  // Runs `work` on the mouse as the file holds it, waiting while another program holds the
  // file. False, with the reason in `error`, when the file cannot be used.
  bool Run(const Work& work, std::string& error);

  enum class Attempt { kDone, kBusy, kFailed };
  // The same without waiting: kBusy while another program (or another thread of this one)
  // holds the mouse.
  Attempt TryRun(const Work& work, std::string& error);

  const std::filesystem::path& state_file() const { return state_file_; }

 private:
  Attempt RunLocked(const Work& work, std::string& error, bool without_waiting);

  const std::filesystem::path state_file_;
  std::mutex mutex_;      // the worker and the ui thread both reach the mouse
  SimulatedMouse mouse_;  // the answer of the last command and its time live only here
};

// Opens handles onto the shared simulated mouse. A handle dies when the mouse is unplugged,
// even when it is plugged in again meanwhile, as a real one does.
class SharedSimBackend final : public platform::HidBackend {
 public:
  SharedSimBackend(SharedSimMouse& mouse, platform::Clock& clock) : mouse_(mouse), clock_(clock) {}
  bool Initialise() override { return true; }
  void Shutdown() override {}
  platform::HidOpenResult OpenMouse() override;

 private:
  SharedSimMouse& mouse_;
  platform::Clock& clock_;
};

}  // namespace z900::sim
