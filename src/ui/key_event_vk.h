#pragma once

#include <cstdint>

class QKeyEvent;

namespace z900::ui {

// The virtual-key code of a key event the window itself received: from the key's position
// (the native scan code, an X or Wayland key code) where the platform gives one, else from
// Qt's key for the common keys. 0 when neither tells.
std::uint32_t VirtualKeyOfKeyEvent(const QKeyEvent& event);

}  // namespace z900::ui
