#pragma once

#include <QObject>
#include <cstdint>

#include "platform/keyboard_hook.h"

class QKeyEvent;

namespace z900::ui {

// The keyboard hook where keys of the whole desktop cannot be watched: the key transitions
// that reach the utility's own windows, each reported once with its virtual-key code and the
// released flag, as the desktop-wide hook reports them.
class InWindowKeyboardHook final : public QObject, public platform::KeyboardHook {
 public:
  bool InstallHook() override;
  void RemoveHook() override;
  void SetHookStatus(bool forward) override { forwarding_ = forward; }
  void SetReceiveWindow(platform::KeyReceiver* receiver) override { receiver_ = receiver; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool installed_ = false;
  bool forwarding_ = false;
  platform::KeyReceiver* receiver_ = nullptr;
};

// The virtual-key code of a key event: from the key's position where the window system tells
// it (an X key code), else from the key itself for letters, digits and a few named keys; 0 when
// it is not known.
std::uint32_t VirtualKeyOf(const QKeyEvent& event);

}  // namespace z900::ui
