#pragma once

#include <string>

#include "support/background_server.h"

namespace z900::test {

// A private X server (Xvfb) for as long as the object lives; DISPLAY points at it meanwhile.
class XvfbDisplay {
 public:
  XvfbDisplay();
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;
  const std::string& name() const { return name_; }

 private:
  BackgroundServer server_;
  std::string name_;
  std::string old_display_;
  bool had_display_ = false;
};

}  // namespace z900::test
