#include "ui/main_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <condition_variable>
#include <mutex>

#include "config/profiles.h"
#include "config/store_lock.h"
#include "device/driver_records.h"
#include "device/event_word.h"
#include "device/memory_map.h"
#include "macro/macro_rows.h"
#include "macro/macro_store.h"
#include "platform/event_source.h"
#include "platform/file_io.h"
#include "platform/ini_file.h"
#include "platform/memory_key_store.h"
#include "platform/text.h"
#include "platform/virtual_clock.h"
#include "sim/simulated_mouse.h"
#include "support/fake_desktop.h"
#include "support/fake_keyboard_hook.h"
#include "support/recording_host_services.h"
#include "support/temp_folder.h"
#include "ui/about_mag.h"
#include "ui/dlg_macro.h"
#include "ui/macro_dlg.h"
#include "ui/progress_dlg.h"
#include "ui/set_dlg.h"
#include "ui/tray_host.h"
#include "ui_fixture.h"
#include "update/firmware_handoff.h"

namespace z900::ui {
namespace {

using i18n::StringKey;
using ::testing::AllOf;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

// The virtual driver: present, takes every request; words are handed in with Deliver.
class FakeDriver final : public platform::QueuedEventSource {
 public:
  bool OpenDevice() override { return open_ = true; }
  void CloseDevice() override { open_ = false; }
  bool Control(std::span<const std::uint8_t> record) override {
    return device::AcceptControlRequest(record, open_);
  }

 private:
  std::atomic<bool> open_{false};
};

class FakeMonitor final : public platform::DeviceMonitor {
 public:
  bool Start(Listener listener) override {
    tell = std::move(listener);
    return true;
  }
  Listener tell;
};

// Virtual time, except that a sleep on another thread than the ui thread waits at a gate
// until the test opens it: a device write on the worker then takes as long as the test wants.
class GatedClock final : public platform::Clock {
 public:
  void SleepMs(std::uint32_t ms) override {
    if (QThread::currentThread() != qApp->thread()) {
      std::unique_lock lock(mutex_);
      if (!opened_) {
        if (on_waiting_) on_waiting_();
        changed_.wait(lock, [this] { return opened_; });
      }
    }
    now_ms_ += ms;
  }
  std::uint64_t NowMs() const override { return now_ms_; }
  void CloseGate(std::function<void()> on_waiting) {
    std::lock_guard lock(mutex_);
    opened_ = false;
    on_waiting_ = std::move(on_waiting);
  }
  void OpenGate() {
    {
      std::lock_guard lock(mutex_);
      opened_ = true;
    }
    changed_.notify_all();
  }

 private:
  std::atomic<std::uint64_t> now_ms_{0};
  std::mutex mutex_;
  std::condition_variable changed_;
  bool opened_ = true;
  std::function<void()> on_waiting_;
};

constexpr std::uint32_t kToggleEvent = 0x4000CC01;  // show or hide the window

// Ends an event loop when the window it watches is shown.
class QuitOnShow final : public QObject {
 public:
  QuitOnShow(QWidget& window, QEventLoop& loop) : loop_(loop) { window.installEventFilter(this); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show) loop_.quit();
    return false;
  }

