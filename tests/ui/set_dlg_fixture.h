#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>
#include <optional>

#include "config/profiles.h"
#include "support/config_fixture.h"
#include "support/fake_desktop.h"
#include "ui/device_worker.h"
#include "ui/set_dlg.h"
#include "ui_fixture.h"

namespace z900::ui::test {

// The settings page over the simulated mouse on virtual time, with the scripted user of the
// configuration tests (`user` picks another UiPort), shown as an active window.
class SetDlgTest : public z900::test::ConfigTest {
 protected:
  SetDlgTest() { SetSkinPixelRatio(1.0); }

  // Builds and starts the page; profile files written before are what it loads.
  void Open(platform::UiPort* user = nullptr) {
    page_ports_ = std::make_unique<config::ConfigPorts>(
        config::ConfigPorts{channel, store, user != nullptr ? *user : ui, files});
    dlg = std::make_unique<CSetDlg>(context, SetDlgPorts{*page_ports_, layout, foreground, worker});
    dlg->show();
    QApplication::setActiveWindow(dlg.get());
    dlg->Initialise();
    worker.WaitUntilIdle();
    mouse.ClearWireLog();
    ui.calls.clear();
  }

  // A profile file holding the defaults (or `base`) under `name`.
  void WriteProfile(int index, std::u16string_view name,
                    const config::SettingsRecord* base = nullptr) {
    auto record = std::make_unique<config::SettingsRecord>();
    if (base != nullptr) {
      *record = *base;
    } else {
      config::BuildDefaultSettings(*record, context.strings);
    }
    platform::WriteFixedText(record->profile_name, name);
    std::vector<std::uint8_t> bytes = config::RecordBytes(*record);
    bytes.push_back(0);
    std::filesystem::create_directories(ProfilePath(index).parent_path());
    ASSERT_FALSE(platform::WriteFileAtomically(ProfilePath(index), bytes));
  }

  // Profiles "one", loaded, and "two", which switches on for `program`.
  void OpenWithSecondProfileFor(std::u16string_view program) {
    WriteProfile(0, u"one");
    WriteProfile(1, u"two");
    Open();
    context.profiles.entries[1].auto_switch = 1;
    platform::WriteFixedText(context.profiles.entries[1].program_name, program);
  }

  static void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }
  // Tabs act when the button goes down.
  static void Press(QWidget* tab) {
    QTest::mousePress(tab, Qt::LeftButton, Qt::NoModifier, tab->rect().center());
    QTest::mouseRelease(tab, Qt::LeftButton, Qt::NoModifier, tab->rect().center());
  }
  // Chooses a row of the open menu: the top-level row, then (unless -1) the sub-menu's row.
  void ChooseInMenu(int row, int sub_row) {
    CSkinMenuPopup* popup = dlg->menu().popup();
    ASSERT_NE(popup, nullptr);
    const QPoint at = popup->ItemRect(0, row).center();
    QMouseEvent move(QEvent::MouseMove, QPointF(at), popup->mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(popup, &move);
    QTest::mouseClick(popup, Qt::LeftButton, Qt::NoModifier,
                      popup->ItemRect(sub_row < 0 ? 0 : 1, sub_row < 0 ? row : sub_row).center());
  }

  config::SettingsRecord& settings() { return context.settings; }
  QString ButtonText(int button) const { return dlg->assignment_button(button)->text(); }

  z900::test::LetterLayout layout;
  z900::test::FakeForeground foreground;
  DeviceWorker worker;
  std::unique_ptr<config::ConfigPorts> page_ports_;
  std::unique_ptr<CSetDlg> dlg;
};

}  // namespace z900::ui::test
