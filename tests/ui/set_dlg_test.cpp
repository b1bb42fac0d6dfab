#include "ui/set_dlg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "config/function_catalogue.h"
#include "config/store_lock.h"
#include "device/command_set.h"
#include "device/memory_map.h"
#include "platform/ini_file.h"
#include "set_dlg_fixture.h"
#include "ui/info_dlg.h"
#include "ui/progress_dlg.h"
#include "ui/qt_ui_port.h"
#include "update/firmware_handoff.h"

namespace z900::ui::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(SetDlgTest, StartsOnTheMouseModeAndTheSelectedProfile) {
  mouse.SetMode(1);
  WriteProfile(0, u"office");
  Open();
  EXPECT_EQ(context.current_mode, 1);
  EXPECT_TRUE(dlg->mode_tab(1)->selected());
  EXPECT_FALSE(dlg->mode_tab(0)->selected());
  EXPECT_TRUE(dlg->profile_tab(0)->selected());
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("office"));
  EXPECT_EQ(ButtonText(1), QStringLiteral("str_click"));
  EXPECT_EQ(dlg->assignment_button(1)->toolTip(), QStringLiteral("str_click"));
  EXPECT_EQ(dlg->slider()->position(), config::kLightingSlow);
  EXPECT_TRUE(dlg->rate_button(2)->GetCheck()) << "1000 Hz";
  EXPECT_FALSE(dlg->program_button()->isVisible());
}

TEST_F(SetDlgTest, OnTheWindowsStateThePageShowsWhatTheWindowLoadedAndLeavesItsMouse) {
  mouse.SetMode(1);
  WriteProfile(0, u"office");
  // What the window does before it starts the page: the mouse opened, the profiles loaded.
  config::SettingsPageModel window_state;
  config::ConfigPorts ports{channel, store, ui, files};
  ASSERT_TRUE(channel.OpenDevice(window_state.mouse_handle));
  config::LoadProfiles(context, window_state, ports);
  auto page = std::make_unique<CSetDlg>(
      context, SetDlgPorts{ports, layout, foreground, worker, &window_state});
  page->Start();
  EXPECT_EQ(&page->model(), &window_state);
  EXPECT_EQ(context.current_mode, 1);
  // Its controls are made when the window first shows it, with what it holds by then.
  EXPECT_FALSE(page->controls_built());
  page->BuildControls();
  EXPECT_EQ(page->name_box()->text(), QStringLiteral("office"));
  // The window's handle outlives the page.
  page.reset();
  int mode = -1;
  EXPECT_TRUE(device::QueryMode(channel, window_state.mouse_handle, mode));
  EXPECT_EQ(mode, 1);
  channel.CloseDevice(window_state.mouse_handle);
}

TEST_F(SetDlgTest, DpiBoxesKeepOneStageAndFollowTheirOrder) {
  Open();
  // Defaults: all four stages. Down to 3200 alone, then 800 back.
  for (const int box : {0, 1, 3}) Click(dlg->dpi_box(box));
  Click(dlg->dpi_box(2));  // the last checked box stays
  EXPECT_TRUE(dlg->dpi_box(2)->GetCheck());
  EXPECT_THAT(settings().dpi_stages[0], ElementsAre(3200, 0, 0, 0));
  Click(dlg->dpi_box(0));
  EXPECT_THAT(settings().dpi_stages[0], ElementsAre(800, 3200, 0, 0));
  EXPECT_EQ(settings().stage_count[0], 2);
  EXPECT_TRUE(dlg->dpi_box(0)->GetCheck());
  EXPECT_FALSE(dlg->dpi_box(1)->GetCheck());
  EXPECT_THAT(Sent(), IsEmpty()) << "nothing reaches the mouse before Apply";
}