 private:
  QEventLoop& loop_;
};

// Runs the event loop until the window shows, or ten seconds have gone.
void WaitUntilShown(QWidget& window) {
  QEventLoop loop;
  QuitOnShow quit(window, loop);
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  if (!window.isVisible()) loop.exec();
}

// The main window over a simulated mouse, a key store in memory, a recording host and fakes of
// the hook, the driver and the device notifications; the profile files in a temporary folder.
class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    SetSkinPixelRatio(1.0);
    platform::PathEnvironment env;
    env.z900_home = folder.path();
    context.paths = platform::ResolveProgramPaths(env);
    context.strings.Set(StringKey::str_program_title, u"Z900 Mouse Configuration");
    context.strings.Set(StringKey::str_msg6, u"No mouse");
    context.strings.Set(StringKey::str_ok, u"OK");
    channel.OpenDevice(startup_handle);
  }
  ~MainWindowTest() override {
    window.reset();
    channel.CloseDevice(startup_handle);
  }

  // Profile 1's file as another program stores it: what the page holds, at `rate` in mode 0.
  void StoreProfileWithRate(std::int32_t rate) {
    auto record = std::make_unique<config::SettingsRecord>(context.settings);
    record->report_rate[0] = rate;
    std::vector<std::uint8_t> bytes = config::RecordBytes(*record);
    bytes.push_back(0);
    ASSERT_FALSE(platform::WriteFileAtomically(config::ProfileFilePath(context.paths, 0), bytes));
  }

  CZ9xMouseConfigDlg& Window() {
    if (!window) {
      window = std::make_unique<CZ9xMouseConfigDlg>(MainWindowPorts{
          context, channel, store, host, hook, events, &monitor, clock, layout, foreground});
      window->InitMainWindow();
    }
    return *window;
  }

  z900::test::TempFolder folder;
  config::AppContext context;
  GatedClock clock;
  sim::SimulatedMouse mouse{clock};
  sim::SimHidBackend backend{mouse};
  device::HidChannel channel{backend, clock};
  device::DeviceHandle startup_handle;
  platform::MemoryKeyStore store;
  z900::test::RecordingHostServices host;
  z900::test::FakeKeyboardHook hook;
  FakeDriver driver;
  device::EventChannel events{driver};
  FakeMonitor monitor;
  z900::test::LetterLayout layout;
  z900::test::FakeForeground foreground;
  std::unique_ptr<CZ9xMouseConfigDlg> window;
};

// A hidden start makes no window: nothing on the screen's side, no control, no picture. The
// tray icon is up, the profiles are loaded and the settings page is at work all the same; the
// first showing makes the window, as the layout places it.
TEST_F(MainWindowTest, HiddenStartMakesNoWindowTheFirstShowingMakesIt) {
  const std::size_t pictures_before = SkinPicturesHeld();
  CZ9xMouseConfigDlg& dlg = Window();
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_FALSE(dlg.testAttribute(Qt::WA_WState_Created));
  EXPECT_EQ(dlg.close_button(), nullptr);
  ASSERT_NE(dlg.settings_page(), nullptr);
  EXPECT_FALSE(dlg.settings_page()->controls_built());
  EXPECT_EQ(dlg.page(kMacroPage), nullptr);
  EXPECT_EQ(SkinPicturesHeld(), pictures_before);
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Z900 Mouse Configuration"));
  ASSERT_NE(dlg.tray_icon(), nullptr);
  EXPECT_TRUE(dlg.tray_icon()->isVisible());
  EXPECT_EQ(dlg.tray_icon()->toolTip(), QStringLiteral("Z900 Mouse Configuration"));
  // The first showing only loaded: the profiles and the page's own handle on the mouse, on the
  // window's page state.
  EXPECT_EQ(dlg.page_model().selected_profile, 0);
  EXPECT_TRUE(dlg.page_model().mouse_handle);
  EXPECT_EQ(&dlg.settings_page()->model(), &dlg.page_model());
  EXPECT_TRUE(std::filesystem::exists(config::ProfileFilePath(context.paths, 0)));
  platform::KeyValue marker;
  EXPECT_EQ(store.ReadValue(config::kConfigKey, config::kFirstRunValue, marker),
            platform::KeyStoreStatus::kOk);
  EXPECT_EQ(marker, platform::BinaryValue({1, 0, 0, 0}));
  EXPECT_TRUE(monitor.tell);

  dlg.TrayNotify(515);
  ASSERT_TRUE(dlg.isVisible());
  EXPECT_GT(SkinPicturesHeld(), pictures_before);
  EXPECT_EQ(dlg.size(), QSize(822, 544));
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(dlg.pos(),
            QPoint(area.x() + (area.width() - 822) / 2, area.y() + (area.height() - 544) / 2));
  EXPECT_TRUE(dlg.mask().contains(QPoint(411, 272)));
  EXPECT_FALSE(dlg.mask().contains(QPoint(1, 1)));
  EXPECT_EQ(dlg.close_button()->geometry(), QRect(788, 3, 31, 30));
  EXPECT_EQ(dlg.minimise_button()->geometry(), QRect(762, 3, 27, 21));
  EXPECT_EQ(dlg.mouse_page_button()->geometry(), QRect(30, 56, 56, 29));
  EXPECT_EQ(dlg.macro_page_button()->geometry(), QRect(94, 56, 65, 29));
  EXPECT_TRUE(dlg.mouse_page_button()->GetCheck());
  EXPECT_FALSE(dlg.macro_page_button()->GetCheck());
  ASSERT_EQ(dlg.page(kSettingsPage), dlg.settings_page());
  EXPECT_TRUE(dlg.settings_page()->isVisible());
  EXPECT_EQ(dlg.settings_page()->geometry(), QRect(0, 85, 820, 456));
  EXPECT_TRUE(dlg.settings_page()->profile_tab(0)->selected());
  EXPECT_EQ(dlg.page(kMacroPage), nullptr);  // made when it is first opened
}

