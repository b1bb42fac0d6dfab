#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <functional>
#include <optional>

#include "grab_options.h"

namespace z900::screengrab {

// The outcome of one capture: the picture, the user's cancel, or a failure with its reason.
struct Capture {
  enum class Outcome { kTaken, kCancelled, kFailed };
  Outcome outcome = Outcome::kFailed;
  QImage image;
  QString message;

  static Capture Taken(QImage image) { return {Outcome::kTaken, std::move(image), {}}; }
  static Capture Cancelled() { return {Outcome::kCancelled, {}, {}}; }
  static Capture Failed(QString message) { return {Outcome::kFailed, {}, std::move(message)}; }
};

// The active window's frame on the screen, in the screen's own pixels, or why there is none.
struct WindowFrame {
  std::optional<QRect> rect;
  QString error;
};

// The capture of `mode` from a picture of the whole desktop: all of it, the active window's frame
// (asked for through `active_frame`), or the area the user drags.
Capture CaptureFromDesktop(const QImage& desktop, CaptureMode mode,
                           const std::function<WindowFrame()>& active_frame);

}  // namespace z900::screengrab