TEST_F(SetDlgTest, ModeTabShowsTheOtherModeAndSendsNothing) {
  Open();
  ButtonOf(settings(), 1, 2).function_type = 65;
  platform::WriteFixedText(ButtonOf(settings(), 1, 2).display_name, u"Copy");
  settings().report_rate[1] = 125;
  Press(dlg->mode_tab(1));
  EXPECT_EQ(context.current_mode, 1);
  EXPECT_TRUE(dlg->mode_tab(1)->selected());
  EXPECT_FALSE(dlg->mode_tab(0)->selected());
  EXPECT_EQ(ButtonText(2), QStringLiteral("Copy"));
  EXPECT_TRUE(dlg->rate_button(0)->GetCheck());
  Press(dlg->mode_tab(0));
  EXPECT_EQ(ButtonText(2), QStringLiteral("str_menu"));
  EXPECT_THAT(Sent(), IsEmpty());
}

TEST_F(SetDlgTest, ProfileTabLoadsWithoutWriting) {
  WriteProfile(0, u"one");
  WriteProfile(1, u"two");
  Open();
  Press(dlg->profile_tab(1));
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("two"));
  EXPECT_TRUE(dlg->profile_tab(1)->selected());
  EXPECT_FALSE(dlg->profile_tab(0)->selected());
  EXPECT_EQ(dlg->model().switch_target_index, 1);
  EXPECT_THAT(Sent(), IsEmpty());

  // A tab whose file is gone: after the notice profile 2 stays.
  std::filesystem::remove(ProfilePath(2));
  ui.calls.clear();
  Press(dlg->profile_tab(2));
  EXPECT_THAT(ui.calls, ElementsAre(::testing::StartsWith("message: missing"), "refresh"));
  EXPECT_TRUE(dlg->profile_tab(1)->selected());
  EXPECT_FALSE(dlg->profile_tab(2)->selected());
}

TEST_F(SetDlgTest, LightingControls) {
  Open();
  struct Step {
    std::function<void()> act;
    std::int32_t effect;
  };
  const Step steps[] = {
      {[&] { emit dlg->slider()->PositionChanged(2, kSliderId); }, 3},
      {[&] { emit dlg->slider()->PositionChanged(6, kSliderId); }, 7},
      {[&] { emit dlg->slider()->PositionChanged(4, kSliderId + 1); }, 7},  // another slider
      {[&] { Click(dlg->effect_button(0)); }, 1},
      {[&] { Click(dlg->effect_button(2)); }, 5},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_EQ(settings().lighting_effect[0], step.effect);
    EXPECT_EQ(dlg->slider()->position(), step.effect);
  }

  // APM: effects and slider off and hidden; the effect stays and comes back with normal.
  Click(dlg->led_apm());
  EXPECT_EQ(settings().lighting_follows_activity[0], 1);
  EXPECT_TRUE(dlg->led_apm()->GetCheck());
  EXPECT_FALSE(dlg->led_normal()->GetCheck());
  EXPECT_FALSE(dlg->slider()->isVisible());
  EXPECT_FALSE(dlg->effect_button(1)->isEnabled());
  Click(dlg->led_normal());
  EXPECT_EQ(settings().lighting_follows_activity[0], 0);
  EXPECT_TRUE(dlg->slider()->isVisible());
  EXPECT_TRUE(dlg->effect_button(1)->isEnabled());
  EXPECT_EQ(dlg->slider()->position(), 5);

  Click(dlg->rate_button(1));
  EXPECT_EQ(settings().report_rate[0], 500);
  EXPECT_FALSE(dlg->rate_button(2)->GetCheck());
  EXPECT_THAT(Sent(), IsEmpty());
}

TEST_F(SetDlgTest, ProfileNameTakesTwentyCharactersAndBlanks) {
  Open();
  dlg->name_box()->clear();
  dlg->name_box()->setFocus();
  QTest::keyClicks(dlg->name_box(), QStringLiteral("my game profile 12345678"));
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("my game profile 1234"));
  // A command right after typing, before the timer copied the name, keeps it.
  Click(dlg->rate_button(0));
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("my game profile 1234"));
  EXPECT_EQ(platform::ReadFixedText(settings().profile_name), u"my game profile 1234");
}