// Hidden in the tray nothing wakes the utility once the driver took its registration: no timer
// runs, the automatic switching's neither, as its back-end announces every change. Shown, the
// page's timers run; hidden again, they stop.
TEST_F(MainWindowTest, NoTimerRunsWhileHidden) {
  foreground.event_driven = true;
  driver.OpenDevice();
  CZ9xMouseConfigDlg& dlg = Window();
  QTimer* registration = dlg.findChild<QTimer*>(QStringLiteral("registrationRetry"));
  ASSERT_NE(registration, nullptr);
  registration->start(0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !registration->isActive(); }, 5000));
  const auto running = [&] {
    QStringList names;
    for (const QTimer* timer : dlg.findChildren<QTimer*>()) {
      if (timer->isActive()) names << timer->objectName();
    }
    return names;
  };
  EXPECT_TRUE(running().isEmpty()) << running().join(' ').toStdString();

  dlg.TrayNotify(515);
  EXPECT_TRUE(running().contains(QStringLiteral("switchTimer")));
  QTest::mouseClick(dlg.close_button(), Qt::LeftButton);
  EXPECT_TRUE(running().isEmpty()) << running().join(' ').toStdString();
}

// The settings page's "more" choice reaches the macro page's chooser through the window's
// UiPort, with the row of the button's macro preselected.
TEST_F(MainWindowTest, ThePagesMacroChooserIsTheMacroPagesDialog) {
  for (const auto& [id, name] : {std::pair(0x101u, u"one"), std::pair(0x102u, u"two")}) {
    std::vector<macro::MacroRow> rows = {macro::DelayRow(20)};
    macro::SaveMacro(store, macro::BuildMacroRecord(rows, id, name, u"1").record);
  }
  CZ9xMouseConfigDlg& dlg = Window();
  QTimer::singleShot(0, [] {
    auto* chooser = qobject_cast<CDlgMacro*>(QApplication::activeModalWidget());
    if (chooser == nullptr) {
      ADD_FAILURE() << "no macro chooser";
      if (QWidget* other = QApplication::activeModalWidget()) other->close();
      return;
    }
    EXPECT_EQ(chooser->list()->SelectedRow(), 1);
    QTest::mouseClick(chooser->ok_button(), Qt::LeftButton);
  });
  const std::optional<platform::MacroChoice> chosen = dlg.ui().ChooseMacro(2);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->id, 0x102u);
  EXPECT_EQ(chosen->position, 2);
}

// A mouse event while the page's macro chooser is open asks the mouse for its mode, which
// changes the current mode: the macro still goes to the button of the mode whose menu was
// opened, and Apply writes its code there.
TEST_F(MainWindowTest, AMacroChosenWhileTheMouseReportsItsModeLandsInTheModeShown) {
  std::vector<macro::MacroRow> rows = {macro::KeyRow(macro::kRowKeyDown, 'A'),
                                       macro::KeyRow(macro::kRowKeyUp, 'A')};
  macro::SaveMacro(store, macro::BuildMacroRecord(rows, 0x101, u"sprint", u"1").record);
  CZ9xMouseConfigDlg& dlg = Window();
  dlg.TrayNotify(515);
  CSetDlg* page = dlg.settings_page();
  QTest::mousePress(page->mode_tab(1), Qt::LeftButton, {}, page->mode_tab(1)->rect().center());
  ASSERT_EQ(context.current_mode, 1);
  QTest::mouseClick(page->assignment_button(3), Qt::LeftButton);
  ASSERT_TRUE(page->menu().IsOpen());

  QTimer::singleShot(0, [&] {
    auto* chooser = qobject_cast<CDlgMacro*>(QApplication::activeModalWidget());
    if (chooser == nullptr) {
      ADD_FAILURE() << "no macro chooser";
      if (QWidget* other = QApplication::activeModalWidget()) other->close();
      return;
    }
    dlg.ExecuteHostAction(kToggleEvent);  // button 6 of the mouse's mode 0
    EXPECT_EQ(context.current_mode, 0);
    chooser->list()->setCurrentRow(0);
    QTest::mouseClick(chooser->ok_button(), Qt::LeftButton);
  });
  emit page->menu().Chosen(config::kMoreMacrosItem, 6);  // "more" in the macro sub-menu

  EXPECT_EQ(config::ButtonOf(context.settings, 1, 3).function_type, config::kTypeMacro);
  EXPECT_EQ(config::MacroIdOf(context.profiles.entries[0], 1, 3), 0x101u);
  EXPECT_EQ(config::ButtonOf(context.settings, 0, 3).function_type, 4);
  EXPECT_EQ(config::MacroIdOf(context.profiles.entries[0], 0, 3), 0u);

  QTest::mouseClick(page->apply_button(), Qt::LeftButton);
  dlg.worker().WaitUntilIdle();
  const std::uint32_t code = dlg.page_model().macro_slot_codes[1][2];
  EXPECT_NE(code, 0u);
  EXPECT_EQ(mouse.ReadWord(*device::ButtonSlotAddress(1, 3)), code);
  EXPECT_EQ(dlg.page_model().macro_slot_codes[0][2], 0u);
}

