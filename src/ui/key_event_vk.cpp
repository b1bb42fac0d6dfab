#include "ui/key_event_vk.h"

#include <QKeyEvent>
#include <utility>

#include "platform/keyboard_layout.h"
#include "platform/virtual_key.h"

namespace z900::ui {
namespace {

constexpr std::pair<int, std::uint32_t> kQtKeys[] = {
    {Qt::Key_Return, platform::kVkReturn},   {Qt::Key_Enter, platform::kVkReturn},
    {Qt::Key_Escape, platform::kVkEscape},   {Qt::Key_Space, platform::kVkSpace},
    {Qt::Key_Tab, platform::kVkTab},         {Qt::Key_Backspace, platform::kVkBack},
    {Qt::Key_Insert, platform::kVkInsert},   {Qt::Key_Delete, platform::kVkDelete},
    {Qt::Key_Home, platform::kVkHome},       {Qt::Key_End, platform::kVkEnd},
    {Qt::Key_PageUp, platform::kVkPrior},    {Qt::Key_PageDown, platform::kVkNext},
    {Qt::Key_Left, platform::kVkLeft},       {Qt::Key_Right, platform::kVkRight},
    {Qt::Key_Up, platform::kVkUp},           {Qt::Key_Down, platform::kVkDown},
    {Qt::Key_Control, platform::kVkControl}, {Qt::Key_Shift, platform::kVkShift},
    {Qt::Key_Alt, platform::kVkMenu},        {Qt::Key_Meta, platform::kVkLWin},
};

}  // namespace

std::uint32_t VirtualKeyOfKeyEvent(const QKeyEvent& event) {
  if (const std::optional<std::uint32_t> key = platform::VirtualKeyAtPosition(
          platform::NativeKeyOfEvent(event.nativeScanCode(), event.nativeVirtualKey()))) {
    return *key;
  }
  const int key = event.key();
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
    return static_cast<std::uint32_t>(key);  // the same codes as the virtual keys
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
    return platform::kVkF1 + static_cast<std::uint32_t>(key - Qt::Key_F1);
  }
  for (const auto& [qt_key, virtual_key] : kQtKeys) {
    if (qt_key == key) return virtual_key;
  }
  return 0;
}

}  // namespace z900::ui
