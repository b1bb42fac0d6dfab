#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include "support/scripted_ui_port.h"
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
  std::string why;
  InWindowKeyboardHook hook(platform::CreateSystemKeyTranslator(why));
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

// The native key code, where the window system gives one, decides through the keymap; else
// Qt's key: the X key code of the key left of S gives virtual key A whatever Qt calls it.
TEST(InWindowKeyboardHookTest, NativeKeyCodeComesBeforeQtsKey) {
  std::string why;
  const std::unique_ptr<platform::KeyTranslator> keymap = platform::CreateSystemKeyTranslator(why);
  const QKeyEvent a_position(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, 38, 0, 0);
  EXPECT_EQ(VirtualKeyOfKeyEvent(a_position, *keymap), 0x41u);
  const QKeyEvent no_position(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, 0, 0, 0);
  EXPECT_EQ(VirtualKeyOfKeyEvent(no_position, *keymap), 0x1Bu);
  const QKeyEvent unknown(QEvent::KeyPress, Qt::Key_Launch0, Qt::NoModifier, 0, 0, 0);
  EXPECT_EQ(VirtualKeyOfKeyEvent(unknown, *keymap), std::nullopt);
}

// Only a hook that hears the utility's windows alone is worth a word to the user, once.
TEST(InWindowKeyboardHookTest, OnlyTheInWindowHookIsReported) {
  config::AppContext context;
  context.strings.Set(i18n::StringKey::str_macro_hint, u"Only in this window");
  z900::test::ScriptedUiPort ui;
  ReportKeyboardHook({nullptr, true, ""}, context, ui);
  EXPECT_THAT(ui.calls, ::testing::IsEmpty());
  ReportKeyboardHook({nullptr, false, "no X display"}, context, ui);
  EXPECT_THAT(ui.calls, ElementsAre("box Warning: Only in this window"));
}

}  // namespace
}  // namespace z900::ui
