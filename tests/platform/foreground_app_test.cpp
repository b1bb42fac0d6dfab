#include "platform/foreground_app.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

// Xlib's macros (None, Status, ...) must come after the test framework.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "support/xvfb_display.h"

namespace z900::platform {
namespace {

TEST(ForegroundAppTest, UnknownWithoutADisplay) {
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  ::unsetenv("DISPLAY");
  EXPECT_EQ(CreateSystemForegroundApp()->ForegroundProgramName(), u"Unknow");
  if (display) ::setenv("DISPLAY", saved.c_str(), 1);
}

TEST(ForegroundAppTest, NamesTheExecutableOfTheActiveWindow) {
  test::XvfbDisplay xvfb;
  Display* x = XOpenDisplay(xvfb.name().c_str());
  ASSERT_NE(x, nullptr);
  const auto app = CreateSystemForegroundApp();
  // No window manager has named an active window yet.
  EXPECT_EQ(app->ForegroundProgramName(), u"Unknow");

  const Window window = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 10, 10, 0, 0, 0);
  const long pid = ::getpid();
  XChangeProperty(x, window, XInternAtom(x, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  const long active = static_cast<long>(window);
  XChangeProperty(x, DefaultRootWindow(x), XInternAtom(x, "_NET_ACTIVE_WINDOW", False), XA_WINDOW,
                  32, PropModeReplace, reinterpret_cast<const unsigned char*>(&active), 1);
  XSync(x, False);
  EXPECT_EQ(app->ForegroundProgramName(), u"platform_tests");

  XDestroyWindow(x, window);  // the active window is gone: still no crash, just unknown
  XSync(x, False);
  EXPECT_EQ(app->ForegroundProgramName(), u"Unknow");
  XCloseDisplay(x);
}

}  // namespace
}  // namespace z900::platform
