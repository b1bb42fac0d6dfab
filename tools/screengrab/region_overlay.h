#pragma once

#include <QImage>
#include <QRect>
#include <optional>

namespace z900::screengrab {

// Title of the overlay window, by which scripts and tests find it.
inline constexpr char kRegionOverlayTitle[] = "z900-screengrab area";

// Shows the frozen desktop dimmed over every screen and lets the user drag the area to keep.
// Returns it in the image's pixels, or nullopt when the user pressed Esc or the right button.
std::optional<QRect> ChooseRegion(const QImage& desktop);

}  // namespace z900::screengrab
