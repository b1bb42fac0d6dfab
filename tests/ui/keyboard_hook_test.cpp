#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include "ui/in_window_keyboard_hook.h"

namespace z900::ui {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

class RecordingReceiver final : public platform::KeyReceiver {
 public:
  void OnHookKey(std::uint32_t virtual_key, std::uint32_t flags) override {
    keys.emplace_back(virtual_key, flags);
  }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> keys;
};

// Keys typed into the utility's windows reach the receiver once each, as the hook reports
// them, only while forwarding is on and the hook is installed.
TEST(InWindowKeyboardHookTest, ReportsEachTransitionOnceWhileForwarding) {
  QWidget window;
  auto* child = new QWidget(&window);
  child->setFocusPolicy(Qt::StrongFocus);
  window.show();
  child->setFocus();
  InWindowKeyboardHook hook;
  RecordingReceiver receiver;
  hook.SetReceiveWindow(&receiver);
  ASSERT_TRUE(hook.InstallHook());

  QTest::keyClick(window.windowHandle(), Qt::Key_A);  // forwarding is off
  hook.SetHookStatus(true);
  QTest::keyPress(window.windowHandle(), Qt::Key_A);
  QTest::keyRelease(window.windowHandle(), Qt::Key_A);
  QTest::keyClick(window.windowHandle(), Qt::Key_F5);
  hook.RemoveHook();
  QTest::keyClick(window.windowHandle(), Qt::Key_B);
  EXPECT_THAT(receiver.keys, ElementsAre(Pair(0x41u, 0u), Pair(0x41u, 0x80u), Pair(0x74u, 0u),
                                         Pair(0x74u, 0x80u)));
}

// On X the key's position decides, whatever it types: the X key code of the key left of S
// gives virtual key A also where it types Q.
TEST(InWindowKeyboardHookTest, KeyPositionComesBeforeTheKeyItTypes) {
  const QKeyEvent a_position(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, 38, 0, 0);
  EXPECT_EQ(VirtualKeyOf(a_position), 0x41u);
  const QKeyEvent no_position(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, 0, 0, 0);
  EXPECT_EQ(VirtualKeyOf(no_position), 0x1Bu);
  const QKeyEvent unknown(QEvent::KeyPress, Qt::Key_Launch0, Qt::NoModifier, 0, 0, 0);
  EXPECT_EQ(VirtualKeyOf(unknown), 0u);
}

}  // namespace
}  // namespace z900::ui
