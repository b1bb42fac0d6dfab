#include "ui/combo_dlg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include "config/function_catalogue.h"
#include "support/fake_desktop.h"
#include "support/fake_keyboard_hook.h"
#include "ui_fixture.h"

namespace z900::ui {
namespace {

using ::testing::ElementsAre;
using Box = keys::ComboKeyState::Box;

class ComboDlgTest : public ::testing::Test {
 protected:
  ComboDlgTest() {
    SetSkinPixelRatio(1.0);
    strings_.Set(i18n::StringKey::str_ok, u"OK");
  }

  // Runs the dialog; `act` runs once it shows. Returns the device code of the choice, or
  // nullopt for a cancel.
  std::optional<std::uint32_t> Run(platform::KeyboardHook* hook,
                                   const std::function<void(CComboDlg&)>& act) {
    CComboDlg dialog(strings_, hook, layout_);
    QTimer::singleShot(0, &dialog, [&] {
      act(dialog);
      key_text_ = dialog.KeyText();
      if (dialog.isVisible()) QTest::mouseClick(dialog.ok_button(), Qt::LeftButton);
    });
    const int result = dialog.exec();
    EXPECT_EQ(result == QDialog::Accepted, dialog.choice().has_value());
    if (!dialog.choice()) return std::nullopt;
    return config::MakeComboKeyBlock(dialog.choice()->display_mask, dialog.choice()->key_code)
        .device_code;
  }

  i18n::LanguageStrings strings_;
  z900::test::LetterLayout layout_;
  z900::test::FakeKeyboardHook hook_;
  platform::VirtualClock clock_;
  QString key_text_;
};

TEST_F(ComboDlgTest, KeysFromTheHookMakeTheCombination) {
  const auto code = Run(&hook_, [&](CComboDlg& dialog) {
    EXPECT_EQ(hook_.receiver, &dialog);
    EXPECT_TRUE(hook_.forwarding);
    hook_.Play(clock_, {{0, 0xA2, false}, {80, 'C', false}, {60, 'C', true}, {40, 0xA2, true}});
    EXPECT_TRUE(dialog.box(Box::kCtrlBox)->GetCheck());
    EXPECT_FALSE(dialog.box(Box::kShiftBox)->GetCheck());
  });
  EXPECT_EQ(code, 0x06020002u);
  EXPECT_EQ(key_text_, QStringLiteral("C")) << "the key area names the key alone";
  EXPECT_THAT(hook_.calls, ElementsAre("SetReceiveWindow", "SetHookStatus(1)", "SetHookStatus(0)",
                                       "SetReceiveWindow", "SetReceiveWindow"));
  EXPECT_EQ(hook_.receiver, nullptr);
}

TEST_F(ComboDlgTest, BoxesClickedByHandAndEmptyOk) {
  EXPECT_EQ(Run(&hook_,
                [](CComboDlg& dialog) {
                  QTest::mouseClick(dialog.box(Box::kCtrlBox), Qt::LeftButton);
                  QTest::mouseClick(dialog.box(Box::kShiftBox), Qt::LeftButton);
                }),
            0x00E00000u);
  // A box ticked by a key is cleared by a click; nothing left is a cancel.
  EXPECT_EQ(Run(&hook_,
                [&](CComboDlg& dialog) {
                  hook_.Play(clock_, {{0, 0x10, false}});
                  QTest::mouseClick(dialog.box(Box::kShiftBox), Qt::LeftButton);
                }),
            std::nullopt);
  EXPECT_EQ(
      Run(&hook_,
          [](CComboDlg& dialog) { QTest::mouseClick(dialog.close_button(), Qt::LeftButton); }),
      std::nullopt);
}

TEST_F(ComboDlgTest, EnterEscAndSpaceAreKeysWithoutAHook) {
  // Without a hook the dialog's own keys are the keys; none of them ends it.
  const auto code = Run(nullptr, [](CComboDlg& dialog) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Escape}) {
      QTest::keyClick(&dialog, key);
      EXPECT_TRUE(dialog.isVisible()) << key;
    }
    QTest::keyClick(&dialog, Qt::Key_Control);
  });
  EXPECT_EQ(key_text_, QStringLiteral("Esc"));
  EXPECT_EQ(code, 0x29020002u);  // Ctrl + Esc
}

}  // namespace
}  // namespace z900::ui
