#include "support/xvfb_display.h"

#include <stdlib.h>

namespace z900::test {

// Xvfb writes the display number it chose to the descriptor once it accepts clients.
XvfbDisplay::XvfbDisplay()
    : server_({"Xvfb", "-displayfd", "{ready}", "-nolisten", "tcp", "-screen", "0", "640x480x24"}),
      name_(":" + server_.first_line()) {
  if (const char* old = std::getenv("DISPLAY")) {
    had_display_ = true;
    old_display_ = old;
  }
  ::setenv("DISPLAY", name_.c_str(), 1);
}

XvfbDisplay::~XvfbDisplay() {
  if (had_display_) {
    ::setenv("DISPLAY", old_display_.c_str(), 1);
  } else {
    ::unsetenv("DISPLAY");
  }
}

}  // namespace z900::test
