#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/foreground_app.h"
#include "platform/program_paths.h"
#include "platform/text.h"

namespace z900::platform {
namespace {

// A window that went away between two look-ups must not end the program.
int IgnoreXErrors(Display* /*display*/, XErrorEvent* /*event*/) { return 0; }

// The foreground program under X11: _NET_ACTIVE_WINDOW of the root window, that window's
// _NET_WM_PID, and the name of /proc/PID/exe. Any missing step gives "Unknow", also on a
// Wayland session without an X server.
class X11ForegroundApp final : public ForegroundApp {
 public:
  ~X11ForegroundApp() override {
    if (display_ != nullptr) XCloseDisplay(display_);
  }

  std::u16string ForegroundProgramName() override {
    if (!Connect()) return kUnknownProgram;
    const Window root = DefaultRootWindow(display_);
    const std::optional<unsigned long> active = CardinalProperty(root, active_window_, XA_WINDOW);
    if (!active || *active == 0) return kUnknownProgram;
    const std::optional<unsigned long> pid =
        CardinalProperty(static_cast<Window>(*active), wm_pid_, XA_CARDINAL);
    if (!pid || *pid == 0) return kUnknownProgram;
    std::error_code error;
    const std::filesystem::path exe =
        std::filesystem::read_symlink("/proc/" + std::to_string(*pid) + "/exe", error);
    if (error || exe.filename().empty()) return kUnknownProgram;
    return Utf8ToUtf16(exe.filename().string());
  }

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

std::unique_ptr<ForegroundApp> CreateSystemForegroundApp() {
  return std::make_unique<X11ForegroundApp>();
}

}  // namespace z900::platform