TEST_F(SetDlgTest, EnterEscapeSpaceAndF1DoNothing) {
  Open();
  const std::vector<std::uint8_t> before = config::RecordBytes(settings());
  QSignalSpy edited(dlg->name_box(), &QLineEdit::returnPressed);
  for (QWidget* target : {static_cast<QWidget*>(dlg.get()), static_cast<QWidget*>(dlg->name_box()),
                          static_cast<QWidget*>(dlg->apply_button())}) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space, Qt::Key_F1}) {
      if (target == dlg->name_box() && key == Qt::Key_Space) continue;
      QTest::keyClick(target, key);
    }
  }
  worker.WaitUntilIdle();
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(edited.size(), 0);
  EXPECT_EQ(config::RecordBytes(settings()), before);
  EXPECT_THAT(Sent(), IsEmpty());
}

TEST_F(SetDlgTest, ResetAsksFirst) {
  Open();
  Click(dlg->dpi_box(0));
  ui.answers = {0};
  Click(dlg->reset_button());
  worker.WaitUntilIdle();
  EXPECT_THAT(ui.calls, ElementsAre("question: str_resetinfo"));
  EXPECT_EQ(settings().dpi_stages[0][0], 1600);
  EXPECT_THAT(Sent(), IsEmpty());

  ui.answers = {1};
  Click(dlg->reset_button());
  worker.WaitUntilIdle();
  EXPECT_EQ(settings().dpi_stages[0][0], 800);
  EXPECT_TRUE(dlg->dpi_box(0)->GetCheck());
  EXPECT_FALSE(Sent().empty());
  EXPECT_EQ(dlg->model().dialog_open, 0);
}

// The Overview's request: button 3 of mode 0 becomes Copy, through its marker, the menu and
// Apply.
TEST_F(SetDlgTest, MarkerMenuAndApplyPutCopyIntoTheMouse) {
  Open();
  QSignalSpy finished(dlg.get(), &CSetDlg::WriteFinished);
  Click(dlg->marker(3));
  ASSERT_TRUE(dlg->menu().IsOpen());
  EXPECT_EQ(dlg->model().current_button, 2);
  ChooseInMenu(2, 1);  // basic functions, Copy
  EXPECT_FALSE(dlg->menu().IsOpen());
  EXPECT_EQ(ButtonText(3), QStringLiteral("str_copy"));
  EXPECT_EQ(ButtonOf(settings(), 0, 3).function_type, 65);
  EXPECT_EQ(dlg->model().current_button, -1);

  Click(dlg->apply_button());
  worker.WaitUntilIdle();
  EXPECT_EQ(finished.size(), 1);
  EXPECT_EQ(mouse.ReadWord(*device::ButtonSlotAddress(0, 3)), 0x06020002u);
  EXPECT_EQ(*device::ButtonSlotAddress(0, 3), 0x408u);
  EXPECT_THAT(ui.progress, ::testing::Contains(100));
  EXPECT_EQ(context.current_mode, 0);
}

TEST_F(SetDlgTest, AWriteWaitsForAnotherProgramsLockAndHoldsItOnlyMeanwhile) {
  Open();
  std::error_code error;
  std::unique_ptr<platform::FileLock> other =
      config::LockStore(context.paths, platform::LockMode::kExclusive, clock, nullptr, error);
  ASSERT_TRUE(other) << error.message();
  int waits = 0;
  QObject::connect(dlg.get(), &CSetDlg::WaitingForStore, [&] {
    ++waits;
    EXPECT_THAT(Sent(), IsEmpty()) << "nothing is written before the lock is ours";
    other.reset();  // the other program ends
  });
  Click(dlg->apply_button());
  worker.WaitUntilIdle();
  EXPECT_EQ(waits, 1);
  EXPECT_FALSE(Sent().empty());
  // Released with the write: another program gets it at once.
  EXPECT_TRUE(platform::LockFile(context.paths.store_lock_file, platform::LockMode::kExclusive,
                                 false, error));
}

