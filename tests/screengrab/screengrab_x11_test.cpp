// The screenshot program under a private X server: what it saves, what it puts on the
// clipboard, and how the area overlay answers the mouse and the keyboard.
#include <gtest/gtest.h>
#include <poll.h>

#include <QImage>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "screengrab_fixture.h"
#include "support/xvfb_display.h"

// Xlib's macros (None, Status, Bool, ...) must come after the test framework and Qt.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace z900::screengrab {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;
using test::RunProgram;

constexpr unsigned long kRootColour = 0x3366aa;
constexpr unsigned long kWindowColour = 0xdd2211;
constexpr std::chrono::seconds kEventTimeout{20};

class ScreengrabX11Test : public ScreengrabFixture {
 protected:
  ScreengrabX11Test() : x_(XOpenDisplay(xvfb_.name().c_str())) {
    root_ = DefaultRootWindow(x_);
    fs::create_directory(RuntimeFolder());
    fs::permissions(RuntimeFolder(), fs::perms::owner_all);
    XSetWindowBackground(x_, root_, kRootColour);
    XClearWindow(x_, root_);
    XSync(x_, False);
  }
  ~ScreengrabX11Test() override { XCloseDisplay(x_); }

  // The variables of a desktop without a session bus, a portal or Wayland.
  std::map<std::string, std::string> Environment(const std::string& scale = "1") const {
    return {{"DISPLAY", xvfb_.name()},
            {"Z900_SCREENSHOT_DIR", Shots().string()},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (temp_.path() / "no-bus").string()},
            {"WAYLAND_DISPLAY", ""},
            {"XDG_SESSION_TYPE", ""},
            {"QT_QPA_PLATFORM", ""},
            {"QT_SCALE_FACTOR", scale},
            {"XDG_RUNTIME_DIR", RuntimeFolder().string()},
            {"ASAN_OPTIONS", test::AsanOptionsForXcb()}};
  }

  fs::path RuntimeFolder() const { return temp_.path() / "runtime"; }

  ProgramResult Grab(const std::vector<std::string>& args, const std::string& scale = "1") {
    return RunProgram(Z900_SCREENGRAB_PATH, args, Environment(scale));
  }

  Window ColouredWindow(int x, int y, int width, int height) {
    const Window window = XCreateSimpleWindow(x_, root_, x, y, static_cast<unsigned>(width),
                                              static_cast<unsigned>(height), 0, 0, kWindowColour);
    XMapWindow(x_, window);
    XSync(x_, False);
    return window;
  }

  void SetProperty(Window window, const char* name, Atom type, std::vector<long> values) {
    XChangeProperty(x_, window, XInternAtom(x_, name, False), type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()),
                    static_cast<int>(values.size()));
    XSync(x_, False);
  }

  // Waits for the next event that `wanted` accepts; false when none came in time.
  template <typename Predicate>
  bool WaitForEvent(XEvent& event, Predicate wanted) {
    const auto deadline = std::chrono::steady_clock::now() + kEventTimeout;
    for (;;) {
      while (XPending(x_) > 0) {
        XNextEvent(x_, &event);
        if (wanted(event)) return true;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd connection = {ConnectionNumber(x_), POLLIN, 0};
      if (left.count() <= 0 || ::poll(&connection, 1, static_cast<int>(left.count())) <= 0) {
        return false;
      }
    }
  }

  // Waits until a window with the given title is mapped; listening starts before the program.
  void ListenForNewWindows() {
    XSelectInput(x_, root_, SubstructureNotifyMask);
    XSync(x_, False);
  }
  bool WaitForWindowTitled(const std::string& title) {
    XEvent event;
    return WaitForEvent(event, [&](const XEvent& e) {
      if (e.type != MapNotify) return false;
      char* name = nullptr;
      const bool match =
          XFetchName(x_, e.xmap.window, &name) != 0 && name != nullptr && title == name;
      if (name != nullptr) XFree(name);
      return match;
    });
  }

  // The bytes the clipboard owner hands out for a target, or nullopt when it refuses.
  std::optional<std::string> ReadClipboard(const char* target) {
    const Window requestor = XCreateSimpleWindow(x_, root_, 0, 0, 1, 1, 0, 0, 0);
    const Atom property = XInternAtom(x_, "Z900_TEST_CLIPBOARD", False);
    XConvertSelection(x_, XInternAtom(x_, "CLIPBOARD", False), XInternAtom(x_, target, False),
                      property, requestor, CurrentTime);
    XFlush(x_);
    XEvent event;
    std::optional<std::string> data;
    if (WaitForEvent(event, [](const XEvent& e) { return e.type == SelectionNotify; }) &&
        event.xselection.property != None) {
      Atom type = None;
      int format = 0;
      unsigned long items = 0;
      unsigned long after = 0;
      unsigned char* bytes = nullptr;
      if (XGetWindowProperty(x_, requestor, property, 0, LONG_MAX / 4, True, AnyPropertyType, &type,
                             &format, &items, &after, &bytes) == Success &&
          format == 8) {
        data.emplace(reinterpret_cast<const char*>(bytes), items);
      }
      if (bytes != nullptr) XFree(bytes);
    }
    XDestroyWindow(x_, requestor);
    return data;
  }

  test::XvfbDisplay xvfb_;
  Display* x_;
  Window root_ = 0;
};

