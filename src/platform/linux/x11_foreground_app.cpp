#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/linux/event_thread.h"
#include "platform/linux/foreground_backends.h"
#include "platform/program_paths.h"

namespace z900::platform {
namespace {

// A window that went away between two look-ups must not end the program.
int IgnoreXErrors(Display* /*display*/, XErrorEvent* /*event*/) { return 0; }

// The foreground program under X11: _NET_ACTIVE_WINDOW of the root window, that window's
// _NET_WM_PID and the name of /proc/PID/exe, or its WM_CLASS without a readable process; the
// process's other names and both parts of WM_CLASS beside it. "Unknow" without an X server or
// an active window. A thread of its own sleeps until the window manager
// changes the property (or the active window goes away) and announces the new program, so
// nothing runs while the focus stays where it is.
class X11ForegroundApp final : public QueuedForegroundApp {
 public:
  explicit X11ForegroundApp(ForegroundChangeHandler on_change)
      : QueuedForegroundApp(ForegroundBackend::kX11, std::move(on_change)) {
    if (!EnvironmentValue("DISPLAY")) {
      PublishStatus(ForegroundProblem::kNoDesktop, "no X server answers on DISPLAY");
    } else if (!thread_.Start([this] { Run(); })) {
      PublishStatus(ForegroundProblem::kNoDesktop, "cannot start the X11 event thread");
    }
  }
  ~X11ForegroundApp() override { thread_.Stop(); }

 private:
  void Run() {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
      PublishStatus(ForegroundProblem::kNoDesktop, "no X server answers on DISPLAY");
      return;
    }
    XSetErrorHandler(&IgnoreXErrors);
    active_window_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    wm_pid_ = XInternAtom(display_, "_NET_WM_PID", False);
    // Selected before the first look, so that no change between the two is missed.
    XSelectInput(display_, DefaultRootWindow(display_), PropertyChangeMask);
    PublishStatus(ForegroundProblem::kNone);
    Announce();
    Loop();
    XCloseDisplay(display_);
    display_ = nullptr;
  }

  void Loop() {
    for (;;) {
      // Xlib may hold events that it read along with a reply: take those first.
      bool changed = false;
      while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == PropertyNotify && event.xproperty.atom == active_window_) changed = true;
        if (event.type == DestroyNotify && event.xdestroywindow.window == watched_) {
          watched_ = 0;
          changed = true;
        }
      }
      if (changed) Announce();
      pollfd entries[] = {{ConnectionNumber(display_), POLLIN, 0}, thread_.StopEntry()};
      if (::poll(entries, 2, -1) < 0 && errno != EINTR) return Lost();
      if (entries[1].revents != 0) return;
      if ((entries[0].revents & (POLLERR | POLLHUP)) != 0) return Lost();
    }
  }

  void Lost() {
    PublishProgram(kUnknownProgram);
    PublishStatus(ForegroundProblem::kConnectionLost, "the X server closed the connection");
  }

  // Publishes the program of the active window, and watches that window for its end.
  void Announce() {
    const Window root = DefaultRootWindow(display_);
    const std::optional<unsigned long> active = CardinalProperty(root, active_window_, XA_WINDOW);
    const Window window = active ? static_cast<Window>(*active) : 0;
    if (window != watched_) {
      if (watched_ != 0) XSelectInput(display_, watched_, NoEventMask);
      watched_ = window;
      if (watched_ != 0) XSelectInput(display_, watched_, StructureNotifyMask);
    }
    // A window gone meanwhile answers nothing, which makes it unknown.
    if (window == 0) return PublishProgram(kUnknownProgram);
    const std::optional<unsigned long> pid = CardinalProperty(window, wm_pid_, XA_CARDINAL);
    const std::uint32_t known_pid =
        pid && *pid <= 0xFFFFFFFFu ? static_cast<std::uint32_t>(*pid) : 0;
    const WmClass names = WindowClass(window);
    PublishProgram(ProcessProgramNames(known_pid, names.window_class, names.instance));
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

  // Only on the event thread.
  Display* display_ = nullptr;
  Atom active_window_ = None;
  Atom wm_pid_ = None;
  Window watched_ = 0;  // the active window, watched for its end
  EventThread thread_;
};

}  // namespace

std::unique_ptr<ForegroundApp> CreateX11ForegroundApp(ForegroundChangeHandler on_change) {
  return std::make_unique<X11ForegroundApp>(std::move(on_change));
}

}  // namespace z900::platform
