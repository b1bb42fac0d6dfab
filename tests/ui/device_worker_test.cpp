#include "ui/device_worker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTimer>
#include <atomic>
#include <thread>

#include "actions/host_action_executor.h"
#include "device/event_word.h"
#include "set_dlg_fixture.h"
#include "support/recording_host_services.h"
#include "ui/progress_dlg.h"
#include "ui/qt_ui_port.h"

namespace z900::ui::test {
namespace {

using ::testing::ElementsAre;

TEST(DeviceWorkerTest, WorkThatComesDuringAWriteWaitsAndKeepsItsOrder) {
  DeviceWorker worker;
  std::vector<std::string> log;
  worker.WhenIdle([&] { log.push_back("idle"); });
  EXPECT_THAT(log, ElementsAre("idle")) << "no write runs: at once";

  std::atomic<std::thread::id> write_thread;
  worker.Run([&] { write_thread = std::this_thread::get_id(); }, [&] { log.push_back("done"); });
  EXPECT_TRUE(worker.busy());
  // A write given while one runs follows it, before the waiting work.
  worker.Run([] {}, [&] { log.push_back("next write done"); });
  worker.WhenIdle([&] {
    log.push_back("first");
    // Work that starts a write holds back what came after it.
    worker.Run([] {}, [&] { log.push_back("second write done"); });
  });
  worker.WhenIdle([&] { log.push_back("second"); });
  EXPECT_THAT(log, ElementsAre("idle"));
  worker.WaitUntilIdle();
  EXPECT_THAT(
      log, ElementsAre("idle", "done", "next write done", "first", "second write done", "second"));
  EXPECT_NE(write_thread.load(), std::this_thread::get_id());
  EXPECT_FALSE(worker.busy());
}

// Passes every call on to the Qt UiPort; halfway through the write's progress the event reader
// thread hands an event word to the ui thread, as it does for a real button press.
class EventDuringWrite final : public platform::UiPort {
 public:
  EventDuringWrite(QtUiPort& qt, std::function<void()> deliver)
      : qt_(qt), deliver_(std::move(deliver)) {}
  int ShowMessage(const std::u16string& text, bool confirm) override {
    return qt_.ShowMessage(text, confirm);
  }
  void ShowStandardBox(const std::u16string& text, const std::u16string& caption) override {
    qt_.ShowStandardBox(text, caption);
  }
  void OpenProgress() override { qt_.OpenProgress(); }
  void SetProgress(int position) override {
    if (position == 50) {
      std::thread reader(
          [this] { QMetaObject::invokeMethod(qApp, deliver_, Qt::QueuedConnection); });
      reader.join();
    }
    qt_.SetProgress(position);
  }
  void CloseProgress() override { qt_.CloseProgress(); }
  void RefreshPage() override { qt_.RefreshPage(); }
  std::optional<std::filesystem::path> ChooseFile(platform::FileChoice kind) override {
    return qt_.ChooseFile(kind);
  }
  std::optional<std::filesystem::path> ChooseFolder() override { return qt_.ChooseFolder(); }
  bool HideMainWindow() override { return qt_.HideMainWindow(); }
  void ShowMainWindow() override { qt_.ShowMainWindow(); }
  void CloseAssignmentMenu() override { qt_.CloseAssignmentMenu(); }
  void ShutDown() override { qt_.ShutDown(); }
  bool ShowAboutBox() override { return qt_.ShowAboutBox(); }

 private:
  QtUiPort& qt_;
  std::function<void()> deliver_;
};

TEST_F(SetDlgTest, AnEventWordDuringAnApplyIsCarriedOutAfterItOnce) {
  QtUiPort qt_ui(context);
  z900::test::RecordingHostServices host;
  bool write_finished = false;
  int events_handled = 0;
  bool handled_after_write = false;
  constexpr std::uint32_t kOpenFile = 0x02C40004;  // button 3 opens a file
  const std::uint32_t word = *device::EventWordOfDeviceCode(kOpenFile);
  EventDuringWrite user(qt_ui, [&] {
    // The main window's handler of an event word.
    worker.WhenIdle([&] {
      ++events_handled;
      handled_after_write = write_finished;
      actions::HostActionPorts host_ports{channel, host, qt_ui};
      actions::ExecuteHostAction(word, context, dlg->model(), host_ports);
    });
  });
  Open(&user);
  qt_ui.SetMainWindowHooks({.refresh_page = [this] { dlg->Refresh(); }});
  config::ButtonAssignment& button = ButtonOf(context.settings, 0, 3);
  ASSERT_TRUE(config::SetHostAction(button, kOpenFile, u"/home/u/notes.txt"));
  button.function_type = config::kTypeHostAction;
  QObject::connect(dlg.get(), &CSetDlg::WriteFinished, [&] { write_finished = true; });

  // The window keeps running while the write does: its timers fire, the progress shows.
  int ticks_while_writing = 0;
  bool progress_seen = false;
  QTimer ticker;
  ticker.setInterval(0);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    if (!worker.busy()) return;
    ++ticks_while_writing;
    progress_seen = progress_seen || (qt_ui.progress() != nullptr && qt_ui.progress()->isVisible());
    dlg->grab();
  });
  ticker.start();
  Click(dlg->apply_button());
  worker.WaitUntilIdle();
  ticker.stop();

  EXPECT_TRUE(write_finished);
  EXPECT_EQ(events_handled, 1);
  EXPECT_TRUE(handled_after_write);
  EXPECT_THAT(host.calls, ElementsAre("open /home/u/notes.txt"));
  EXPECT_EQ(mouse.ReadWord(0x408), kOpenFile);
  EXPECT_GT(ticks_while_writing, 0);
  EXPECT_TRUE(progress_seen);
  EXPECT_EQ(qt_ui.progress(), nullptr);
  dlg.reset();  // before the ports it uses
}

TEST_F(SetDlgTest, QuittingDuringAWriteShowsProgressAndWaitsForIt) {
  WriteProfile(0, u"one");
  WriteProfile(1, u"two");
  QtUiPort qt_ui(context);
  Open(&qt_ui);
  context.profiles.entries[1].auto_switch = 1;
  platform::WriteFixedText(context.profiles.entries[1].program_name, u"gimp");
  foreground.name = u"gimp";

  dlg->SwitchTick();  // a write without progress window
  ASSERT_TRUE(worker.busy());
  int shut_downs = 0;
  bool written_before = false;
  ShutDownAfterWrites(worker, qt_ui, [&] {
    ++shut_downs;
    written_before = !Sent().empty() && qt_ui.progress() == nullptr;
  });
  EXPECT_NE(qt_ui.progress(), nullptr) << "the wait shows";
  EXPECT_EQ(shut_downs, 0);
  worker.WaitUntilIdle();
  EXPECT_EQ(shut_downs, 1);
  EXPECT_TRUE(written_before);

  ShutDownAfterWrites(worker, qt_ui, [&] { ++shut_downs; });
  EXPECT_EQ(shut_downs, 2) << "no write: at once";
  dlg.reset();
}

}  // namespace
}  // namespace z900::ui::test