QRgb Rgb(unsigned long colour) { return 0xff000000u | static_cast<QRgb>(colour); }

TEST_F(ScreengrabX11Test, SavesTheWholeScreenInScreenPixelsAndPutsItOnTheClipboard) {
  ColouredWindow(100, 50, 200, 120);
  // A scaled (HiDPI) desktop still gives every pixel of the screen.
  for (const std::string scale : {"1", "2"}) {
    SCOPED_TRACE("scale " + scale);
    fs::remove_all(Shots());
    const ProgramResult result = Grab({"-t", "desktop", "-p"}, scale);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const QImage picture = SavedPicture(result);
    ASSERT_EQ(picture.size(), QSize(640, 480));
    EXPECT_EQ(picture.pixel(99, 49), Rgb(kRootColour));
    EXPECT_EQ(picture.pixel(100, 50), Rgb(kWindowColour));
    EXPECT_EQ(picture.pixel(299, 169), Rgb(kWindowColour));
    EXPECT_EQ(picture.pixel(300, 170), Rgb(kRootColour));

    // The program has ended; its keeper serves the same picture.
    const std::optional<std::string> png = ReadClipboard("image/png");
    ASSERT_TRUE(png);
    EXPECT_EQ(QImage::fromData(reinterpret_cast<const uchar*>(png->data()),
                               static_cast<int>(png->size())),
              picture);
  }
}

