#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <optional>
#include <string>

#include "platform/linux/foreground_backends.h"
#include "platform/program_paths.h"

namespace z900::platform {
namespace {

// A window that went away between two look-ups must not end the program.
int IgnoreXErrors(Display* /*display*/, XErrorEvent* /*event*/) { return 0; }

// The foreground program under X11: _NET_ACTIVE_WINDOW of the root window, that window's
// _NET_WM_PID and the name of /proc/PID/exe, or its WM_CLASS without a readable process; the
// process's other names and both parts of WM_CLASS beside it. "Unknow" without an X server or
// an active window.
class X11ForegroundApp final : public ForegroundApp {
 public:
  ~X11ForegroundApp() override {
    if (display_ != nullptr) XCloseDisplay(display_);
  }

  std::u16string ForegroundProgramName() override { return ForegroundProgramNames().name; }

  ForegroundProgram ForegroundProgramNames() override {
    if (!Connect()) return {};
    const Window root = DefaultRootWindow(display_);
    const std::optional<unsigned long> active = CardinalProperty(root, active_window_, XA_WINDOW);
    if (!active || *active == 0) return {};
    const Window window = static_cast<Window>(*active);
    const std::optional<unsigned long> pid = CardinalProperty(window, wm_pid_, XA_CARDINAL);
    const std::uint32_t known_pid =
        pid && *pid <= 0xFFFFFFFFu ? static_cast<std::uint32_t>(*pid) : 0;
    const WmClass names = WindowClass(window);
    return ProcessProgramNames(known_pid, names.window_class, names.instance);
  }

  ForegroundStatus BackendStatus() override {
    ForegroundStatus status;
    status.backend = ForegroundBackend::kX11;
    if (Connect()) {
      status.problem = ForegroundProblem::kNone;
    } else {
      status.problem = ForegroundProblem::kNoDesktop;
      status.detail = "no X server answers on DISPLAY";
    }
    return status;
  }

  bool IsEventDriven() override { return false; }

 private:
  bool Connect() {
    if (display_ != nullptr) return true;
    if (!EnvironmentValue("DISPLAY")) return false;
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) return false;
    XSetErrorHandler(&IgnoreXErrors);
    active_window_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    wm_pid_ = XInternAtom(display_, "_NET_WM_PID", False);
    return true;
  }

  // The two parts of WM_CLASS ("Navigator", "Firefox-esr"); empty when unset.
  struct WmClass {
    std::string instance;
    std::string window_class;
  };
  WmClass WindowClass(Window window) {
    XClassHint hint{};
    if (XGetClassHint(display_, window, &hint) == 0) return {};
    WmClass result{hint.res_name != nullptr ? hint.res_name : "",
                   hint.res_class != nullptr ? hint.res_class : ""};
    if (hint.res_name != nullptr) XFree(hint.res_name);
    if (hint.res_class != nullptr) XFree(hint.res_class);
    return result;
  }

  // The first 32-bit item of a window property of the given type.
  std::optional<unsigned long> CardinalProperty(Window window, Atom property, Atom type) {
    Atom actual_type = None;
    int actual_format = 0;
    unsigned long items = 0;
    unsigned long bytes_after = 0;
    unsigned char* data = nullptr;
    const int status =
        XGetWindowProperty(display_, window, property, 0, 1, False, type, &actual_type,
                           &actual_format, &items, &bytes_after, &data);
    std::optional<unsigned long> value;
    if (status == Success && actual_type == type && actual_format == 32 && items >= 1 && data) {
      value = *reinterpret_cast<unsigned long*>(data);  // Xlib hands 32-bit items out as longs
    }
    if (data != nullptr) XFree(data);
    return value;
  }

  Display* display_ = nullptr;
  Atom active_window_ = None;
  Atom wm_pid_ = None;
};

}  // namespace

std::unique_ptr<ForegroundApp> CreateX11ForegroundApp() {
  return std::make_unique<X11ForegroundApp>();
}

}  // namespace z900::platform
