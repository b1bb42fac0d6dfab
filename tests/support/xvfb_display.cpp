#include "support/xvfb_display.h"

#include <poll.h>
#include <stdlib.h>

#include <stdexcept>

// Xlib's macros (None, Status, ...) must come after everything else.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace z900::test {

// Xvfb writes the display number it chose to the descriptor once it accepts clients.
XvfbDisplay::XvfbDisplay(const std::string& screen)
    : server_({"Xvfb", "-displayfd", "{ready}", "-nolisten", "tcp", "-screen", "0", screen}),
      name_(":" + server_.first_line()) {
  if (const char* old = std::getenv("DISPLAY")) {
    had_display_ = true;
    old_display_ = old;
  }
  ::setenv("DISPLAY", name_.c_str(), 1);
}

void XvfbDisplay::ShowActiveWindow(long pid, const std::string& wm_class) {
  if (client_ == nullptr) client_ = XOpenDisplay(name_.c_str());
  Display* x = static_cast<Display*>(client_);
  if (x == nullptr) throw std::runtime_error("cannot connect to Xvfb");
  window_ = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 10, 10, 0, 0, 0);
  if (pid != 0) {
    XChangeProperty(x, window_, XInternAtom(x, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
  }
  if (!wm_class.empty()) {
    // WM_CLASS holds the instance and the class, each terminated.
    const std::string value = "instance" + std::string(1, '\0') + wm_class + std::string(1, '\0');
    XChangeProperty(x, window_, XA_WM_CLASS, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(value.data()),
                    static_cast<int>(value.size()));
  }
  const long active = static_cast<long>(window_);
  XChangeProperty(x, DefaultRootWindow(x), XInternAtom(x, "_NET_ACTIVE_WINDOW", False), XA_WINDOW,
                  32, PropModeReplace, reinterpret_cast<const unsigned char*>(&active), 1);
  XSync(x, False);
}

void XvfbDisplay::CloseActiveWindow() {
  Display* x = static_cast<Display*>(client_);
  if (x == nullptr || window_ == 0) return;
  XDestroyWindow(x, window_);
  XSync(x, False);
  window_ = 0;
}

bool XvfbDisplay::WaitForTrayHost(const std::function<bool()>& host_runs,
                                  std::chrono::seconds backstop) {
  Display* x = XOpenDisplay(name_.c_str());
  if (x == nullptr) return false;
  const Atom tray = XInternAtom(x, "_NET_SYSTEM_TRAY_S0", False);
  const Atom manager = XInternAtom(x, "MANAGER", False);
  // A tray host announces that it took the tray with a MANAGER message to the root window;
  // listening first, then looking, misses neither an earlier nor a later start.
  XSelectInput(x, DefaultRootWindow(x), StructureNotifyMask);
  XSync(x, False);
  bool owned = XGetSelectionOwner(x, tray) != 0;
  const auto give_up = std::chrono::steady_clock::now() + backstop;
  while (!owned && host_runs() && std::chrono::steady_clock::now() < give_up) {
    // Woken by the server's news; now and then also to see whether the host still runs.
    pollfd server{ConnectionNumber(x), POLLIN, 0};
    ::poll(&server, 1, 200);
    while (XPending(x) > 0) {
      XEvent event;
      XNextEvent(x, &event);
      owned = owned || (event.type == ClientMessage && event.xclient.message_type == manager &&
                        static_cast<Atom>(event.xclient.data.l[1]) == tray);
    }
  }
  XCloseDisplay(x);
  return owned;
}

XvfbDisplay::~XvfbDisplay() {
  if (client_ != nullptr) XCloseDisplay(static_cast<Display*>(client_));
  if (had_display_) {
    ::setenv("DISPLAY", old_display_.c_str(), 1);
  } else {
    ::unsetenv("DISPLAY");
  }
}

}  // namespace z900::test