// Every showing after the first reloads the profiles from the key store and the files.
TEST_F(MainWindowTest, DoubleClickShowsTheWindowWithTheProfileReloaded) {
  CZ9xMouseConfigDlg& dlg = Window();
  StoreProfileWithRate(125);
  context.tray_hidden_flag = 1;
  dlg.TrayNotify(515);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(context.settings.report_rate[0], 125);
  EXPECT_EQ(context.tray_hidden_flag, 0);
  dlg.TrayNotify(512);  // a mere move over the icon
  EXPECT_TRUE(dlg.isVisible());
}

// Showing the window again asks before the stored profile replaces what the page holds and
// has not applied; Cancel shows the page as it is, Discard reloads it.
TEST_F(MainWindowTest, ShowingAsksBeforeTheStoredProfileReplacesUnappliedEdits) {
  context.strings.Set(StringKey::str_unapplied, u"Not applied");
  CZ9xMouseConfigDlg& dlg = Window();
  dlg.TrayNotify(515);
  QTest::mouseClick(dlg.settings_page()->dpi_box(0), Qt::LeftButton);  // 800 off
  ASSERT_EQ(context.settings.dpi_stages[0][0], 1600);
  QTest::mouseClick(dlg.close_button(), Qt::LeftButton);
  {
    test::AnswerDialogs stay(test::AnswerDialogs::Answer::kCancel);
    dlg.TrayNotify(515);
    EXPECT_THAT(stay.shown, ElementsAre(QStringLiteral("Not applied")));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(context.settings.dpi_stages[0][0], 1600);
  }
  {
    test::AnswerDialogs discard(test::AnswerDialogs::Answer::kDiscard);
    dlg.TrayNotify(515);
    EXPECT_EQ(discard.shown.size(), 1u);
    EXPECT_EQ(context.settings.dpi_stages[0][0], 800);
  }
  test::AnswerDialogs none;
  dlg.TrayNotify(515);
  EXPECT_THAT(none.shown, IsEmpty());
}

// z900ctl holds the profiles' lock for a whole write into the mouse: showing the window
// meanwhile must not wait for it on the ui thread, and shows the window once it is free.
TEST_F(MainWindowTest, ShowingWhileAnotherProgramWritesWaitsOffTheUiThread) {
  CZ9xMouseConfigDlg& dlg = Window();
  QTimer* retry = dlg.findChild<QTimer*>(QStringLiteral("storeRetry"));
  ASSERT_NE(retry, nullptr);
  std::error_code error;
  std::unique_ptr<platform::FileLock> other =
      config::TryLockStore(context.paths, platform::LockMode::kExclusive, error);
  ASSERT_TRUE(other) << error.message();
  StoreProfileWithRate(125);

  dlg.TrayNotify(515);  // returns at once
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_TRUE(retry->isActive());
  EXPECT_EQ(context.settings.report_rate[0], 1000);

  other.reset();
  retry->start(0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.isVisible(); }, 5000));
  EXPECT_EQ(context.settings.report_rate[0], 125);
  EXPECT_FALSE(retry->isActive());
}

