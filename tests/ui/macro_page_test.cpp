#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTest>
#include <memory>

#include "config/app_context.h"
#include "i18n/language_strings.h"
#include "macro/macro_store.h"
#include "platform/memory_key_store.h"
#include "platform/virtual_clock.h"
#include "platform/virtual_key.h"
#include "support/scripted_ui_port.h"
#include "support/temp_folder.h"
#include "ui/dlg_macro.h"
#include "ui/in_window_keyboard_hook.h"
#include "ui/macro_dlg.h"
#include "ui_fixture.h"

namespace z900::ui {
namespace {

using macro::DelayRow;
using macro::MacroRow;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

MacroRow Down(std::uint32_t key) { return macro::KeyRow(macro::kRowKeyDown, key); }
MacroRow Up(std::uint32_t key) { return macro::KeyRow(macro::kRowKeyUp, key); }

// The texts a list shows.
std::vector<std::string> Texts(const CListBoxEx& list) {
  std::vector<std::string> texts;
  for (int i = 0; i < list.count(); ++i) texts.push_back(list.item(i)->text().toStdString());
  return texts;
}

void ClickRow(CListBoxEx& list, int row) {
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                    list.visualItemRect(list.item(row)).center());
}

void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

void Type(QLineEdit* box, const QString& text) {
  box->selectAll();
  QTest::keyClicks(box, text);
}

// The page in a window of its own, with the in-window keyboard hook: keys reach it as they
// reach the window, and time runs on the virtual clock.
class MacroPageTest : public test::ActiveWindowTest {
 protected:
  MacroPageTest() {
    i18n::CXmlDocument document;
    EXPECT_TRUE(i18n::LoadLanguageStrings(document, Z900_LANGUAGE_FILE, context.strings));
    context.paths.module_directory = test::ProgramFolder();
    window.resize(kMainWindowPageRect.size());
    hook.InstallHook();
  }

  void Store(std::uint32_t id, std::u16string_view name, std::vector<MacroRow> rows) {
    ASSERT_TRUE(macro::SaveMacro(store, macro::BuildMacroRecord(rows, id, name, u"1").record));
  }
  std::vector<MacroRow> Stored(std::uint32_t id) {
    const std::optional<macro::MacroRecord> record = macro::LoadMacro(store, id);
    return record ? macro::LoadMacroToList(*record).rows : std::vector<MacroRow>{};
  }
  CMacroDlg& Open() {
    page.reset();
    page = std::make_unique<CMacroDlg>(context, store, hook, false, clock, ui, &window);
    page->show();
    return *page;
  }
  // A macro 0xA1 with these rows, shown with the row `selected` clicked.
  CMacroDlg& OpenWith(std::vector<MacroRow> rows, int selected) {
    Store(0xA1, u"Keys", std::move(rows));
    CMacroDlg& shown = Open();
    ClickRow(*shown.event_list(), selected);
    return shown;
  }
  // One key transition as the window system delivers it to the window.
  void Key(int qt_key, bool released, quint32 native_key = 0) {
    QKeyEvent event(released ? QEvent::KeyRelease : QEvent::KeyPress, qt_key, Qt::NoModifier,
                    native_key, 0, 0);
    QApplication::sendEvent(window.windowHandle(), &event);
  }
  void Press(int qt_key) {
    Key(qt_key, false);
    Key(qt_key, true);
  }
  // Inserts a delay with the given text at the selected row.
  void InsertDelay(CMacroDlg& shown, const QString& text) {
    Click(shown.insert_button());
    Click(shown.delay_choice());
    Type(shown.value_box(), text);
    Click(shown.ok_button());
  }

