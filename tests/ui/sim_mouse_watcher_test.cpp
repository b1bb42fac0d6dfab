#include "ui/sim_mouse_watcher.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstring>

#include "device/driver_records.h"
#include "platform/virtual_clock.h"
#include "sim/sim_state_file.h"
#include "support/temp_folder.h"

namespace z900::ui {
namespace {

using platform::DeviceChange;
using ::testing::ElementsAre;

// The window program's watcher beside another program that changes the shared mouse.
class SimMouseWatcherTest : public ::testing::Test {
 protected:
  SimMouseWatcherTest() {
    watcher.Start([this](DeviceChange change) {
      changes.push_back(change);
      if (waiting_) waiting_->quit();
    });
  }

  void OtherProgramDoes(const std::function<void(sim::SimulatedMouse&)>& change) {
    std::string error;
    auto session = sim::SimStateSession::Open(path, error);
    ASSERT_TRUE(session) << error;
    sim::SimulatedMouse other(clock, session->state());
    change(other);
    ASSERT_TRUE(session->Save(other.state(), error)) << error;
  }

  // Runs the event loop until the watcher reports a change (five seconds at most).
  void WaitForChange() {
    QEventLoop loop;
    waiting_ = &loop;
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    waiting_ = nullptr;
  }

  test::TempFolder folder;
  std::filesystem::path path = folder.path() / "state" / "sim-mouse.bin";
  platform::VirtualClock clock;
  sim::SharedSimMouse mouse{path, clock};
  sim::SimStateEventSource events{path, clock,
                                  sim::SimStateEventSource::Polling::kDeliveredByWatcher};
  SimMouseWatcher watcher{mouse, events};
  std::vector<DeviceChange> changes;
  QEventLoop* waiting_ = nullptr;
};

// "z900ctl --simulate sim unplug" in another terminal reaches the watcher through the folder.
TEST_F(SimMouseWatcherTest, UnplugInAnotherProgramIsARemoval) {
  OtherProgramDoes([](sim::SimulatedMouse& other) { other.Unplug(); });
  WaitForChange();
  EXPECT_THAT(changes, ElementsAre(DeviceChange::kRemoval));
}

TEST_F(SimMouseWatcherTest, PlugInsAndOutsBetweenTwoLooksAreAllTold) {
  OtherProgramDoes([](sim::SimulatedMouse& other) { other.Unplug(); });
  watcher.Check();
  OtherProgramDoes([](sim::SimulatedMouse& other) { other.Plug(); });
  watcher.Check();
  OtherProgramDoes([](sim::SimulatedMouse& other) {
    other.Unplug();
    other.Plug();
  });
  watcher.Check();
  watcher.Check();  // nothing new
  EXPECT_THAT(changes, ElementsAre(DeviceChange::kRemoval, DeviceChange::kArrival,
                                   DeviceChange::kRemoval, DeviceChange::kArrival));
}

// Presses reach the event source only while the utility is registered; until then they wait in
// the mouse, and reach it as soon as it registers, without another change of the file.
TEST_F(SimMouseWatcherTest, EventsGoToTheDriverOnlyWhileRegistered) {
  {
    std::string error;
    auto session = sim::SimStateSession::Open(path, error);
    ASSERT_TRUE(session) << error;
    const std::uint32_t toggle_on_button_3 = 0x01CC0004;
    std::memcpy(&session->state().memory[0x408], &toggle_on_button_3, 4);
    ASSERT_TRUE(session->Save(session->state(), error)) << error;
  }
  OtherProgramDoes([](sim::SimulatedMouse& other) { other.PressButton(3); });
  QCoreApplication::processEvents();  // the folder's notice of the press: the source is closed
  std::array<std::uint8_t, 60> buffer{};
  EXPECT_FALSE(events.ReadEvent(buffer));

  ASSERT_TRUE(events.OpenDevice());
  QCoreApplication::processEvents();
  ASSERT_TRUE(events.ReadEvent(buffer));
  EXPECT_EQ(buffer[0] | buffer[1] << 8 | buffer[2] << 16 | buffer[3] << 24, 0x4000CC01);

  // Closed and opened again, as a new registration does: a press in between waits and comes.
  events.CloseDevice();
  OtherProgramDoes([](sim::SimulatedMouse& other) { other.PressButton(3); });
  QCoreApplication::processEvents();
  EXPECT_FALSE(events.ReadEvent(buffer));
  ASSERT_TRUE(events.OpenDevice());
  QCoreApplication::processEvents();
  EXPECT_TRUE(events.ReadEvent(buffer));
  EXPECT_TRUE(changes.empty());
}

}  // namespace
}  // namespace z900::ui