TEST_F(MainWindowTest, MouseGoneWhenShowingTellsOnceAndStaysHidden) {
  CZ9xMouseConfigDlg& dlg = Window();
  mouse.Unplug();
  test::AnswerDialogs answer;
  dlg.ShowMainWindow();
  EXPECT_THAT(answer.shown, ElementsAre(QStringLiteral("No mouse")));
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(context.message_box_flag, 0);
}

TEST_F(MainWindowTest, ButtonsHideMinimiseAndSwitchPages) {
  CZ9xMouseConfigDlg& dlg = Window();
  dlg.TrayNotify(515);
  hook.calls.clear();
  QTest::mouseClick(dlg.macro_page_button(), Qt::LeftButton);
  EXPECT_TRUE(dlg.page(kSettingsPage)->isHidden());
  EXPECT_FALSE(dlg.page(kMacroPage)->isHidden());
  EXPECT_TRUE(dlg.macro_page_button()->GetCheck());
  EXPECT_FALSE(dlg.mouse_page_button()->GetCheck());
  EXPECT_TRUE(hook.calls.empty());  // the macro page records keys
  EXPECT_NE(qobject_cast<CMacroDlg*>(dlg.page(kMacroPage)), nullptr);

  // Leaving the macro page, and hiding the window, switch forwarding off (the window and the
  // page each say so).
  QTest::mouseClick(dlg.mouse_page_button(), Qt::LeftButton);
  EXPECT_FALSE(dlg.page(kSettingsPage)->isHidden());
  EXPECT_TRUE(dlg.mouse_page_button()->GetCheck());
  EXPECT_THAT(hook.calls, AllOf(Not(IsEmpty()), Each("SetHookStatus(0)")));
  hook.calls.clear();

  QTest::mouseClick(dlg.close_button(), Qt::LeftButton);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(context.tray_hidden_flag, 1);
  EXPECT_THAT(hook.calls, ElementsAre("SetHookStatus(0)"));
  // Showing again keeps the page that was selected.
  dlg.TrayNotify(515);
  EXPECT_FALSE(dlg.page(kSettingsPage)->isHidden());
}

// The tray menu holds About, Settings and Exit, in this order; its choice is carried out.
TEST_F(MainWindowTest, TrayMenuShowsTheWindowOrEndsTheUtility) {
  CZ9xMouseConfigDlg& dlg = Window();
  QSignalSpy ended(&dlg, &CZ9xMouseConfigDlg::Ended);
  for (const int item : {1, 2}) {
    QTimer::singleShot(0, &dlg, [&dlg, item] {
      CXPMenu* menu = dlg.open_menu();
      ASSERT_NE(menu, nullptr);
      EXPECT_FALSE(menu->ItemRect(2).isEmpty());
      QTest::mouseClick(menu, Qt::LeftButton, {}, menu->ItemRect(item).center());
    });
    dlg.TrayNotify(517);
    EXPECT_EQ(dlg.open_menu(), nullptr);
  }
  EXPECT_EQ(ended.count(), 1);
  EXPECT_TRUE(dlg.has_shut_down());
}

// A language file without the program's title leaves the caption and the tip empty.
TEST_F(MainWindowTest, NoTitleInTheLanguageFileGivesAnEmptyCaption) {
  context.strings = {};
  CZ9xMouseConfigDlg& dlg = Window();
  EXPECT_TRUE(dlg.windowTitle().isEmpty());
  EXPECT_TRUE(dlg.tray_icon()->toolTip().isEmpty());
}

TEST_F(MainWindowTest, ExitWaitsForNoDialogAndNoMessage) {
  CZ9xMouseConfigDlg& dlg = Window();
  QSignalSpy ended(&dlg, &CZ9xMouseConfigDlg::Ended);
  dlg.page_model().dialog_open = 1;
  dlg.MenuCommand(kCommandExit);
  context.message_box_flag = 1;
  dlg.page_model().dialog_open = 0;
  dlg.MenuCommand(kCommandExit);
  EXPECT_EQ(ended.count(), 0);
  context.message_box_flag = 0;
  dlg.MenuCommand(kCommandExit);
  EXPECT_EQ(ended.count(), 1);
}

