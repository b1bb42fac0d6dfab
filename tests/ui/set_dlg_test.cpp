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
#include "support/fake_keyboard_hook.h"
#include "ui/combo_dlg.h"
#include "ui/info_dlg.h"
#include "ui/macro_dlg.h"
#include "ui/progress_dlg.h"
#include "ui/qt_ui_port.h"
#include "update/firmware_handoff.h"

namespace z900::ui::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The brightest of the pixels at which two pictures of a window differ: the colour of a text
// that one of them draws and the other does not.
QRgb BrightestChange(const QImage& with, const QImage& without, const QRect& area) {
  QRgb brightest = qRgb(0, 0, 0);
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb pixel = with.pixel(x, y);
      if (pixel != without.pixel(x, y) && qGray(pixel) > qGray(brightest)) brightest = pixel;
    }
  }
  return brightest;
}

// A text's brightest pixel shows its colour: no channel much above it, none far below.
MATCHER_P(DrawnIn, colour, "") {
  const QRgb wanted_rgb = colour;
  const std::pair<int, int> channels[] = {{qRed(arg), qRed(wanted_rgb)},
                                          {qGreen(arg), qGreen(wanted_rgb)},
                                          {qBlue(arg), qBlue(wanted_rgb)}};
  for (const auto& [drawn, wanted] : channels) {
    if (drawn > wanted + 6 || drawn * 4 < wanted * 3) {
      *result_listener << "drawn in " << QColor(arg).name().toStdString();
      return false;
    }
  }
  return true;
}

// The first column from the left in `area` where a label's grey text shows (not the blue of
// the skin's accents); -1 when none does.
int FirstTextColumn(const QImage& picture, const QRect& area) {
  for (int x = area.left(); x <= area.right(); ++x) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
      const QColor pixel(picture.pixel(x, y));
      if (pixel.blue() >= 0x38 && pixel.blue() - pixel.red() < 40) return x;
    }
  }
  return -1;
}

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
}

// A tab whose file was never made switches to the defaults without a word; a damaged file is
// kept beside and replaced, which the page says; what cannot be read leaves the profile as it
// was, with the reason.
TEST_F(SetDlgTest, ProfileTabsTellTheTruthAboutTheirFiles) {
  WriteProfile(0, u"one");
  Open();
  Press(dlg->profile_tab(1));
  EXPECT_THAT(ui.calls, ElementsAre("refresh", "refresh"));
  EXPECT_TRUE(dlg->profile_tab(1)->selected());
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("str_profile2"));

  std::filesystem::create_directories(ProfilePath(2));
  ui.calls.clear();
  Press(dlg->profile_tab(2));
  EXPECT_THAT(ui.calls, ElementsAre("message: str_profile_noread"));
  EXPECT_TRUE(dlg->profile_tab(1)->selected());
  EXPECT_FALSE(dlg->profile_tab(2)->selected());

  std::filesystem::create_directories(ProfilePath(3).parent_path());
  ASSERT_FALSE(platform::WriteFileAtomically(ProfilePath(3), std::vector<std::uint8_t>(100, 7)));
  ui.calls.clear();
  Press(dlg->profile_tab(3));
  EXPECT_THAT(ui.calls, ElementsAre("refresh", "refresh", "message: str_profile_damaged"));
  EXPECT_TRUE(dlg->profile_tab(3)->selected());
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

// A name longer than the box takes (from a language text, or z900ctl) shows cut, but only what
// the user types replaces it.
TEST_F(SetDlgTest, ALongNameFromElsewhereStaysWholeUntilTheUserEditsIt) {
  const std::u16string long_name = u"a profile name from elsewhere";
  WriteProfile(0, long_name);
  Open();
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("a profile name from "));
  dlg->SwitchTick();  // the name copy
  Click(dlg->rate_button(0));
  Click(dlg->apply_button());
  worker.WaitUntilIdle();
  EXPECT_EQ(platform::ReadFixedText(settings().profile_name), long_name);
  ASSERT_EQ(config::LoadProfileFile(context, dlg->model(), *page_ports_,
                                    platform::Utf8ToUtf16(ProfileText(0)), false, u""),
            config::kProfileLoaded);
  EXPECT_EQ(platform::ReadFixedText(settings().profile_name), long_name);

  dlg->name_box()->setFocus();
  dlg->name_box()->end(false);
  QTest::keyClick(dlg->name_box(), Qt::Key_Backspace);
  dlg->SwitchTick();
  EXPECT_EQ(platform::ReadFixedText(settings().profile_name), u"a profile name from");
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
  // The progress window said so from the first moment, then turned to the write.
  ASSERT_GE(ui.calls.size(), 2u);
  EXPECT_EQ(ui.calls[0], "progress waiting");
  EXPECT_EQ(ui.calls[1], "progress open");
  EXPECT_FALSE(Sent().empty());
  // Released with the write: another program gets it at once.
  EXPECT_TRUE(platform::LockFile(context.paths.store_lock_file, platform::LockMode::kExclusive,
                                 false, error));
}