  config::AppContext context;
  platform::MemoryKeyStore store;
  std::string layout_why;
  InWindowKeyboardHook hook{platform::CreateSystemKeyTranslator(layout_why)};
  platform::VirtualClock clock{0x00100000};
  z900::test::ScriptedUiPort ui;
  std::unique_ptr<CMacroDlg> page;
};

TEST_F(MacroPageTest, ControlsSitAtTheirPlacesWithTheCoversOverTheCommands) {
  CMacroDlg& shown = Open();
  EXPECT_EQ(shown.size(), QSize(820, 456));
  EXPECT_EQ(shown.macro_list()->geometry(), RectLTRB(98, 44, 307, 288));
  EXPECT_EQ(shown.event_list()->geometry(), RectLTRB(318, 44, 527, 288));
  EXPECT_EQ(shown.record_button()->geometry(), RectLTRB(563, 71, 688, 98));
  EXPECT_EQ(shown.ok_button()->geometry(), RectLTRB(672, 233, 724, 259));
  EXPECT_EQ(shown.record_button()->text(), "Start recording");
  EXPECT_EQ(shown.modify_button()->toolTip(), "Edit event");
  EXPECT_TRUE(shown.upper_cover()->isVisible());
  EXPECT_TRUE(shown.lower_cover()->isVisible());
  EXPECT_FALSE(shown.key_choice()->isVisible());
  EXPECT_FALSE(shown.value_box()->isVisible());
  EXPECT_EQ(shown.loop_box()->text(), "1");
  EXPECT_EQ(shown.loop_timer()->interval(), 2000);
  EXPECT_TRUE(shown.loop_timer()->isActive());
}

TEST_F(MacroPageTest, ANewMacroLeftWithoutRowsIsGoneAfterARestart) {
  Store(0xA1, u"Kept", {Down('K')});
  CMacroDlg& shown = Open();
  Click(shown.new_macro_button());
  QLineEdit* box = shown.macro_list()->rename_box();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), "New macro");
  EXPECT_EQ(box->selectedText(), "New macro");
  QTest::keyClicks(box, "Copy it");
  shown.event_list()->setFocus();
  ClickRow(*shown.macro_list(), 0);
  EXPECT_EQ(shown.macro_list()->rename_box(), nullptr);
  EXPECT_THAT(Texts(*shown.macro_list()), ElementsAre("Kept", "Copy it"));
  EXPECT_THAT(macro::ListMacros(store), ElementsAre(macro::MacroListEntry{0xA1, u"Kept"}));
  EXPECT_THAT(Texts(*Open().macro_list()), ElementsAre("Kept"));
}

// The rename box takes blanks and as many characters as the record holds; Enter confirms the
// name, as losing the focus does, and Escape does nothing.
TEST_F(MacroPageTest, TheRenameBoxTakesTheWholeNameAndEnterConfirmsIt) {
  Store(0xA1, u"First", {Down('A')});
  Store(0xB2, u"Second", {Down('B')});
  CMacroDlg& shown = Open();
  QTest::mouseDClick(shown.macro_list()->viewport(), Qt::LeftButton, {},
                     shown.macro_list()->visualItemRect(shown.macro_list()->item(0)).center());
  QLineEdit* box = shown.macro_list()->rename_box();
  ASSERT_NE(box, nullptr);
  QTest::keyClicks(box, "Hello macro 12345678");
  EXPECT_EQ(box->text(), "Hello macro 1234567");  // the record's nineteen
  QTest::keyClick(box, Qt::Key_Escape);
  EXPECT_EQ(shown.macro_list()->rename_box(), box);
  EXPECT_THAT(Texts(*shown.macro_list()), ElementsAre("First", "Second"));
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(shown.macro_list()->rename_box(), nullptr);
  EXPECT_THAT(Texts(*shown.macro_list()), ElementsAre("Hello macro 1234567", "Second"));
  EXPECT_THAT(macro::ListMacros(store),
              ElementsAre(macro::MacroListEntry{0xA1, u"Hello macro 1234567"},
                          macro::MacroListEntry{0xB2, u"Second"}));
  // The renamed macro is the selected one, with its rows.
  EXPECT_EQ(shown.macro_list()->SelectedRow(), 0u);
  EXPECT_THAT(Texts(*shown.event_list()), ElementsAre("A"));

  store.set_fail_writes(true);
  QTest::mouseDClick(shown.macro_list()->viewport(), Qt::LeftButton, {},
                     shown.macro_list()->visualItemRect(shown.macro_list()->item(1)).center());
  shown.event_list()->setFocus();
  EXPECT_THAT(ui.calls, ElementsAre("box Warning:       Rename Error     "));
}