TEST_F(MainWindowTest, ShutDownReleasesEverythingInOrderOnce) {
  CZ9xMouseConfigDlg& dlg = Window();
  driver.OpenDevice();
  ASSERT_TRUE(events.RegistrationTick());
  QSignalSpy ended(&dlg, &CZ9xMouseConfigDlg::Ended);
  hook.calls.clear();
  dlg.ShutDown();
  dlg.ShutDown();
  EXPECT_EQ(ended.count(), 1);
  EXPECT_TRUE(dlg.has_shut_down());
  EXPECT_EQ(dlg.page(kSettingsPage), nullptr);
  EXPECT_FALSE(dlg.page_model().mouse_handle);
  EXPECT_EQ(channel.load_count(), 1);  // only start-up's own handle is left
  EXPECT_THAT(hook.calls, ElementsAre("SetHookStatus(0)", "RemoveHook"));
  EXPECT_FALSE(events.registered());
  EXPECT_EQ(dlg.tray_icon(), nullptr);
  // Nothing reaches a window that has shut down.
  dlg.TrayNotify(515);
  dlg.OnInstanceRequest(app::InstanceRequest::kShowWindow);
  EXPECT_FALSE(dlg.isVisible());
}

TEST_F(MainWindowTest, UnpluggingTellsThenShutsDownPluggingInOnlyWaits) {
  CZ9xMouseConfigDlg& dlg = Window();
  QSignalSpy ended(&dlg, &CZ9xMouseConfigDlg::Ended);
  const std::uint64_t before = clock.NowMs();
  monitor.tell(platform::DeviceChange::kArrival);
  EXPECT_EQ(clock.NowMs() - before, 200u);
  EXPECT_EQ(ended.count(), 0);

  test::AnswerDialogs answer;
  monitor.tell(platform::DeviceChange::kRemoval);
  EXPECT_THAT(answer.shown, ElementsAre(QStringLiteral("No mouse")));
  EXPECT_EQ(ended.count(), 1);
}

// A dialog must not outlive the utility's end: closes a dialog that is still open after a
// moment, as a failure, so that a test of that never hangs.
class DialogDeadline final : public QObject {
 public:
  DialogDeadline() {
    QTimer::singleShot(5000, this, [] {
      if (QWidget* dialog = QApplication::activeModalWidget()) {
        ADD_FAILURE() << "a dialog outlived the end of the utility";
        dialog->close();
      }
    });
  }
};

// The mouse unplugged while the about box is open: the notice, then the end, which closes the
// about box as its close button would; the utility ends once it is gone.
TEST_F(MainWindowTest, UnpluggingWithTheAboutBoxOpenClosesItAndEnds) {
  CZ9xMouseConfigDlg& dlg = Window();
  QSignalSpy ended(&dlg, &CZ9xMouseConfigDlg::Ended);
  std::optional<int> about_result;
  std::vector<QString> notices;
  QTimer::singleShot(0, &dlg, [&] {
    auto* about = qobject_cast<CAboutMag*>(QApplication::activeModalWidget());
    if (about == nullptr) return ADD_FAILURE() << "no about box";
    QObject::connect(about, &QDialog::finished, [&](int result) { about_result = result; });
    test::AnswerDialogs answer;
    monitor.tell(platform::DeviceChange::kRemoval);
    notices = answer.shown;
  });
  DialogDeadline deadline;
  dlg.MenuCommand(kCommandAbout);  // returns when the about box has gone
  EXPECT_THAT(notices, ElementsAre(QStringLiteral("No mouse")));
  EXPECT_EQ(about_result, kResultCancel);
  QCoreApplication::processEvents();
  EXPECT_EQ(ended.count(), 1);
  EXPECT_TRUE(dlg.has_shut_down());
  EXPECT_EQ(context.message_box_flag, 0);
}

// The end (Exit, SIGTERM, the session's end) while a question is open: the question ends as
// cancelled and the utility ends after its caller has gone on; a dialog asked for afterwards
// ends at once, unseen.
TEST_F(MainWindowTest, TheEndCancelsAnOpenQuestionAndRefusesLaterDialogs) {
  CZ9xMouseConfigDlg& dlg = Window();
  QSignalSpy ended(&dlg, &CZ9xMouseConfigDlg::Ended);
  QTimer::singleShot(0, &dlg, [&] {
    if (QApplication::activeModalWidget() == nullptr) return ADD_FAILURE() << "no question";
    dlg.ShutDown();
    EXPECT_EQ(ended.count(), 0) << "ended under the open question";
  });
  DialogDeadline deadline;
  EXPECT_EQ(dlg.ui().ShowMessage(u"Reset?", true), kResultCancel);
  EXPECT_FALSE(dlg.has_shut_down()) << "ended under the question's caller";
  test::AnswerDialogs answer;
  EXPECT_EQ(dlg.ui().ShowMessage(u"Later", false), kResultCancel);
  EXPECT_TRUE(answer.shown.empty());
  QCoreApplication::processEvents();
  EXPECT_EQ(ended.count(), 1);
  EXPECT_TRUE(dlg.has_shut_down());
}