// Another program that keeps the lock past the bound: nothing is written, and the page says who
// held it.
TEST_F(SetDlgTest, AWriteThatWaitedTooLongWritesNothingAndSaysWhy) {
  Open();
  std::error_code error;
  const std::unique_ptr<platform::FileLock> other =
      config::TryLockStore(context.paths, platform::LockMode::kShared, error);
  ASSERT_TRUE(other) << error.message();
  context.strings.Set(i18n::StringKey::str_lock_timeout, u"held too long: %s");
  QSignalSpy finished(dlg.get(), &CSetDlg::WriteFinished);
  Click(dlg->apply_button());
  worker.WaitUntilIdle();
  EXPECT_THAT(Sent(), IsEmpty());
  EXPECT_THAT(ui.calls, ElementsAre("progress waiting", "progress close",
                                    ::testing::StartsWith("message: held too long: " +
                                                          context.paths.store_lock_file.string() +
                                                          ", held by ui_tests (process ")));
  EXPECT_EQ(finished.size(), 1);
}

// A write the mouse does not acknowledge is told as z900ctl tells it, the page keeps what the
// user made and the Apply button stays lit; a second Apply tries again and, once the mouse takes
// it, all is well.
TEST_F(SetDlgTest, AFailedApplyIsToldAndTheNextOneTriesAgain) {
  Open();
  Click(dlg->rate_button(0));
  mouse.SetFaults({.no_ack = true, .only_command = 0xA5, .count = 16});
  Click(dlg->apply_button());
  worker.WaitUntilIdle();
  EXPECT_THAT(ui.calls, ::testing::Contains("message: str_apply_unacked\nstr_apply_pending"));
  EXPECT_TRUE(dlg->mouse_behind());
  EXPECT_TRUE(dlg->apply_button()->GetCheck());
  EXPECT_EQ(dlg->apply_button()->toolTip(), QStringLiteral("str_apply_pending"));
  EXPECT_TRUE(dlg->rate_button(0)->GetCheck());
  EXPECT_EQ(settings().report_rate[0], 125);
  EXPECT_TRUE(config::WritePending(store));

  ui.calls.clear();
  Click(dlg->apply_button());
  worker.WaitUntilIdle();
  EXPECT_THAT(ui.calls, ElementsAre("progress open", "progress close"));
  EXPECT_FALSE(dlg->mouse_behind());
  EXPECT_FALSE(dlg->apply_button()->GetCheck());
  EXPECT_EQ(dlg->apply_button()->toolTip(), QStringLiteral("str_apply"));
  EXPECT_FALSE(config::WritePending(store));
}

// The mouse gone during a write: no list of failures, the window is told instead.
TEST_F(SetDlgTest, AWriteCutOffByUnpluggingIsHandedToTheWindow) {
  Open();
  QSignalSpy removed(dlg.get(), &CSetDlg::MouseRemovedDuringWrite);
  mouse.SetFaults({.unplug_after = 10});
  Click(dlg->apply_button());
  worker.WaitUntilIdle();
  EXPECT_EQ(removed.size(), 1);
  EXPECT_THAT(ui.calls, ElementsAre("progress open", "progress close"));
  EXPECT_TRUE(config::WritePending(store));
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
  OpenWithSecondProfileFor(u"gimp");
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

// A profile tab asks before it replaces edits not yet applied: Cancel keeps them, Discard lets
// them go, Apply writes them first. Without edits nothing is asked.
TEST_F(SetDlgTest, AProfileTabAsksBeforeItReplacesUnappliedEdits) {
  using platform::UnappliedChoice;
  WriteProfile(0, u"one");
  WriteProfile(1, u"two");
  Open();
  const auto questions = [&] {
    return std::count(ui.calls.begin(), ui.calls.end(), "unapplied: str_unapplied");
  };
  Press(dlg->profile_tab(1));
  Press(dlg->profile_tab(0));
  EXPECT_EQ(questions(), 0);

  Click(dlg->dpi_box(0));  // 800 off: the stages start at 1600
  ui.unapplied_answers = {UnappliedChoice::kStay};
  Press(dlg->profile_tab(1));
  EXPECT_EQ(questions(), 1);
  EXPECT_TRUE(dlg->profile_tab(0)->selected());
  EXPECT_FALSE(dlg->profile_tab(1)->selected());
  EXPECT_EQ(settings().dpi_stages[0][0], 1600);

  ui.unapplied_answers = {UnappliedChoice::kDiscard};
  Press(dlg->profile_tab(1));
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("two"));
  Press(dlg->profile_tab(0));
  EXPECT_EQ(settings().dpi_stages[0][0], 800) << "as stored";
  EXPECT_EQ(questions(), 2);
  EXPECT_THAT(Sent(), IsEmpty());

  Click(dlg->dpi_box(0));
  ui.unapplied_answers = {UnappliedChoice::kApply};
  Press(dlg->profile_tab(1));
  worker.WaitUntilIdle();
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("two"));
  EXPECT_FALSE(Sent().empty());
  Press(dlg->profile_tab(0));
  EXPECT_EQ(settings().dpi_stages[0][0], 1600) << "stored by Apply";
  EXPECT_EQ(questions(), 3);
}

