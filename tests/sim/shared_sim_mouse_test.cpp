#include "sim/shared_sim_mouse.h"

#include <gtest/gtest.h>

#include "device/command_set.h"
#include "device/hid_channel.h"
#include "platform/file_io.h"
#include "platform/virtual_clock.h"
#include "sim/sim_state_file.h"
#include "support/temp_folder.h"

namespace z900::sim {
namespace {

// A program that runs for long (the window) beside short ones that open the state file for one
// command each (the command-line tool).
class SharedSimMouseTest : public ::testing::Test {
 protected:
  SharedSimMouseTest() { EXPECT_TRUE(channel.OpenDevice(handle)); }
  ~SharedSimMouseTest() override { channel.CloseDevice(handle); }

  // What another program sees when it opens the file now, or does to it.
  MouseState OtherProgramSees() {
    std::string error;
    auto session = SimStateSession::Open(path, error);
    EXPECT_TRUE(session) << error;
    return session ? session->state() : MouseState{};
  }
  void OtherProgramDoes(const std::function<void(SimulatedMouse&)>& change) {
    std::string error;
    auto session = SimStateSession::Open(path, error);
    ASSERT_TRUE(session) << error;
    SimulatedMouse mouse(clock, session->state());
    change(mouse);
    ASSERT_TRUE(session->Save(mouse.state(), error)) << error;
  }

  test::TempFolder folder;
  const std::filesystem::path path = folder.path() / "sim-mouse.bin";
  platform::VirtualClock clock;
  SharedSimMouse shared{path, clock};
  SharedSimBackend backend{shared, clock};
  device::HidChannel channel{backend, clock};
  device::DeviceHandle handle;
};

TEST_F(SharedSimMouseTest, HoldsTheFileOnlyForOneCommand) {
  ASSERT_TRUE(device::WriteButtonSlot(channel, handle, 0, 3, 0x02C40004));
  // Between commands another program gets the file at once and sees the write.
  std::string error;
  bool busy = true;
  auto other = SimStateSession::TryOpen(path, error, busy);
  ASSERT_TRUE(other) << error;
  EXPECT_FALSE(busy);
  EXPECT_EQ(SimulatedMouse(clock, other->state()).ReadWord(0x408), 0x02C40004u);

  // While it holds the file, the long-running program waits instead of interleaving.
  EXPECT_EQ(shared.TryRun([](SimulatedMouse&) {}, error), SharedSimMouse::Attempt::kBusy);
  other.reset();
  EXPECT_EQ(shared.TryRun([](SimulatedMouse&) {}, error), SharedSimMouse::Attempt::kDone);
}

TEST_F(SharedSimMouseTest, SeesWhatOtherProgramsDidBetweenCommands) {
  OtherProgramDoes([](SimulatedMouse& mouse) { mouse.SetMode(1); });
  int mode = 0;
  ASSERT_TRUE(device::QueryMode(channel, handle, mode));
  EXPECT_EQ(mode, 1);

  // A press in the other program leaves its event for this one to take.
  ASSERT_TRUE(device::WriteButtonSlot(channel, handle, 1, 3, 0x01CC0004));  // show or hide
  OtherProgramDoes([](SimulatedMouse& mouse) { mouse.PressButton(3); });
  std::string error;
  std::vector<std::uint32_t> events;
  ASSERT_TRUE(shared.Run([&](SimulatedMouse& mouse) { events = mouse.TakeEvents(); }, error));
  EXPECT_EQ(events, std::vector<std::uint32_t>{0x4000CC01});
  EXPECT_TRUE(OtherProgramSees().pending_events.empty());
}

TEST_F(SharedSimMouseTest, UnplugKillsOpenHandlesForGood) {
  OtherProgramDoes([](SimulatedMouse& mouse) { mouse.Unplug(); });
  int mode = 0;
  EXPECT_FALSE(device::QueryMode(channel, handle, mode));
  device::DeviceHandle again;
  EXPECT_FALSE(channel.OpenDevice(again));
  EXPECT_EQ(channel.last_open_error(), platform::HidOpenError::kNoDevice);
  channel.CloseDevice(again);

  OtherProgramDoes([](SimulatedMouse& mouse) { mouse.Plug(); });
  EXPECT_FALSE(device::QueryMode(channel, handle, mode));  // opened before the unplug
  ASSERT_TRUE(channel.OpenDevice(again));
  EXPECT_TRUE(device::QueryMode(channel, again, mode));
  channel.CloseDevice(again);
}

TEST_F(SharedSimMouseTest, DamagedFileIsTheReasonTheMouseCannotBeOpened) {
  std::string error;
  {
    auto session = SimStateSession::Open(path, error);
    ASSERT_TRUE(session->Save(session->state(), error));
  }
  std::vector<std::uint8_t> bytes;
  ASSERT_FALSE(platform::ReadWholeFile(path, 1 << 20, bytes));
  bytes[100] ^= 1;
  ASSERT_FALSE(platform::WriteFileAtomically(path, bytes));

  device::DeviceHandle again;
  EXPECT_FALSE(channel.OpenDevice(again));
  EXPECT_EQ(channel.last_open_error(), platform::HidOpenError::kOpenFailed);
  EXPECT_NE(channel.last_open_detail().find("checksum"), std::string::npos);
  channel.CloseDevice(again);
  EXPECT_EQ(shared.TryRun([](SimulatedMouse&) {}, error), SharedSimMouse::Attempt::kFailed);
}

}  // namespace
}  // namespace z900::sim