// What shows the window from the tray: the double click in an XEmbed tray, where the single
// click (a trigger) does nothing; the activation on a StatusNotifier host, which never sends a
// double click. The host's context request and middle click show nothing.
TEST(TrayHostTest, EachHostsClickShowsTheWindow) {
  struct Case {
    QSystemTrayIcon::ActivationReason why;
    bool xembed;
    bool status_notifier;
  };
  const Case cases[] = {
      {QSystemTrayIcon::DoubleClick, true, true},
      {QSystemTrayIcon::Trigger, false, true},
      {QSystemTrayIcon::Context, false, false},
      {QSystemTrayIcon::MiddleClick, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ActivationShowsWindow(c.why, TrayHost::kIconWindow), c.xembed) << c.why;
    EXPECT_EQ(ActivationShowsWindow(c.why, TrayHost::kStatusNotifier), c.status_notifier) << c.why;
  }
}

TEST_F(MainWindowTest, RequestsOfOtherInstancesShowAndHide) {
  CZ9xMouseConfigDlg& dlg = Window();
  dlg.OnInstanceRequest(app::InstanceRequest::kShowWindow);
  EXPECT_TRUE(dlg.isVisible());
  dlg.OnInstanceRequest(app::InstanceRequest::kHideWindow);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(context.tray_hidden_flag, 0);  // hidden from outside, not by the user
}

// A press of a one-key-start button crosses from the reader thread to the ui thread and toggles
// the window; not while a dialog of the page or a message is open.
TEST_F(MainWindowTest, OneKeyStartEventTogglesTheWindow) {
  CZ9xMouseConfigDlg& dlg = Window();
  ASSERT_TRUE(events.RegistrationTick());
  driver.Deliver(kToggleEvent);
  WaitUntilShown(dlg);
  EXPECT_TRUE(dlg.isVisible());

  dlg.ExecuteHostAction(kToggleEvent);
  EXPECT_FALSE(dlg.isVisible());
  dlg.page_model().dialog_open = 1;
  dlg.ExecuteHostAction(kToggleEvent);
  EXPECT_FALSE(dlg.isVisible());
}