TEST_F(MacroPageTest, APressedButtonTakesTheFocusSoRecordedKeysReachNoBox) {
  Store(0xA1, u"Kept", {Down('K')});
  CMacroDlg& shown = Open();
  Click(shown.new_macro_button());
  ASSERT_NE(shown.macro_list()->rename_box(), nullptr);
  Click(shown.record_button());
  EXPECT_EQ(shown.macro_list()->rename_box(), nullptr);
  Press(Qt::Key_A);
  Click(shown.record_button());
  EXPECT_THAT(Texts(*shown.macro_list()), ElementsAre("Kept", "New macro"));
  EXPECT_THAT(Texts(*shown.event_list()), ElementsAre("A", "0  ms", "A"));

  QTest::mouseClick(shown.loop_box(), Qt::LeftButton);
  ASSERT_TRUE(shown.loop_box()->hasFocus());
  Click(shown.record_button());
  Press(Qt::Key_5);
  Click(shown.record_button());
  EXPECT_EQ(shown.loop_box()->text(), "1");
  EXPECT_THAT(Texts(*shown.event_list()), ElementsAre("5", "0  ms", "5"));
  EXPECT_EQ(macro::ListMacros(store).back().name, u"New macro");
}

TEST_F(MacroPageTest, DeletingTheOnlyRowKeepsTheRecordAndTheCurrentMacroIsNotReloaded) {
  Store(0xA1, u"One", {Down('Q')});
  Store(0xB2, u"Other", {Down('W'), Up('W')});
  CMacroDlg& shown = Open();
  ClickRow(*shown.macro_list(), 0);
  ClickRow(*shown.event_list(), 0);
  Click(shown.delete_event_button());
  EXPECT_THAT(Texts(*shown.event_list()), IsEmpty());
  EXPECT_THAT(Stored(0xA1), ElementsAre(Down('Q')));
  ClickRow(*shown.macro_list(), 0);  // already the current macro
  EXPECT_THAT(Texts(*shown.event_list()), IsEmpty());
  ClickRow(*shown.macro_list(), 1);
  ClickRow(*shown.macro_list(), 0);
  EXPECT_THAT(Texts(*shown.event_list()), ElementsAre("Q"));
}