TEST_F(SetDlgTest, ALookAtTheFilesWaitsWhileAnotherProgramChangesThem) {
  WriteProfile(0, u"one");
  Open();
  std::error_code error;
  std::unique_ptr<platform::FileLock> other =
      config::TryLockStore(context.paths, platform::LockMode::kExclusive, error);
  ASSERT_TRUE(other) << error.message();
  WriteProfile(0, u"two");
  // The ui thread does not wait for the lock: the page stays as it was meanwhile.
  const std::uint64_t start = clock.NowMs();
  dlg->StoredDataChanged();
  dlg->LoadAndRefresh();
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("one"));
  EXPECT_EQ(clock.NowMs(), start);
  other.reset();
  dlg->StoredDataChanged();
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("two"));
  EXPECT_FALSE(dlg->stored_profile_changed());
  // The page let the lock go again.
  EXPECT_TRUE(config::TryLockStore(context.paths, platform::LockMode::kExclusive, error));
}

TEST_F(SetDlgTest, ButtonsSevenAndEightOfferTheirWheelAndClicksOutsideCloseTheMenu) {
  Open();
  Click(dlg->assignment_button(8));
  ASSERT_TRUE(dlg->menu().IsOpen());
  EXPECT_EQ(dlg->menu().popup()->RowCount(0), 10);
  // A click on the page's background closes the menu; no choice arrives.
  QTest::mouseClick(dlg.get(), Qt::LeftButton, Qt::NoModifier, QPoint(450, 30));
  EXPECT_FALSE(dlg->menu().IsOpen());
  // Any command closes it too.
  Click(dlg->assignment_button(1));
  ASSERT_TRUE(dlg->menu().IsOpen());
  Click(dlg->rate_button(0));
  EXPECT_FALSE(dlg->menu().IsOpen());
}

TEST_F(SetDlgTest, ChoosersAndTheLeftClickRuleFromTheMenu) {
  Open();
  ui.chosen = {std::filesystem::path("/usr/share/sounds/bell.oga")};
  Click(dlg->assignment_button(3));
  ChooseInMenu(1, 0);  // advanced, sound
  EXPECT_EQ(ButtonText(3), QStringLiteral("/usr/share/sounds/bell.oga"));
  EXPECT_EQ(config::HostActionOf(ButtonOf(settings(), 0, 3)).device_code, 0x02C30004u);

  Click(dlg->assignment_button(1));
  ChooseInMenu(2, 0);  // Cut for the only left-click button
  EXPECT_THAT(ui.calls, ElementsAre("choose file 1", "message: str_msg1"));
  EXPECT_EQ(ButtonText(1), QStringLiteral("str_click"));
}

TEST_F(SetDlgTest, HoverLightsTheMarkerOfTheButtonUnderThePointer) {
  Open();
  QCursor::setPos(dlg->assignment_button(4)->mapToGlobal(QPoint(5, 5)));
  dlg->HoverTick();
  EXPECT_TRUE(dlg->marker(4)->GetCheck());
  EXPECT_FALSE(dlg->marker(3)->GetCheck());
  QCursor::setPos(dlg->mapToGlobal(QPoint(450, 30)));
  dlg->HoverTick();
  EXPECT_FALSE(dlg->marker(4)->GetCheck());
  // Nothing lights while the window is hidden in the tray.
  context.tray_hidden_flag = 1;
  QCursor::setPos(dlg->assignment_button(4)->mapToGlobal(QPoint(5, 5)));
  dlg->HoverTick();
  EXPECT_FALSE(dlg->marker(4)->GetCheck());
}