// The firmware restart step writes the mouse on the worker: meanwhile the ui thread runs on,
// and an event that arrives waits for the write and is carried out after it.
TEST_F(MainWindowTest, RestartStepWritesOnTheWorkerWhileTheWindowRunsOn) {
  std::filesystem::create_directories(context.paths.update_folder);
  platform::IniFile::WriteString(update::MarkerFile(context.paths), update::kMarkerSection,
                                 update::kMarkerKey, update::kMarkerPending);
  ASSERT_TRUE(update::FirmwareMarkerPending(context.paths));
  CZ9xMouseConfigDlg& dlg = Window();
  QEventLoop loop;
  clock.CloseGate(
      [&] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  dlg.StartFirmwareRestartStep();
  loop.exec();  // the worker is in the middle of the write
  EXPECT_TRUE(dlg.worker().busy());
  dlg.ExecuteHostAction(kToggleEvent);
  bool ui_ran = false;
  QTimer::singleShot(0, [&] { ui_ran = true; });
  QCoreApplication::processEvents();
  EXPECT_TRUE(ui_ran);
  EXPECT_FALSE(dlg.isVisible());  // the event waits

  clock.OpenGate();
  WaitUntilShown(dlg);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_FALSE(dlg.worker().busy());
  EXPECT_FALSE(update::FirmwareMarkerPending(context.paths));
  // The defaults of the profile reached the mouse: button 6 of mode 0 is one-key start.
  EXPECT_EQ(device::EventWordOfDeviceCode(mouse.ReadWord(*device::ButtonSlotAddress(0, 6))),
            kToggleEvent);
}

// The number of writes of the whole configuration that reached the mouse.
int AppliesIn(const sim::SimulatedMouse& mouse) {
  int applies = 0;
  for (const auto& report : mouse.SentReports()) applies += report[1] == 0xA6 && report[2] == 0x02;
  return applies;
}

// While a write runs, the window and the progress window can be moved and nothing is modal, but
// the page takes no command: twelve clicks on Apply make one write.
TEST_F(MainWindowTest, DuringAWriteTheWindowsMoveAndThePageTakesNoCommand) {
  CZ9xMouseConfigDlg& dlg = Window();
  dlg.TrayNotify(515);
  CSetDlg* page = dlg.settings_page();
  mouse.ClearWireLog();
  QEventLoop loop;
  clock.CloseGate(
      [&] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  QTest::mouseClick(page->apply_button(), Qt::LeftButton);
  loop.exec();  // the worker is in the middle of the write
  ASSERT_TRUE(dlg.worker().busy());
  for (int click = 1; click < 12; ++click) QTest::mouseClick(page->apply_button(), Qt::LeftButton);
  QTest::mouseClick(page->rate_button(0), Qt::LeftButton);

  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  CProgressDlg* progress = dlg.ui().progress();
  ASSERT_NE(progress, nullptr);
  EXPECT_TRUE(progress->isVisible());
  for (QWidget* moved : {static_cast<QWidget*>(&dlg), static_cast<QWidget*>(progress)}) {
    const QPoint before = moved->pos();
    const QPoint at(200, 20);  // the main window's title band; the progress window's face
    QTest::mousePress(moved, Qt::LeftButton, {}, at);
    QTest::mouseMove(moved, at + QPoint(30, 20));
    QTest::mouseRelease(moved, Qt::LeftButton, {}, at + QPoint(30, 20));
    EXPECT_EQ(moved->pos(), before + QPoint(30, 20)) << moved->metaObject()->className();
  }

  clock.OpenGate();
  dlg.worker().WaitUntilIdle();
  EXPECT_EQ(AppliesIn(mouse), 1);
  EXPECT_EQ(context.settings.report_rate[0], 1000) << "the rate's click was not taken";
}

// The mouse unplugged during a write: the window says that it was removed during the write and
// that the utility ends, and it ends; the profile is marked for the next start, which writes it
// once.
TEST_F(MainWindowTest, UnpluggingDuringAWriteEndsAndTheNextStartWritesAgain) {
  context.strings.Set(StringKey::str_unplugged_write, u"removed while written");
  CZ9xMouseConfigDlg& dlg = Window();
  dlg.TrayNotify(515);
  QSignalSpy ended(&dlg, &CZ9xMouseConfigDlg::Ended);
  test::AnswerDialogs answer;
  mouse.SetFaults({.unplug_after = 10});
  QTest::mouseClick(dlg.settings_page()->apply_button(), Qt::LeftButton);
  monitor.tell(platform::DeviceChange::kRemoval);  // heard while the write runs
  EXPECT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 10000));
  EXPECT_THAT(answer.shown, ElementsAre(QStringLiteral("removed while written")));
  EXPECT_TRUE(config::WritePending(store));
  window.reset();

  mouse.SetFaults({});
  mouse.Plug();
  channel.CloseDevice(startup_handle);
  channel.OpenDevice(startup_handle);
  mouse.ClearWireLog();
  Window().StartFirmwareRestartStep();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !config::WritePending(store); }, 10000));
  window->worker().WaitUntilIdle();
  EXPECT_EQ(AppliesIn(mouse), 1);
  window->StartFirmwareRestartStep();
  window->worker().WaitUntilIdle();
  EXPECT_EQ(AppliesIn(mouse), 1) << "once";
}

// A damaged profile file met when the window loads is told in the program's own dialog, with
// the copy that was kept.
TEST_F(MainWindowTest, ADamagedProfileFileIsToldWithItsCopy) {
  context.strings.Set(StringKey::str_profile_damaged, u"kept as %s");
  const std::filesystem::path file = config::ProfileFilePath(context.paths, 0);
  std::filesystem::create_directories(file.parent_path());
  ASSERT_FALSE(platform::WriteFileAtomically(file, std::vector<std::uint8_t>(100, 0xBA)));
  test::AnswerDialogs answer;
  Window();
  ASSERT_EQ(answer.shown.size(), 1u);
  EXPECT_TRUE(answer.shown[0].startsWith(QStringLiteral("kept as ") +
                                         QString::fromStdString(file.string()) + ".damaged-"))
      << answer.shown[0].toStdString();
}

}  // namespace
}  // namespace z900::ui