TEST_F(MacroPageTest, InsertingDelays) {
  struct Case {
    const char* name;
    std::vector<MacroRow> rows;
    int selected;
    QString text;
    std::vector<std::string> shown;
  };
  const Case cases[] = {
      {"on the first row nothing", {Down('A'), Up('A')}, 0, "100", {"A", "A"}},
      {"merged up to the cap",
       {Down('A'), DelayRow(327500), Up('A')},
       2,
       "300",
       {"A", "327670  ms", "A"}},
      {"minus five", {Down('A'), Up('A')}, 1, "-5", {"A", "16777211  ms", "A"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CMacroDlg& shown = OpenWith(c.rows, c.selected);
    InsertDelay(shown, c.text);
    EXPECT_THAT(Texts(*shown.event_list()), ::testing::ContainerEq(c.shown));
    EXPECT_TRUE(shown.upper_cover()->isVisible());
    EXPECT_TRUE(shown.lower_cover()->isVisible());
    EXPECT_FALSE(shown.ok_button()->isVisible());
    EXPECT_EQ(shown.PromptText(), "");
  }
}

TEST_F(MacroPageTest, InsertingAKeyBeforeTheFourthRow) {
  CMacroDlg& shown = OpenWith({Down('A'), DelayRow(10), Up('A'), Down('C'), Up('C')}, 3);
  Click(shown.insert_button());
  EXPECT_FALSE(shown.upper_cover()->isVisible());
  EXPECT_TRUE(shown.key_choice()->isVisible());
  EXPECT_FALSE(shown.key_choice()->GetCheck());
  Click(shown.key_choice());
  EXPECT_TRUE(shown.key_choice()->GetCheck());
  EXPECT_FALSE(shown.lower_cover()->isVisible());
  EXPECT_EQ(shown.PromptText(), "Press the key to insert.");
  Press(Qt::Key_B);
  EXPECT_EQ(shown.value_box()->text(), "B");
  Click(shown.ok_button());
  EXPECT_THAT(Texts(*shown.event_list()), ElementsAre("A", "10  ms", "A", "B", "B", "C", "C"));
  EXPECT_EQ(shown.event_list()->SelectedRow(), 4u);
  EXPECT_EQ(shown.event_list()->RowTag(3) >> 24, macro::kRowKeyDown);
  EXPECT_EQ(shown.event_list()->RowTag(4) >> 24, macro::kRowKeyUp);
  EXPECT_THAT(Stored(0xA1), ElementsAre(Down('A'), DelayRow(10), Up('A'), Down('B'), Up('B'),
                                        Down('C'), Up('C')));
}

TEST_F(MacroPageTest, ModifyingRows) {
  CMacroDlg& shown = OpenWith({Down('A'), DelayRow(10), Up('A')}, 0);
  Click(shown.modify_button());
  EXPECT_EQ(shown.PromptText(), "Press the new key, or type the delay.");
  EXPECT_TRUE(shown.value_box()->hasFocus());
  // The right Ctrl, as the window system names its key.
  Key(Qt::Key_Control, false, 97 + 8);
  EXPECT_EQ(shown.value_box()->text(), "R_Ctrl");
  QTest::keyClicks(shown.value_box(), "x");  // the box names the key, whatever is typed
  EXPECT_EQ(shown.value_box()->text(), "R_Ctrl");
  Click(shown.ok_button());
  EXPECT_THAT(Stored(0xA1), ElementsAre(Down(platform::kVkRControl), DelayRow(10), Up('A')));

  ClickRow(*shown.event_list(), 1);
  Click(shown.modify_button());
  Type(shown.value_box(), "-5");
  Click(shown.ok_button());
  EXPECT_THAT(Texts(*shown.event_list()), ElementsAre("R_Ctrl", "16777215  ms", "A"));
}

TEST_F(MacroPageTest, OkAfterInsertAndThenModifyCarriesOutTheInsert) {
  CMacroDlg& shown = OpenWith({Down('A'), DelayRow(10), Up('A')}, 1);
  Click(shown.insert_button());
  Click(shown.delay_choice());
  EXPECT_TRUE(shown.value_box()->hasFocus());
  Type(shown.value_box(), "40");
  Click(shown.modify_button());
  EXPECT_TRUE(shown.key_choice()->isVisible());
  Type(shown.value_box(), "40");
  Click(shown.ok_button());
  EXPECT_THAT(Texts(*shown.event_list()), ElementsAre("A", "50  ms", "A"));
}

TEST_F(MacroPageTest, TheLoopBoxStoresAtOnceAndShowsOneWithinTwoSeconds) {
  CMacroDlg& shown = OpenWith({Down('A'), Up('A')}, 0);
  Type(shown.loop_box(), "0");
  EXPECT_EQ(macro::LoadMacro(store, 0xA1)->loop_count, 1u);
  EXPECT_EQ(shown.loop_box()->text(), "0");
  shown.TidyLoopBox();  // what the loop timer runs every two seconds
  EXPECT_EQ(shown.loop_box()->text(), "1");
  Type(shown.loop_box(), "12x");  // digits only
  EXPECT_EQ(shown.loop_box()->text(), "12");
  EXPECT_EQ(macro::LoadMacro(store, 0xA1)->loop_count, 12u);
}

TEST_F(MacroPageTest, SavesTakeTheStoreLockAndLeaveItFree) {
  const z900::test::TempFolder data;
  context.paths.store_lock_file = data.path() / "z900.lock";
  CMacroDlg& shown = OpenWith({Down('A'), Up('A')}, 0);
  EXPECT_FALSE(std::filesystem::exists(context.paths.store_lock_file));
  Type(shown.loop_box(), "4");
  EXPECT_EQ(macro::LoadMacro(store, 0xA1)->loop_count, 4u);
  EXPECT_TRUE(std::filesystem::exists(context.paths.store_lock_file));
  std::error_code error;
  EXPECT_NE(platform::LockFile(context.paths.store_lock_file, platform::LockMode::kExclusive, false,
                               error),
            nullptr)
      << error.message();
}

// Another program's exclusive hold of the store lock: an open file description of its own.
std::unique_ptr<platform::FileLock> HoldStoreLock(const std::filesystem::path& file) {
  std::error_code error;
  std::unique_ptr<platform::FileLock> lock =
      platform::LockFile(file, platform::LockMode::kExclusive, false, error);
  EXPECT_NE(lock, nullptr) << error.message();
  return lock;
}

TEST_F(MacroPageTest, WhileAnotherProgramHoldsTheStoreLockChangesWaitAndLandOnceItIsFree) {
  const z900::test::TempFolder data;
  context.paths.store_lock_file = data.path() / "z900.lock";
  Store(0xA1, u"Used", {Down('A'), Up('A')});
  Store(0xB2, u"Free", {Down('B')});
  config::MacroIdOf(context.profiles.entries[3], 1, 5) = 0xA1;
  CMacroDlg& shown = Open();
  ClickRow(*shown.macro_list(), 0);
  std::unique_ptr<platform::FileLock> other = HoldStoreLock(context.paths.store_lock_file);

  // Each command returns at once; the page shows that its changes wait.
  Type(shown.loop_box(), "4");
  Click(shown.delete_macro_button());
  EXPECT_THAT(Texts(*shown.macro_list()), ElementsAre("Free"));
  EXPECT_TRUE(shown.testAttribute(Qt::WA_SetCursor));
  EXPECT_EQ(shown.cursor().shape(), Qt::BusyCursor);
  EXPECT_TRUE(shown.store_timer()->isActive());
  EXPECT_EQ(shown.store_timer()->interval(), kStoreRetryMs);
  shown.WriteWaitingChanges();  // still held
  EXPECT_EQ(macro::LoadMacro(store, 0xA1)->loop_count, 1u);
  EXPECT_THAT(ui.calls, IsEmpty());

  other.reset();
  shown.WriteWaitingChanges();
  EXPECT_EQ(macro::LoadMacro(store, 0xA1)->loop_count, 4u);
  // The in-use check ran under the lock: the deletion is refused and the macro is back.
  EXPECT_THAT(ui.calls,
              ElementsAre("message: This macro is assigned to a button and cannot be deleted."));
  EXPECT_THAT(Texts(*shown.macro_list()), ElementsAre("Used", "Free"));
  EXPECT_EQ(shown.macro_list()->SelectedRow(), 0);
  EXPECT_THAT(Texts(*shown.event_list()), ElementsAre("A", "A"));
  EXPECT_FALSE(shown.testAttribute(Qt::WA_SetCursor));
  EXPECT_FALSE(shown.store_timer()->isActive());
  EXPECT_NE(HoldStoreLock(context.paths.store_lock_file), nullptr);
}

// Time for the page's end: sleeping advances it at once, and another program's hold of the
// store lock ends when it reaches `release_at`.
class ReleasingClock final : public platform::Clock {
 public:
  void SleepMs(std::uint32_t ms) override {
    now_ms += ms;
    if (now_ms >= release_at) held.reset();
  }
  std::uint64_t NowMs() const override { return now_ms; }

  std::uint64_t now_ms = 0;
  std::uint64_t release_at = 0;
  std::unique_ptr<platform::FileLock> held;
};

TEST_F(MacroPageTest, ItsEndWaitsForWaitingChangesButNotForever) {
  const z900::test::TempFolder data;
  context.paths.store_lock_file = data.path() / "z900.lock";
  struct Case {
    std::uint64_t release_at;
    std::uint32_t stored_loop_count;
    bool told;
  };
  for (const Case& c : {Case{20000, 7, false}, Case{kStoreExitWaitMs + 1000, 1, true}}) {
    SCOPED_TRACE(c.release_at);
    Store(0xA1, u"Keys", {Down('A'), Up('A')});
    ReleasingClock ending_clock;
    ending_clock.release_at = c.release_at;
    auto ending =
        std::make_unique<CMacroDlg>(context, store, hook, false, ending_clock, ui, &window);
    ending_clock.held = HoldStoreLock(context.paths.store_lock_file);
    Type(ending->loop_box(), "7");
    ::testing::internal::CaptureStderr();
    ending.reset();
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(macro::LoadMacro(store, 0xA1)->loop_count, c.stored_loop_count);
    EXPECT_EQ(told.find("stayed locked") != std::string::npos, c.told) << told;
    EXPECT_LE(ending_clock.now_ms, std::uint64_t{kStoreExitWaitMs});
  }
}

TEST_F(MacroPageTest, RecordingHearsTheKeysOfTheWindowWithTheirPauses) {
  Store(0xA1, u"Keys", {Down('A')});
  CMacroDlg& shown = Open();
  Click(shown.record_button());
  EXPECT_EQ(shown.record_button()->text(), "Stop recording");
  for (CGDIBitmapBtn* button :
       {shown.new_macro_button(), shown.delete_macro_button(), shown.insert_button(),
        shown.delete_event_button(), shown.modify_button()}) {
    EXPECT_FALSE(button->isEnabled());
  }
  EXPECT_THAT(Texts(*shown.event_list()), IsEmpty());
  Key(Qt::Key_Return, false);
  clock.Advance(250);
  Key(Qt::Key_Return, true);
  clock.Advance(1000);
  Press(Qt::Key_Escape);
  Click(shown.record_button());
  EXPECT_EQ(shown.record_button()->text(), "Start recording");
  EXPECT_TRUE(shown.modify_button()->isEnabled());
  EXPECT_THAT(Texts(*shown.event_list()),
              ElementsAre("Enter", "250  ms", "Enter", "1000  ms", "ESC", "0  ms", "ESC"));
  EXPECT_THAT(
      Stored(0xA1),
      ElementsAre(Down(platform::kVkReturn), DelayRow(250), Up(platform::kVkReturn), DelayRow(1000),
                  Down(platform::kVkEscape), DelayRow(0), Up(platform::kVkEscape)));
  // Hidden, the page hears nothing.
  shown.hide();
  Press(Qt::Key_Z);
  shown.show();
  EXPECT_EQ(shown.event_list()->count(), 7);
}

TEST_F(MacroPageTest, AMacroThatAProfileUsesIsNotDeleted) {
  Store(0xA1, u"Used", {Down('A')});
  Store(0xB2, u"Free", {Down('B')});
  config::MacroIdOf(context.profiles.entries[3], 1, 5) = 0xA1;
  CMacroDlg& shown = Open();
  ClickRow(*shown.macro_list(), 0);
  Click(shown.delete_macro_button());
  EXPECT_THAT(ui.calls,
              ElementsAre("message: This macro is assigned to a button and cannot be deleted."));
  EXPECT_THAT(Texts(*shown.macro_list()), ElementsAre("Used", "Free"));
  EXPECT_THAT(Texts(*shown.event_list()), ElementsAre("A"));
  ClickRow(*shown.macro_list(), 1);
  Click(shown.delete_macro_button());
  EXPECT_THAT(Texts(*shown.macro_list()), ElementsAre("Used"));
  EXPECT_EQ(shown.macro_list()->SelectedRow(), std::nullopt);
  EXPECT_THAT(macro::ListMacros(store), ElementsAre(macro::MacroListEntry{0xA1, u"Used"}));
}

TEST_F(MacroPageTest, EnterEscSpaceAndF1ReachNoControl) {
  CMacroDlg& shown = OpenWith({Down('A'), DelayRow(10), Up('A')}, 1);
  Click(shown.modify_button());
  QTest::keyClicks(shown.value_box(), "7 7");
  EXPECT_EQ(shown.value_box()->text(), "77");
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_F1}) {
    QTest::keyClick(shown.value_box(), key);
  }
  EXPECT_TRUE(shown.ok_button()->isVisible());
  EXPECT_THAT(Stored(0xA1), ElementsAre(Down('A'), DelayRow(10), Up('A')));
}

