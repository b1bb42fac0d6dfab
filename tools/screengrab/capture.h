#pragma once

#include <QImage>
#include <QString>

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

}  // namespace z900::screengrab
