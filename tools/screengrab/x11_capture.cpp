#include "x11_capture.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QRect>
#include <QScreen>
#include <array>
#include <memory>

#include "platform/program_paths.h"
#include "region_overlay.h"

// Xlib's macros (None, Status, Bool, ...) must come after every Qt header.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace z900::screengrab {
namespace {

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// Frame extents past this are not a frame but a broken property.
constexpr unsigned long kMaxFrameExtent = 4096;

// A window that goes away between two requests must not end the program; the requests that
// fail report it through their results instead.
int IgnoreXErrors(Display* /*display*/, XErrorEvent* /*event*/) { return 0; }

class ScopedIgnoreXErrors {
 public:
  ScopedIgnoreXErrors() : previous_(XSetErrorHandler(&IgnoreXErrors)) {}
  ~ScopedIgnoreXErrors() { XSetErrorHandler(previous_); }
  ScopedIgnoreXErrors(const ScopedIgnoreXErrors&) = delete;
  ScopedIgnoreXErrors& operator=(const ScopedIgnoreXErrors&) = delete;

 private:
  XErrorHandler previous_;
};

// `count` 32-bit items of a window property of the given type, or nullopt when the property
// is missing or has another shape.
template <std::size_t count>
std::optional<std::array<unsigned long, count>> CardinalItems(Display* display, Window window,
                                                              const char* name, Atom type) {
  Atom actual_type = 0;
  int actual_format = 0;
  unsigned long items = 0;
  unsigned long bytes_after = 0;
  unsigned char* data = nullptr;
  const int status =
      XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, count, False, type,
                         &actual_type, &actual_format, &items, &bytes_after, &data);
  std::optional<std::array<unsigned long, count>> values;
  if (status == Success && data != nullptr && actual_type == type && actual_format == 32 &&
      items == count) {
    values.emplace();
    // Xlib hands 32-bit items out as longs.
    const auto* longs = reinterpret_cast<const unsigned long*>(data);
    for (std::size_t i = 0; i < count; ++i) (*values)[i] = longs[i];
  }
  if (data != nullptr) XFree(data);
  return values;
}

// Left, right, top and bottom extents of a frame property, when present and plausible.
std::optional<QMargins> FrameExtents(Display* display, Window window, const char* name) {
  const auto extents = CardinalItems<4>(display, window, name, XA_CARDINAL);
  if (!extents) return std::nullopt;
  for (unsigned long extent : *extents) {
    if (extent > kMaxFrameExtent) return std::nullopt;
  }
  const auto [left, right, top, bottom] = *extents;
  return QMargins(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
                  static_cast<int>(bottom));
}

// The active window as the window manager names it, grown by the frame the window manager
// draws around it and shrunk by the shadow a client-side decorated window draws into itself.
WindowFrame ActiveWindowFrame() {
  const DisplayPtr display(XOpenDisplay(nullptr));
  if (!display) return {std::nullopt, "cannot open the X display"};
  const ScopedIgnoreXErrors ignore_errors;
  const Window root = DefaultRootWindow(display.get());
  const auto active = CardinalItems<1>(display.get(), root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
  if (!active || (*active)[0] == 0) {
    return {std::nullopt, "there is no active window (the window manager names none)"};
  }
  const auto window = static_cast<Window>((*active)[0]);
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display.get(), window, &attributes) == 0) {
    return {std::nullopt, "the active window has gone"};
  }
  if (attributes.map_state != IsViewable) {
    return {std::nullopt, "the active window is not shown"};
  }
  int x = 0;
  int y = 0;
  Window child = 0;
  if (XTranslateCoordinates(display.get(), window, root, 0, 0, &x, &y, &child) == 0) {
    return {std::nullopt, "the active window has gone"};
  }
  QRect rect(x, y, attributes.width, attributes.height);
  if (auto frame = FrameExtents(display.get(), window, "_NET_FRAME_EXTENTS")) {
    rect = rect.marginsAdded(*frame);
  }
  if (auto shadow = FrameExtents(display.get(), window, "_GTK_FRAME_EXTENTS")) {
    rect = rect.marginsRemoved(*shadow);
  }
  return {rect, {}};
}

// Every screen as the X server holds it: the root window, in native pixels.
QImage GrabDesktop() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  return screen->grabWindow(0).toImage();
}

}  // namespace

std::optional<QString> X11DisplayProblem() {
  const std::optional<std::string> name = platform::EnvironmentValue("DISPLAY");
  if (!name) return QString("no display to capture: DISPLAY is not set");
  if (!DisplayPtr(XOpenDisplay(name->c_str()))) {
    return "cannot open the X display " + QString::fromStdString(*name);
  }
  return std::nullopt;
}

Capture CaptureOnX11(CaptureMode mode) {
  if (QGuiApplication::platformName() != "xcb") {
    return Capture::Failed("reading the screen needs the X11 platform, not " +
                           QGuiApplication::platformName());
  }
  return CaptureFromDesktop(GrabDesktop(), mode, ActiveWindowFrame);
}

}  // namespace z900::screengrab
