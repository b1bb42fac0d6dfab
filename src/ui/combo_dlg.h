#pragma once

#include <array>
#include <optional>

#include "i18n/language_strings.h"
#include "keys/combo_keys.h"
#include "platform/keyboard_hook.h"
#include "platform/keyboard_layout.h"
#include "platform/ui_port.h"
#include "ui/skinned_dialog.h"

namespace z900::ui {

// The combination-key dialog: the user presses the combination (any key, Enter and Esc
// included), or ticks the modifier boxes by hand. Keys come from the keyboard hook while the
// dialog shows; without a hook, from the keys pressed while the dialog has the focus. Enter,
// Esc and Space neither confirm nor cancel it.
class CComboDlg : public SkinnedDialog, public platform::KeyReceiver {
  Q_OBJECT

 public:
  CComboDlg(const i18n::LanguageStrings& strings, platform::KeyboardHook* hook,
            const platform::KeyboardLayout& layout, QWidget* parent = nullptr);
  ~CComboDlg() override;

  // After OK: the combination; nullopt after the close button, or OK with nothing chosen.
  const std::optional<platform::ComboKeyChoice>& choice() const { return choice_; }

  void OnHookKey(std::uint32_t virtual_key, std::uint32_t flags) override;

  CGDIBitmapBtn* box(keys::ComboKeyState::Box box) const { return boxes_[box]; }
  CGDIBitmapBtn* ok_button() const { return ok_; }
  CGDIBitmapBtn* close_button() const { return close_; }
  // The name of the chosen key alone, as the key area shows it.
  QString KeyText() const;

  void reject() override { Close(); }

 protected:
  void PaintContent(QPainter& painter) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void Accept();
  void Close();
  void StopHook();
  void ShowState();

  platform::KeyboardHook* hook_;
  const platform::KeyboardLayout& layout_;
  keys::ComboKeyState state_;
  std::optional<platform::ComboKeyChoice> choice_;
  QString title_;
  QString hint_;
  std::array<CGDIBitmapBtn*, keys::ComboKeyState::kBoxCount> boxes_{};
  CGDIBitmapBtn* ok_;
  CGDIBitmapBtn* close_;
};

}  // namespace z900::ui
