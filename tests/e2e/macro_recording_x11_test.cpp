// The macro page on a real X server: keys typed by xdotool reach it through the X11 keyboard
// hook, become rows with their real pauses, and the stored record encodes for the mouse.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QTest>
#include <chrono>
#include <functional>

#include "config/app_context.h"
#include "i18n/language_strings.h"
#include "macro/macro_store.h"
#include "platform/clock.h"
#include "platform/key_store.h"
#include "platform/virtual_key.h"
#include "support/run_program.h"
#include "support/scripted_ui_port.h"
#include "support/session_bus.h"
#include "support/temp_folder.h"
#include "support/xvfb_display.h"
#include "ui/in_window_keyboard_hook.h"
#include "ui/macro_dlg.h"

namespace z900 {
namespace {

using ::testing::ElementsAre;
using ::testing::Ge;
using ::testing::Lt;

// Lets the application run until `done` holds; false after ten seconds.
bool RunUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

TEST(MacroRecordingX11Test, KeysTypedOnTheDesktopAreRecordedStoredAndEncoded) {
  test::XvfbDisplay xvfb;
  test::TempFolder home;
  // A bus of its own: the platform plugin talks to one, and a missing bus leaks in libdbus.
  test::SessionBus bus(home.path(), {});
  ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
  ::unsetenv("WAYLAND_DISPLAY");
  qputenv("QT_QPA_PLATFORM", "xcb");
  int argc = 1;
  char name[] = "macro_recording_x11_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);

  config::AppContext context;
  i18n::CXmlDocument document;
  ASSERT_TRUE(i18n::LoadLanguageStrings(document, Z900_LANGUAGE_FILE, context.strings));
  const std::unique_ptr<platform::KeyStore> store =
      platform::CreateSystemKeyStore(home.path() / "registry");
  ui::KeyboardHookChoice hook = ui::CreateKeyboardHook();
  ASSERT_TRUE(hook.system_wide) << hook.why;
  test::ScriptedUiPort port;
  ui::CMacroDlg page(context, *store, *hook.hook, true, platform::SystemClock(), port, nullptr);
  page.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));

  QTest::mouseClick(page.new_macro_button(), Qt::LeftButton);
  ASSERT_NE(page.macro_list()->rename_box(), nullptr);
  page.event_list()->setFocus();  // the default name stays
  QTest::mouseClick(page.record_button(), Qt::LeftButton);
  ASSERT_TRUE(page.editor().recording());

  // The page keeps running while xdotool types, so each key is taken when it comes.
  test::RunningProgram typing("/usr/bin/env",
                              {"xdotool", "key", "--delay", "200", "a", "Return", "Escape"});
  ASSERT_TRUE(RunUntil([&] { return page.event_list()->count() >= 11; }))
      << page.event_list()->count() << " rows";
  const test::ProgramResult typed = typing.Wait();
  ASSERT_EQ(typed.exit_code, 0) << typed.err;
  QTest::mouseClick(page.record_button(), Qt::LeftButton);

  const std::uint32_t id = page.editor().macros().back().tag;
  const std::optional<macro::MacroRecord> record = macro::LoadMacro(*store, id);
  ASSERT_TRUE(record);
  EXPECT_EQ(macro::MacroName(*record), u"New macro");
  const macro::LoadedMacro loaded = macro::LoadMacroToList(*record);
  std::vector<std::uint32_t> keys;
  for (const macro::MacroRow& row : loaded.rows) {
    if (row.kind() == macro::kRowDelay) {
      EXPECT_THAT(row.value(), Lt(5000u));
    } else {
      keys.push_back(row.tag);
    }
  }
  EXPECT_THAT(keys, ElementsAre(macro::RowTag(macro::kRowKeyDown, 'A'),
                                macro::RowTag(macro::kRowKeyUp, 'A'),
                                macro::RowTag(macro::kRowKeyDown, platform::kVkReturn),
                                macro::RowTag(macro::kRowKeyUp, platform::kVkReturn),
                                macro::RowTag(macro::kRowKeyDown, platform::kVkEscape),
                                macro::RowTag(macro::kRowKeyUp, platform::kVkEscape)));
  // xdotool holds each key for half of its 200 ms and waits the other half before the next.
  ASSERT_EQ(loaded.rows.size(), 11u);
  std::uint32_t paused = 0;
  for (const macro::MacroRow& row : loaded.rows) {
    if (row.kind() == macro::kRowDelay) paused += row.value();
  }
  EXPECT_THAT(paused, Ge(400u));

  char hex_id[16];
  std::snprintf(hex_id, sizeof hex_id, "%08x", id);
  const test::ProgramResult encoded = test::RunProgram(Z900CTL_PATH, {"macro", "encode", hex_id},
                                                       {{"Z900_HOME", home.path().string()}});
  EXPECT_EQ(encoded.exit_code, 0) << encoded.err;
  // Length 4 + 3 × 6 key events = 22 (0x16), loop count 1.
  EXPECT_THAT(encoded.out, ::testing::StartsWith("0000: 16 00 01 00"));
}

}  // namespace
}  // namespace z900