TEST_F(ScreengrabX11Test, TakesTheActiveWindowWithTheFrameTheWindowManagerDraws) {
  struct WindowCase {
    const char* what;
    QRect window;
    const char* extents_property;
    std::vector<long> extents;  // left, right, top, bottom
    QRect expected;
  };
  const WindowCase cases[] = {
      {"no frame", {40, 30, 200, 100}, nullptr, {}, {40, 30, 200, 100}},
      {"frame", {40, 30, 200, 100}, "_NET_FRAME_EXTENTS", {4, 6, 20, 2}, {36, 10, 210, 122}},
      {"client-side shadow",
       {40, 30, 200, 100},
       "_GTK_FRAME_EXTENTS",
       {10, 10, 5, 5},
       {50, 35, 180, 90}},
      {"implausible frame",
       {40, 30, 200, 100},
       "_NET_FRAME_EXTENTS",
       {0, 0, 100000, 0},
       {40, 30, 200, 100}},
      {"partly off the screen", {540, 400, 200, 100}, nullptr, {}, {540, 400, 100, 80}},
  };
  for (const WindowCase& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(Shots());
    const Window window =
        ColouredWindow(c.window.x(), c.window.y(), c.window.width(), c.window.height());
    if (c.extents_property != nullptr) {
      SetProperty(window, c.extents_property, XA_CARDINAL, c.extents);
    }
    SetProperty(root_, "_NET_ACTIVE_WINDOW", XA_WINDOW, {static_cast<long>(window)});

    const ProgramResult result = Grab({"-t", "window", "-p"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const QImage picture = SavedPicture(result);
    ASSERT_EQ(picture.size(), c.expected.size());
    // Each corner shows what the screen showed there.
    for (const QPoint corner : {QPoint(0, 0), QPoint(picture.width() - 1, picture.height() - 1)}) {
      const QPoint on_screen = c.expected.topLeft() + corner;
      EXPECT_EQ(picture.pixel(corner),
                Rgb(c.window.contains(on_screen) ? kWindowColour : kRootColour));
    }
    XDestroyWindow(x_, window);
    XSync(x_, False);
  }
}

TEST_F(ScreengrabX11Test, FailsWithoutAnActiveWindowAndSavesNothing) {
  const ProgramResult result = Grab({"-t", "window", "-p"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err,
            "z900-screengrab: there is no active window (the window manager names none)\n");
  EXPECT_TRUE(SavedFiles().empty());
}

TEST_F(ScreengrabX11Test, TakesTheDraggedAreaInScreenPixels) {
  ColouredWindow(150, 120, 400, 300);
  for (const std::string scale : {"1", "2"}) {
    SCOPED_TRACE("scale " + scale);
    fs::remove_all(Shots());
    ListenForNewWindows();
    test::RunningProgram grab(Z900_SCREENGRAB_PATH, {"-t", "region", "-p"}, Environment(scale));
    ASSERT_TRUE(WaitForWindowTitled("z900-screengrab area"));
    // Dragged from the bottom right to the top left: the same area.
    EXPECT_EQ(RunProgram("/usr/bin/env",
                         {"xdotool", "mousemove", "300", "250", "mousedown", "1", "mousemove",
                          "200", "180", "mousemove", "100", "100", "mouseup", "1"},
                         Environment())
                  .exit_code,
              0);
    const ProgramResult result = grab.Wait();
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const QImage picture = SavedPicture(result);
    ASSERT_EQ(picture.size(), QSize(200, 150));
    // The frozen screen, not the dimmed overlay.
    EXPECT_EQ(picture.pixel(49, 19), Rgb(kRootColour));
    EXPECT_EQ(picture.pixel(50, 20), Rgb(kWindowColour));
  }
}

TEST_F(ScreengrabX11Test, EscapeOrTheRightButtonCancelsWithNothingSaved) {
  const std::vector<std::string> cancels[] = {{"key", "Escape"},
                                              {"mousemove", "200", "200", "click", "3"}};
  for (const std::vector<std::string>& cancel : cancels) {
    SCOPED_TRACE(cancel[0]);
    ListenForNewWindows();
    test::RunningProgram grab(Z900_SCREENGRAB_PATH, {"-t", "region", "-p"}, Environment());
    ASSERT_TRUE(WaitForWindowTitled("z900-screengrab area"));
    std::vector<std::string> args = {"xdotool"};
    args.insert(args.end(), cancel.begin(), cancel.end());
    EXPECT_EQ(RunProgram("/usr/bin/env", args, Environment()).exit_code, 0);
    const ProgramResult result = grab.Wait();
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.err, "z900-screengrab: cancelled, nothing saved\n");
    EXPECT_TRUE(SavedFiles().empty());
  }
}

TEST(ScreengrabTest, RefusesBadCommandLinesAndAMissingDisplay) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"-t"}, {"-t", "screen", "-p"}, {"-p", "-x"}}) {
    const ProgramResult result = RunProgram(Z900_SCREENGRAB_PATH, args, {{"DISPLAY", ""}});
    EXPECT_EQ(result.exit_code, 2) << args.back();
    EXPECT_NE(result.err.find("Try 'z900-screengrab --help'"), std::string::npos);
  }
  const ProgramResult help = RunProgram(Z900_SCREENGRAB_PATH, {"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("-t, --type TYPE"), std::string::npos);

  const ProgramResult no_display =
      RunProgram(Z900_SCREENGRAB_PATH, {"-t", "desktop", "-p"},
                 {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"XDG_SESSION_TYPE", ""}});
  EXPECT_EQ(no_display.exit_code, 1);
  EXPECT_EQ(no_display.err, "z900-screengrab: no display to capture: DISPLAY is not set\n");
}

}  // namespace
}  // namespace z900::screengrab
