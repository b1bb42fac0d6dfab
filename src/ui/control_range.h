#pragma once

#include <algorithm>

namespace z900::ui {

// minimum + (maximum − minimum) · numerator / denominator in integers, clamped to the range: how
// the slider and the progress bar turn a pointer position into a position. A denominator of
// zero or less gives the minimum.
inline int ScaleToRange(int minimum, int maximum, int numerator, int denominator) {
  if (denominator <= 0) return minimum;
  const long long position =
      minimum + static_cast<long long>(maximum - minimum) * numerator / denominator;
  return static_cast<int>(
      std::clamp<long long>(position, std::min(minimum, maximum), std::max(minimum, maximum)));
}

}  // namespace z900::ui