TEST_F(SetDlgTest, AutomaticSwitchingWritesOnceAndNotUnderADialog) {
  WriteProfile(0, u"one");
  WriteProfile(1, u"two");
  Open();
  context.profiles.entries[1].auto_switch = 1;
  platform::WriteFixedText(context.profiles.entries[1].program_name, u"gimp");
  foreground.name = u"gimp";

  dlg->model().dialog_open = 1;
  dlg->SwitchTick();
  EXPECT_FALSE(worker.busy());
  dlg->model().dialog_open = 0;

  dlg->SwitchTick();
  worker.WaitUntilIdle();
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("two"));
  EXPECT_TRUE(dlg->profile_tab(1)->selected());
  const std::size_t written = Sent().size();
  EXPECT_GT(written, 0u);
  dlg->SwitchTick();  // the active profile's program again: nothing
  worker.WaitUntilIdle();
  EXPECT_EQ(Sent().size(), written);
}

TEST_F(SetDlgTest, ForegroundNewsSwitchesAtOnceAndItsProblemIsTold) {
  WriteProfile(0, u"one");
  WriteProfile(1, u"two");
  Open();
  context.profiles.entries[1].auto_switch = 1;
  platform::WriteFixedText(context.profiles.entries[1].program_name, u"gimp");

  // The extension that GNOME needs is off: said on the switch box and once as a notice.
  foreground.status = {platform::ForegroundBackend::kGnomeShell,
                       platform::ForegroundProblem::kExtensionNotEnabled, false,
                       "enable the extension"};
  dlg->SwitchTick();
  dlg->SwitchTick();
  EXPECT_THAT(ui.calls, ElementsAre("message: enable the extension"));
  EXPECT_TRUE(dlg->switch_box()->toolTip().contains(QStringLiteral("enable the extension")));

  // Once it sees the foreground, news of a change switches without waiting for the timer.
  foreground.status = {platform::ForegroundBackend::kGnomeShell, platform::ForegroundProblem::kNone,
                       false, ""};
  foreground.name = u"gimp";
  dlg->ForegroundChanged();
  worker.WaitUntilIdle();
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("two"));
  EXPECT_EQ(dlg->switch_box()->toolTip(), QStringLiteral("str_autopath"));
}

// News of the foreground program that comes during a write is taken up after it: hidden, with
// a back-end that announces its changes, no timer would look again.
TEST_F(SetDlgTest, ForegroundNewsDuringAWriteSwitchesAfterIt) {
  WriteProfile(0, u"one");
  WriteProfile(1, u"two");
  WriteProfile(2, u"three");
  Open();
  dlg->hide();
  foreground.event_driven = true;
  for (const auto& [index, program] : {std::pair(1, u"gimp"), std::pair(2, u"foot")}) {
    context.profiles.entries[index].auto_switch = 1;
    platform::WriteFixedText(context.profiles.entries[index].program_name, program);
  }
  foreground.name = u"gimp";
  dlg->ForegroundChanged();  // the write of profile 2 starts
  ASSERT_TRUE(worker.busy());
  foreground.name = u"foot";
  dlg->ForegroundChanged();
  worker.WaitUntilIdle();
  EXPECT_EQ(dlg->model().selected_profile, 2);
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("three"));
}

// Timer 18 copies the profile name while the page is on the screen; hidden, it runs only for a
// back-end that cannot announce the foreground program's changes, and news of what the
// back-end can do now starts or stops it.
TEST_F(SetDlgTest, SwitchTimerRunsOnlyWhereItHasWork) {
  Open();
  QTimer* timer = dlg->findChild<QTimer*>(QStringLiteral("switchTimer"));
  ASSERT_NE(timer, nullptr);
  for (const bool announces : {false, true}) {
    foreground.event_driven = announces;
    dlg->show();
    EXPECT_TRUE(timer->isActive()) << announces;
    dlg->hide();
    EXPECT_EQ(timer->isActive(), !announces) << announces;
  }
  foreground.event_driven = false;
  dlg->ForegroundChanged();
  EXPECT_TRUE(timer->isActive());
  foreground.event_driven = true;
  dlg->ForegroundChanged();
  EXPECT_FALSE(timer->isActive());
}

