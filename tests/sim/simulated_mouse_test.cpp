#include "sim/simulated_mouse.h"

#include <gtest/gtest.h>

#include "device/command_set.h"
#include "device/memory_map.h"
#include "sim/sim_faults.h"
#include "support/sim_fixture.h"

namespace z900::sim {
namespace {

TEST(FactoryStateTest, HoldsModeFirmwareAndRatesAndZeroElsewhere) {
  const MouseState state = FactoryState();
  EXPECT_EQ(state.mode, 0);
  EXPECT_EQ(state.firmware, 12);
  ASSERT_EQ(state.memory.size(), 0x10000u);
  std::vector<std::uint8_t> expected(0x10000, 0);
  expected[0x14] = 1;
  expected[0x15] = 1;
  expected[0x18] = 12;
  EXPECT_EQ(state.memory, expected);
  EXPECT_TRUE(state.pending_events.empty());
}

TEST(ParseFaultsTest, ReadsEveryFaultAndRefusesNonsense) {
  std::string error;
  const std::optional<SimFaults> all = ParseFaults(
      "write-fail,read-fail,no-ack,ack-delay=30,status=0x02,unplug-after=5,only=0xa5,count=3",
      error);
  ASSERT_TRUE(all) << error;
  EXPECT_EQ(*all, (SimFaults{.fail_writes = true,
                             .fail_reads = true,
                             .no_ack = true,
                             .ack_delay_ms = 30,
                             .status = 2,
                             .unplug_after = 5,
                             .only_command = 0xA5,
                             .count = 3}));
  EXPECT_EQ(ParseFaults("", error), SimFaults{});
  for (const char* bad : {"ack-delay", "ack-delay=x", "status=256", "jam", "no-ack=1"}) {
    EXPECT_FALSE(ParseFaults(bad, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

class SimulatedMouseTest : public test::SimMouseTest {};

TEST_F(SimulatedMouseTest, KeepsSettingsOfTheSettingCommand) {
  const std::array<std::uint8_t, 2> stages = {1, 3};
  ASSERT_TRUE(channel.SendReport(*device::BuildDpiStageCommand(1, stages), handle));
  ASSERT_TRUE(device::SendSetting(channel, handle, device::kSettingLightingMode0, 4));
  ASSERT_TRUE(channel.SendReport(device::BuildReportRateCommand(2, 8), handle));
  EXPECT_EQ(mouse.state().dpi[1], (std::array<std::uint8_t, 6>{0x21, 3, 0, 0, 0, 0}));
  EXPECT_EQ(mouse.state().lighting[0], 4);
  EXPECT_EQ(mouse.ReadWord(0x14) & 0xFFFF, 0x0802u);
  // An unknown setting is answered, but not as done.
  EXPECT_FALSE(device::SendSetting(channel, handle, 9, 1));
}

TEST_F(SimulatedMouseTest, OnlyCommandRestrictsFaults) {
  mouse.SetFaults({.fail_writes = true, .only_command = 0xA5});
  int mode = 0;
  EXPECT_TRUE(device::QueryMode(channel, handle, mode));
  EXPECT_FALSE(device::WriteButtonSlot(channel, handle, 0, 1, 7));
}

// With a count the faults pass: the mouse behaves after that many commands they hit.
TEST_F(SimulatedMouseTest, CountedFaultsHitOnlyTheFirstCommands) {
  mouse.SetFaults({.no_ack = true, .only_command = 0xA5, .count = 2});
  EXPECT_FALSE(WriteButtonSlotForTest(0, 2, 1));
  EXPECT_TRUE(device::SendSetting(channel, handle, device::kSettingLightingMode0, 4));
  EXPECT_FALSE(WriteButtonSlotForTest(0, 2, 1));
  EXPECT_TRUE(WriteButtonSlotForTest(0, 2, 1));
  EXPECT_TRUE(WriteButtonSlotForTest(0, 3, 1));

  // Faults set again count afresh.
  mouse.SetFaults({.no_ack = true, .only_command = 0xA5, .count = 1});
  EXPECT_FALSE(WriteButtonSlotForTest(0, 2, 1));
  EXPECT_TRUE(WriteButtonSlotForTest(0, 2, 1));
}

TEST_F(SimulatedMouseTest, UnplugsAfterTheGivenNumberOfReports) {
  mouse.SetFaults({.unplug_after = 1});
  int mode = 0;
  EXPECT_TRUE(device::QueryMode(channel, handle, mode));
  EXPECT_FALSE(device::QueryMode(channel, handle, mode));
  EXPECT_FALSE(mouse.plugged());
  device::DeviceHandle another;
  EXPECT_FALSE(channel.OpenDevice(another));
  EXPECT_EQ(channel.last_open_error(), platform::HidOpenError::kNoDevice);
  channel.CloseDevice(another);
}

TEST_F(SimulatedMouseTest, ButtonPressYieldsTheEventWordOfHostActionsOnly) {
  ASSERT_TRUE(device::WriteButtonSlot(channel, handle, 0, 3, 0x02C40004));  // open file
  ASSERT_TRUE(device::WriteButtonSlot(channel, handle, 1, 3, 0x00020003));  // right click

  const std::optional<PressOutcome> file = mouse.PressButton(3);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->device_code, 0x02C40004u);
  EXPECT_EQ(file->event_word, 0x4000C402u);

  const std::optional<PressOutcome> click = mouse.PressButton(3, 1);
  ASSERT_TRUE(click);
  EXPECT_EQ(click->device_code, 0x00020003u);
  EXPECT_FALSE(click->event_word);

  mouse.SetMode(1);
  EXPECT_FALSE(mouse.PressButton(3)->event_word);
  EXPECT_FALSE(mouse.PressButton(0));
  EXPECT_FALSE(mouse.PressButton(9));

  EXPECT_EQ(mouse.TakeEvents(), std::vector<std::uint32_t>{0x4000C402u});
  EXPECT_TRUE(mouse.TakeEvents().empty());
}

TEST_F(SimulatedMouseTest, RefusesWritesOutsideTheMemoryAndReportsOfAnotherId) {
  // Raw report: a 24-byte write at 0xFFF0 would run past the end.
  std::array<std::uint8_t, 31> payload{0xA5, 0x00, 0x00, 0xFF, 0xF0, 24};
  ASSERT_TRUE(channel.SendReport(payload, handle));
  std::array<std::uint8_t, 32> buffer{0xA5};
  EXPECT_FALSE(channel.AwaitAck(buffer, 1, 120, handle));
  EXPECT_EQ(buffer[0], kStatusRefused);

  std::array<std::uint8_t, 32> foreign{0x01, 0xA2};
  EXPECT_FALSE(mouse.HandleOutputReport(foreign));
}

}  // namespace
}  // namespace z900::sim
