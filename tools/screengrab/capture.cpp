#include "capture.h"

#include "region_overlay.h"

namespace z900::screengrab {

Capture CaptureFromDesktop(const QImage& desktop, CaptureMode mode,
                           const std::function<WindowFrame()>& active_frame) {
  if (desktop.isNull()) return Capture::Failed("cannot read the screen");
  switch (mode) {
    case CaptureMode::kDesktop:
      return Capture::Taken(desktop);
    case CaptureMode::kWindow: {
      const WindowFrame frame = active_frame();
      if (!frame.rect) return Capture::Failed(frame.error);
      const QRect visible = frame.rect->intersected(desktop.rect());
      if (visible.isEmpty()) return Capture::Failed("the active window is off the screen");
      return Capture::Taken(desktop.copy(visible));
    }
    case CaptureMode::kRegion: {
      const std::optional<QRect> area = ChooseRegion(desktop);
      if (!area) return Capture::Cancelled();
      return Capture::Taken(desktop.copy(*area));
    }
  }
  return Capture::Failed("unknown capture mode");
}

}  // namespace z900::screengrab
