#include "ui/in_window_keyboard_hook.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include "platform/linux/evdev_key_map.h"
#include "platform/virtual_key.h"

namespace z900::ui {
namespace {

// X key codes are the input key codes plus 8.
constexpr std::uint32_t kXKeyCodeOffset = 8;

std::uint32_t VirtualKeyOfQtKey(int key) {
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
    return static_cast<std::uint32_t>(key);  // the same codes as the virtual keys
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
    return platform::kVkF1 + static_cast<std::uint32_t>(key - Qt::Key_F1);
  }
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return platform::kVkReturn;
    case Qt::Key_Escape:
      return platform::kVkEscape;
    case Qt::Key_Space:
      return platform::kVkSpace;
    case Qt::Key_Tab:
      return platform::kVkTab;
    case Qt::Key_Backspace:
      return platform::kVkBack;
    case Qt::Key_Shift:
      return platform::kVkShift;
    case Qt::Key_Control:
      return platform::kVkControl;
    case Qt::Key_Alt:
      return platform::kVkMenu;
    default:
      return 0;
  }
}

}  // namespace

std::uint32_t VirtualKeyOf(const QKeyEvent& event) {
  const std::uint32_t scan_code = event.nativeScanCode();
  if (scan_code > kXKeyCodeOffset) {
    if (const auto key = platform::VirtualKeyOfEvdevCode(scan_code - kXKeyCodeOffset)) return *key;
  }
  return VirtualKeyOfQtKey(event.key());
}

bool InWindowKeyboardHook::InstallHook() {
  if (!installed_) QCoreApplication::instance()->installEventFilter(this);
  installed_ = true;
  return true;
}

void InWindowKeyboardHook::RemoveHook() {
  if (installed_) QCoreApplication::instance()->removeEventFilter(this);
  installed_ = false;
}

bool InWindowKeyboardHook::eventFilter(QObject* watched, QEvent* event) {
  // A key event reaches the window first and then the widgets in it: taken at the window, each
  // transition is reported once.
  const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
  if (key && forwarding_ && receiver_ != nullptr && watched->isWindowType()) {
    const auto& key_event = static_cast<const QKeyEvent&>(*event);
    if (const std::uint32_t code = VirtualKeyOf(key_event)) {
      receiver_->OnHookKey(code,
                           event->type() == QEvent::KeyRelease ? platform::kKeyReleasedFlag : 0);
    }
  }
  return false;
}

}  // namespace z900::ui
