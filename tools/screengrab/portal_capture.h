#pragma once

#include "capture.h"

namespace z900::screengrab {

// Captures through the desktop portal's screenshot request on the session bus, for sessions
// (Wayland) in which a program may not read the screen itself. The whole desktop is asked for
// without a dialog; for a window or an area the portal's own dialog lets the user pick it.
Capture CaptureThroughPortal(CaptureMode mode);

}  // namespace z900::screengrab
