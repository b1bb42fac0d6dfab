#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/bus_peer.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace z900::test {

// A sway compositor without screens or input devices (wlroots' headless back-end) in a private
// runtime folder, for as long as the object lives. Meanwhile the session variables say so
// (WAYLAND_DISPLAY, XDG_RUNTIME_DIR, SWAYSOCK, XDG_SESSION_TYPE, XDG_CURRENT_DESKTOP) and
// DISPLAY is unset, so clients started then are native Wayland ones.
class HeadlessSway {
 public:
  // Why it cannot run here (sway missing), or nullopt.
  static std::optional<std::string> Unavailable();

  HeadlessSway();
  ~HeadlessSway();
  HeadlessSway(const HeadlessSway&) = delete;
  HeadlessSway& operator=(const HeadlessSway&) = delete;

  // Runs a sway command ("[app_id=foot] focus"); false unless sway says it succeeded.
  bool Command(const std::string& command);

 private:
  TempFolder runtime_;
  std::unique_ptr<ChildProcess> sway_;
  std::string socket_;
  std::vector<std::unique_ptr<ScopedVariable>> variables_;
};

// Whether a program is found in PATH.
bool ProgramInPath(const std::string& program);

}  // namespace z900::test
