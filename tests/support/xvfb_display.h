#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "support/background_server.h"

namespace z900::test {

// A private X server (Xvfb) for as long as the object lives; DISPLAY points at it meanwhile.
class XvfbDisplay {
 public:
  // A screen of the given size, "WIDTHxHEIGHTxDEPTH".
  explicit XvfbDisplay(const std::string& screen = "640x480x24");
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;
  const std::string& name() const { return name_; }

  // Shows a window that says it belongs to process `pid` (0: says nothing) and has the class
  // `wm_class`, and makes it the active window, as a window manager would; CloseActiveWindow
  // destroys it again.
  void ShowActiveWindow(long pid, const std::string& wm_class = {});
  void CloseActiveWindow();

  // Waits until a tray host owns the tray of the screen (the selection _NET_SYSTEM_TRAY_S0), as
  // the server tells: false at once when `host_runs` says the host has ended, or after
  // `backstop` (far longer than any start takes: only so that a hanging host does not hang).
  bool WaitForTrayHost(const std::function<bool()>& host_runs,
                       std::chrono::seconds backstop = std::chrono::minutes(5));

 private:
  BackgroundServer server_;
  void* client_ = nullptr;  // the Display of our own connection, once a window is shown
  unsigned long window_ = 0;
  std::string name_;
  std::string old_display_;
  bool had_display_ = false;
};

}  // namespace z900::test
