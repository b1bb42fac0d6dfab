#pragma once

#include <QString>
#include <optional>

#include "capture.h"

namespace z900::screengrab {

// Whether the X server of DISPLAY accepts us; checked before Qt starts, which would abort.
std::optional<QString> X11DisplayProblem();

// Captures under X11, reading the screen directly. Needs the application object (xcb).
Capture CaptureOnX11(CaptureMode mode);

}  // namespace z900::screengrab
