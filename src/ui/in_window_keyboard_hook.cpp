#include "ui/in_window_keyboard_hook.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <iostream>
#include <utility>

#include "platform/virtual_key.h"
#include "ui/qt_ui_port.h"

namespace z900::ui {
namespace {

using namespace platform;

// Qt's keys of the keys that have a virtual-key code without a position to go by.
constexpr std::pair<int, std::uint32_t> kQtKeys[] = {
    {Qt::Key_Backspace, kVkBack},   {Qt::Key_Tab, kVkTab},         {Qt::Key_Backtab, kVkTab},
    {Qt::Key_Return, kVkReturn},    {Qt::Key_Enter, kVkReturn},    {Qt::Key_Shift, kVkLShift},
    {Qt::Key_Control, kVkLControl}, {Qt::Key_Alt, kVkLMenu},       {Qt::Key_AltGr, kVkRMenu},
    {Qt::Key_Meta, kVkLWin},        {Qt::Key_Super_L, kVkLWin},    {Qt::Key_Super_R, kVkRWin},
    {Qt::Key_Menu, kVkApps},        {Qt::Key_Pause, kVkPause},     {Qt::Key_CapsLock, kVkCapital},
    {Qt::Key_Escape, kVkEscape},    {Qt::Key_Space, kVkSpace},     {Qt::Key_PageUp, kVkPrior},
    {Qt::Key_PageDown, kVkNext},    {Qt::Key_End, kVkEnd},         {Qt::Key_Home, kVkHome},
    {Qt::Key_Left, kVkLeft},        {Qt::Key_Up, kVkUp},           {Qt::Key_Right, kVkRight},
    {Qt::Key_Down, kVkDown},        {Qt::Key_Print, kVkSnapshot},  {Qt::Key_Insert, kVkInsert},
    {Qt::Key_Delete, kVkDelete},    {Qt::Key_NumLock, kVkNumLock}, {Qt::Key_ScrollLock, kVkScroll},
};

std::optional<std::uint32_t> VirtualKeyOfQtKey(int key, Qt::KeyboardModifiers modifiers) {
  const bool keypad = (modifiers & Qt::KeypadModifier) != 0;
  if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    return (keypad ? kVkNumpad0 : kVk0) + static_cast<std::uint32_t>(key - Qt::Key_0);
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z)
    return kVkA + static_cast<std::uint32_t>(key - Qt::Key_A);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
    return kVkF1 + static_cast<std::uint32_t>(key - Qt::Key_F1);
  }
  for (const auto& [qt_key, virtual_key] : kQtKeys) {
    if (qt_key == key) return virtual_key;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::uint32_t> VirtualKeyOfKeyEvent(const QKeyEvent& event,
                                                  const KeyTranslator& translator) {
  if (const std::uint32_t native =
          NativeKeyOfEvent(event.nativeScanCode(), event.nativeVirtualKey())) {
    return translator.VirtualKeyOf(native);
  }
  return VirtualKeyOfQtKey(event.key(), event.modifiers());
}

InWindowKeyboardHook::InWindowKeyboardHook(std::unique_ptr<KeyTranslator> translator)
    : translator_(std::move(translator)) {}

InWindowKeyboardHook::~InWindowKeyboardHook() { RemoveHook(); }

bool InWindowKeyboardHook::InstallHook() {
  if (QCoreApplication::instance() == nullptr) return false;
  if (!installed_) QCoreApplication::instance()->installEventFilter(this);
  installed_ = true;
  return true;
}

void InWindowKeyboardHook::RemoveHook() {
  if (installed_ && QCoreApplication::instance() != nullptr) {
    QCoreApplication::instance()->removeEventFilter(this);
  }
  installed_ = false;
  forwarding_ = false;
}

bool InWindowKeyboardHook::eventFilter(QObject* watched, QEvent* event) {
  // A key event reaches its window first and then, maybe, several widgets: the window counts.
  const bool key_event = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
  if (key_event && forwarding_ && receiver_ != nullptr && watched->isWindowType()) {
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (const std::optional<std::uint32_t> virtual_key = VirtualKeyOfKeyEvent(key, *translator_)) {
      receiver_->OnHookKey(*virtual_key,
                           event->type() == QEvent::KeyRelease ? kKeyReleasedFlag : 0);
    }
  }
  return QObject::eventFilter(watched, event);
}

KeyboardHookChoice CreateKeyboardHook() {
  KeyboardHookChoice choice;
  choice.hook = CreateSystemKeyboardHook(UiThreadPoster(), choice.why);
  choice.system_wide = choice.hook != nullptr;
  if (!choice.hook) {
    std::string layout_why;
    auto hook = std::make_unique<InWindowKeyboardHook>(CreateSystemKeyTranslator(layout_why));
    hook->InstallHook();
    choice.hook = std::move(hook);
  }
  return choice;
}

void ReportKeyboardHook(const KeyboardHookChoice& choice, const config::AppContext& context,
                        UiPort& ui) {
  if (choice.system_wide) return;
  std::cerr << "z900-config: keys of other programs cannot be heard: " << choice.why << '\n';
  ui.ShowStandardBox(context.Text(i18n::StringKey::str_macro_hint), u"Warning");
}

}  // namespace z900::ui