TEST_F(SetDlgTest, FirmwareFollowUpWritesOnceAtTheStart) {
  const std::filesystem::path marker = update::MarkerFile(context.paths);
  std::filesystem::create_directories(marker.parent_path());
  ASSERT_TRUE(platform::IniFile::WriteString(marker, "Firmware", "Update", "1"));
  mouse.ClearWireLog();
  page_ports_ =
      std::make_unique<config::ConfigPorts>(config::ConfigPorts{channel, store, ui, files});
  dlg = std::make_unique<CSetDlg>(context, SetDlgPorts{*page_ports_, layout, foreground, worker});
  dlg->Initialise();
  worker.WaitUntilIdle();
  int applies = 0;
  for (const auto& report : Sent()) applies += report[1] == 0xA6 && report[2] == 0x02;
  EXPECT_EQ(applies, 1);
  EXPECT_EQ(platform::IniFile::GetString(marker, "Firmware", "Update", "Error"), "0");
}

TEST_F(SetDlgTest, ChangesMadeElsewhereShowUnlessThePageHoldsItsOwn) {
  WriteProfile(0, u"one");
  StoreMacro(0x101, u"sprint");
  Open();
  EXPECT_TRUE(dlg->watcher().directories().contains(
      QString::fromStdString(context.paths.profile_folder.string())));
  ui.macros = {platform::MacroChoice{0x101, 1}};
  // The page's own apply is no change from elsewhere.
  Click(dlg->assignment_button(4));
  ChooseInMenu(1, 0);  // macros, the first
  Click(dlg->apply_button());
  worker.WaitUntilIdle();
  // The page's own files, seen only after the next edit: no news.
  Click(dlg->rate_button(0));
  dlg->StoredDataChanged();
  EXPECT_FALSE(dlg->stored_profile_changed());
  EXPECT_TRUE(dlg->rate_button(0)->GetCheck());
  // A macro renamed elsewhere shows its new name, the edit stays.
  ASSERT_EQ(macro::RenameMacro(store, 0x101, u"run"), macro::RenameResult::kRenamed);
  dlg->StoredDataChanged();
  EXPECT_EQ(ButtonText(4), QStringLiteral("run"));
  EXPECT_TRUE(dlg->rate_button(0)->GetCheck());
  EXPECT_FALSE(dlg->stored_profile_changed());
  Click(dlg->rate_button(2));
  Click(dlg->apply_button());
  worker.WaitUntilIdle();

  // Another program renames the macro, then the profile: the page follows.
  ASSERT_EQ(macro::RenameMacro(store, 0x101, u"dash"), macro::RenameResult::kRenamed);
  dlg->StoredDataChanged();
  EXPECT_EQ(ButtonText(4), QStringLiteral("dash"));
  settings().report_rate[0] = 125;  // as another program stores it
  WriteProfile(0, u"renamed", &settings());
  settings().report_rate[0] = 1000;
  dlg->StoredDataChanged();
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("renamed"));
  EXPECT_TRUE(dlg->rate_button(0)->GetCheck());
  EXPECT_FALSE(dlg->stored_profile_changed());

  // With an edit not yet applied the page keeps it and says that the stored profile changed.
  Click(dlg->dpi_box(3));
  WriteProfile(0, u"again");
  dlg->StoredDataChanged();
  EXPECT_TRUE(dlg->stored_profile_changed());
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("renamed"));
  EXPECT_FALSE(dlg->dpi_box(3)->GetCheck());
  Click(dlg->apply_button());
  worker.WaitUntilIdle();
  EXPECT_FALSE(dlg->stored_profile_changed());
}

}  // namespace
}  // namespace z900::ui::test
