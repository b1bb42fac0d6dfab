#pragma once

#include <string>

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

 private:
  int pid_ = -1;
  std::string name_;
  std::string old_display_;
  bool had_display_ = false;
};

}  // namespace z900::test