// While the page shows edits not yet applied, a switch waits, and the switch box says so; with
// the window hidden in the tray the switch happens as before.
TEST_F(SetDlgTest, AutomaticSwitchingWaitsForUnappliedEditsOnTheScreen) {
  OpenWithSecondProfileFor(u"gimp");
  foreground.name = u"gimp";
  Click(dlg->rate_button(0));
  dlg->SwitchTick();
  EXPECT_FALSE(worker.busy());
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("one"));
  EXPECT_TRUE(dlg->switch_box()->toolTip().contains(QStringLiteral("str_autoswitch_waits")));

  dlg->hide();
  dlg->SwitchTick();
  worker.WaitUntilIdle();
  EXPECT_EQ(dlg->name_box()->text(), QStringLiteral("two"));
  EXPECT_EQ(dlg->switch_box()->toolTip(), QStringLiteral("str_autopath"));
}

TEST_F(SetDlgTest, ForegroundNewsSwitchesAtOnceAndItsProblemIsTold) {
  OpenWithSecondProfileFor(u"gimp");

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

// The rectangles and colours of the layout tables, measured on what the windows draw.
TEST_F(SetDlgTest, PicturesFollowTheLayoutTables) {
  Open();
  EXPECT_EQ(dlg->effect_button(1)->geometry(), RectLTRB(560, 280, 630, 298));
  EXPECT_EQ(dlg->effect_button(2)->geometry(), RectLTRB(622, 280, 692, 298));
  EXPECT_EQ(dlg->reset_button()->geometry(), RectLTRB(644, 420, 722, 461));
  EXPECT_EQ(dlg->apply_button()->geometry(), RectLTRB(722, 421, 799, 461));
  // The fast button lies over the slow one's right end: the pointer over it lights its face
  // from there on, and the slow one's face stays as it was.
  const QImage idle = dlg->grab().toImage();
  Hover(*dlg->effect_button(2), QPoint(6, 4));
  const QImage lit = dlg->grab().toImage();
  EXPECT_NE(lit.pixel(626, 284), idle.pixel(626, 284));
  EXPECT_EQ(lit.pixel(600, 284), idle.pixel(600, 284));
  Leave(*dlg->effect_button(2));

  // The combination dialog's key name: 0x696358, as its other texts.
  {
    CComboDlg combo(context.strings, nullptr, layout);
    const QImage empty = combo.grab().toImage();
    combo.OnHookKey('H', 0);
    EXPECT_THAT(BrightestChange(combo.grab().toImage(), empty, RectLTRB(152, 87, 310, 110)),
                DrawnIn(colours::kAboutText));
  }

  // The macro page: the record button's caption under the pointer is 0x676153; the list
  // headings start at 95 and 316.
  z900::test::FakeKeyboardHook hook;
  CMacroDlg macros(context, store, hook, true, clock, ui, nullptr);
  macros.show();
  QApplication::setActiveWindow(&macros);
  CGDIBitmapBtn* record = macros.record_button();
  Hover(*record, QPoint(5, 5));
  const QImage caption = record->grab().toImage();
  const QString text = record->text();
  record->SetText(QString());
  const QImage no_caption = record->grab().toImage();
  record->SetText(text);
  EXPECT_THAT(BrightestChange(caption, no_caption, caption.rect()), DrawnIn(colours::kDialogText));
  const QImage macro_page = macros.grab().toImage();
  EXPECT_THAT(FirstTextColumn(macro_page, RectLTRB(85, 19, 200, 37)),
              ::testing::AllOf(::testing::Ge(95), ::testing::Le(97)));
  EXPECT_THAT(FirstTextColumn(macro_page, RectLTRB(306, 19, 420, 37)),
              ::testing::AllOf(::testing::Ge(316), ::testing::Le(318)));
}

// Turning the switch on shows the box checked from the click on, also while the program chooser
// is open; a cancelled chooser leaves it unchecked again.
TEST_F(SetDlgTest, TheSwitchBoxShowsCheckedWhileTheChooserIsOpen) {
  Open();
  ui.on_refresh = [&] { dlg->Refresh(); };
  std::vector<bool> while_open;
  ui.while_open = [&] { while_open.push_back(dlg->switch_box()->GetCheck()); };
  Click(dlg->switch_box());  // cancelled
  EXPECT_FALSE(dlg->switch_box()->GetCheck());
  ui.chosen = {std::filesystem::path("/opt/z900-test/game")};
  Click(dlg->switch_box());
  EXPECT_THAT(while_open, ElementsAre(true, true));
  EXPECT_TRUE(dlg->switch_box()->GetCheck());
  EXPECT_EQ(dlg->program_button()->text(), QStringLiteral("game"));
  EXPECT_EQ(dlg->program_button()->toolTip(), QStringLiteral("str_autoswitch_match\ngame"));
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
