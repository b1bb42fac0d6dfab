#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <string>

#include "config/app_context.h"
#include "platform/keyboard_hook.h"
#include "platform/keyboard_layout.h"
#include "platform/ui_port.h"

class QKeyEvent;

namespace z900::ui {

// The keyboard hook where no program may watch the whole desktop (Wayland): the key events of
// the utility's own windows, as they reach each window, become the same key messages. Keys
// typed into other programs are not heard.
class InWindowKeyboardHook final : public QObject, public platform::KeyboardHook {
 public:
  explicit InWindowKeyboardHook(std::unique_ptr<platform::KeyTranslator> translator);
  ~InWindowKeyboardHook() override;

  bool InstallHook() override;
  void RemoveHook() override;
  void SetHookStatus(bool forward) override { forwarding_ = forward; }
  void SetReceiveWindow(platform::KeyReceiver* receiver) override { receiver_ = receiver; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::unique_ptr<platform::KeyTranslator> translator_;
  bool installed_ = false;
  bool forwarding_ = false;
  platform::KeyReceiver* receiver_ = nullptr;
};

// The virtual key of a key event: by its native key code where the window system gives one,
// else by Qt's key (the left one of two modifiers).
std::optional<std::uint32_t> VirtualKeyOfKeyEvent(const QKeyEvent& event,
                                                  const platform::KeyTranslator& translator);

// The keyboard hook the utility uses, installed.
struct KeyboardHookChoice {
  std::unique_ptr<platform::KeyboardHook> hook;
  // False for the in-window hook, which hears only keys typed into the utility's windows.
  bool system_wide = false;
  std::string why;  // why the desktop's keys cannot be heard
};
// The desktop's own hook where keys can be watched (X11 with XInput2), else the in-window hook.
// Call once at start-up, on the ui thread, with the application running.
KeyboardHookChoice CreateKeyboardHook();

// Tells the user once, in a warning box in their language, when keys are heard only in the
// utility's windows; the reason goes to standard error.
void ReportKeyboardHook(const KeyboardHookChoice& choice, const config::AppContext& context,
                        platform::UiPort& ui);

}  // namespace z900::ui