class MacroChooserTest : public MacroPageTest {
 protected:
  MacroChooserTest() {
    for (std::uint32_t id = 1; id <= 4; ++id) {
      Store(id, u"Macro " + std::u16string(1, static_cast<char16_t>(u'0' + id)), {Down('A')});
    }
  }
};

TEST_F(MacroChooserTest, PresetsSelectTheirRowAndOkReportsTheChoice) {
  const std::pair<std::uint32_t, std::optional<std::size_t>> presets[] = {
      {0, std::nullopt}, {3, 2}, {5, std::nullopt}, {4000, std::nullopt}};
  for (const auto& [preset, row] : presets) {
    CDlgMacro chooser(context.strings, store);
    chooser.set_preset_position(preset);
    chooser.show();
    EXPECT_EQ(chooser.list()->SelectedRow(), row) << preset;
    EXPECT_EQ(chooser.list()->count(), 4);
  }

  CDlgMacro chooser(context.strings, store);
  EXPECT_EQ(chooser.size(), QSize(242, 257));
  EXPECT_EQ(chooser.windowTitle(), "Talvo Z900 Macro");
  chooser.show();
  QApplication::setActiveWindow(&chooser);
  ClickRow(*chooser.list(), 1);
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space}) {
    QTest::keyClick(chooser.list(), key);
    EXPECT_TRUE(chooser.isVisible());
  }
  QTest::mouseDClick(chooser.list()->viewport(), Qt::LeftButton, {},
                     chooser.list()->visualItemRect(chooser.list()->item(1)).center());
  EXPECT_EQ(chooser.list()->rename_box(), nullptr);
  Click(chooser.ok_button());
  EXPECT_EQ(chooser.result(), QDialog::Accepted);
  EXPECT_EQ(chooser.chosen(), (macro::MacroChoice{2, 2}));

  // Again with that position: the same row.
  chooser.set_preset_position(chooser.chosen()->position);
  chooser.show();
  EXPECT_EQ(chooser.list()->SelectedRow(), 1u);
  Click(chooser.close_button());
  EXPECT_EQ(chooser.result(), QDialog::Rejected);
  EXPECT_EQ(chooser.chosen(), std::nullopt);
}

TEST_F(MacroChooserTest, WithNothingStoredOkChoosesNothing) {
  platform::MemoryKeyStore empty;
  CDlgMacro chooser(context.strings, empty);
  chooser.show();
  EXPECT_EQ(chooser.list()->count(), 0);
  Click(chooser.ok_button());
  EXPECT_EQ(chooser.result(), QDialog::Accepted);
  EXPECT_EQ(chooser.chosen(), std::nullopt);
}

}  // namespace
}  // namespace z900::ui
