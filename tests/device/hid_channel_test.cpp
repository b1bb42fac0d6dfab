#include "device/hid_channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>

#include "support/sim_fixture.h"

namespace z900::device {
namespace {

using ::testing::ElementsAre;

class HidChannelTest : public test::SimMouseTest {};

TEST_F(HidChannelTest, PayloadOfThirtyOneBytesFillsTheReportAndThirtyTwoAreRefused) {
  std::vector<std::uint8_t> payload(31);
  std::iota(payload.begin(), payload.end(), std::uint8_t{1});
  EXPECT_TRUE(channel.SendReport(payload, handle));
  payload.push_back(32);
  EXPECT_FALSE(channel.SendReport(payload, handle));

  ASSERT_EQ(mouse.SentReports().size(), 1u);
  const auto report = mouse.SentReports()[0];
  EXPECT_EQ(report[0], 0xBA);
  EXPECT_TRUE(std::equal(report.begin() + 1, report.end(), payload.begin()));
}

TEST_F(HidChannelTest, RefusesWithoutHandleOrWithTooLongAnswer) {
  const DeviceHandle none;
  std::array<std::uint8_t, 32> buffer{0xA2};
  EXPECT_FALSE(channel.SendReport(buffer, none));
  EXPECT_FALSE(channel.ReadAnswer(2, buffer, none));
  EXPECT_FALSE(channel.ReadAnswer(32, buffer, handle));
  EXPECT_TRUE(mouse.wire_log().empty());
}

TEST_F(HidChannelTest, FailedReadLeavesTheBufferUnchanged) {
  mouse.SetFaults({.fail_reads = true});
  std::array<std::uint8_t, 32> buffer{0xA2, 0x77};
  EXPECT_FALSE(channel.ReadAnswer(2, buffer, handle));
  EXPECT_EQ(buffer[0], 0xA2);
  EXPECT_EQ(buffer[1], 0x77);
}

// Each row: a fault, whether the command is acknowledged, and the virtual time it took.
struct AckCase {
  const char* name;
  sim::SimFaults faults;
  bool acknowledged;
  std::uint64_t elapsed_ms;
  std::uint8_t byte0_after;
};

class AwaitAckTest : public HidChannelTest, public ::testing::WithParamInterface<AckCase> {};

TEST_P(AwaitAckTest, FollowsThePollingRule) {
  const AckCase& c = GetParam();
  mouse.SetFaults(c.faults);
  // A slot write: initial wait 50 ms.
  std::array<std::uint8_t, 32> buffer{0xA5, 0, 0, 0x04, 0x08, 4, 3, 0, 4, 0};
  ASSERT_TRUE(channel.SendReport(std::span(buffer).first(10), handle));
  const std::uint64_t start = clock.NowMs();
  EXPECT_EQ(channel.AwaitAck(buffer, 1, 50, handle), c.acknowledged);
  EXPECT_EQ(clock.NowMs() - start, c.elapsed_ms);
  EXPECT_EQ(buffer[0], c.byte0_after);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, AwaitAckTest,
    ::testing::Values(AckCase{"DoneAtFirstPoll", {}, true, 60, 1},
                      AckCase{"DoneAtThirdPoll", {.ack_delay_ms = 25}, true, 80, 1},
                      AckCase{"DoneJustAfterLastPoll", {.ack_delay_ms = 51}, false, 100, 0},
                      AckCase{"EveryReadFails", {.fail_reads = true}, false, 100, 0xA5},
                      AckCase{"NeverDone", {.no_ack = true}, false, 100, 0},
                      AckCase{"WrongStatus", {.status = 2}, false, 100, 2}),
    [](const auto& p) { return p.param.name; });

TEST_F(HidChannelTest, TraceLinesHaveLabelBlankAndLowerCaseHexBytes) {
  std::vector<std::string> lines;
  channel.SetTrace([&](std::string_view line) { lines.emplace_back(line); });
  std::array<std::uint8_t, 32> buffer{0xA2};
  ASSERT_TRUE(channel.SendReport(std::span(buffer).first(1), handle));
  ASSERT_TRUE(channel.AwaitAck(buffer, 2, 0, handle));
  channel.SetTrace({});
  EXPECT_TRUE(channel.SendReport(std::span(buffer).first(1), handle));
  EXPECT_THAT(lines, ElementsAre("Send: ba a2 ", "Receive: 01 00 "));
}

// A transport whose reads return a set answer of a set length, or whose transfers fail with a
// set reason, as the system's HID access reports them.
class ScriptedTransport final : public platform::HidTransport {
 public:
  bool WriteReport(std::span<const std::uint8_t> /*report*/) override { return write_works; }
  int GetInputReport(std::span<std::uint8_t> buffer) override {
    if (read_length < 0) return -1;
    std::copy(answer.begin(), answer.end(), buffer.begin());
    return read_length;
  }
  int ReadInputReport(std::span<std::uint8_t> /*buffer*/, int /*timeout_ms*/) override { return 0; }
  std::string LastError() const override { return reason; }

  bool write_works = true;
  int read_length = 32;
  std::array<std::uint8_t, 32> answer{0x01, 0x07};
  std::string reason;
};

class HidChannelTransferTest : public ::testing::Test {
 public:
  HidChannelTransferTest() {
    auto scripted = std::make_unique<ScriptedTransport>();
    transport = scripted.get();
    handle = std::move(scripted);
    channel.SetTrace([this](std::string_view line) { lines.emplace_back(line); });
  }

  platform::VirtualClock clock;
  sim::SimulatedMouse unused_mouse{clock};
  sim::SimHidBackend backend{unused_mouse};
  HidChannel channel{backend, clock};
  DeviceHandle handle;
  ScriptedTransport* transport = nullptr;
  std::vector<std::string> lines;
};

TEST_F(HidChannelTransferTest, AnswerShorterThanWantedIsAFailedRead) {
  transport->read_length = 1;
  std::array<std::uint8_t, 32> buffer{0xA2, 0x77};
  EXPECT_FALSE(channel.ReadAnswer(2, buffer, handle));
  EXPECT_EQ(buffer[0], 0xA2);
  EXPECT_EQ(buffer[1], 0x77);
  EXPECT_FALSE(channel.AwaitAck(buffer, 2, 0, handle));
  EXPECT_EQ(buffer[0], 0xA2);

  EXPECT_TRUE(channel.ReadAnswer(1, buffer, handle));  // a status-only answer is complete
  EXPECT_EQ(buffer[0], 0x01);
  EXPECT_EQ(buffer[1], 0x77);
  EXPECT_EQ(lines.front(), "Receive failed: short answer, 1 of 2 bytes");
  EXPECT_EQ(lines.back(), "Receive: 01 ");
}

TEST_F(HidChannelTransferTest, FailedTransfersAreTracedWithTheirReason) {
  transport->write_works = false;
  transport->read_length = -1;
  transport->reason = "No such device";
  const std::array<std::uint8_t, 1> payload{0xA2};
  EXPECT_FALSE(channel.SendReport(payload, handle));
  transport->reason = "ioctl (GINPUT): Input/output error";
  std::array<std::uint8_t, 32> buffer{0xA2};
  EXPECT_FALSE(channel.ReadAnswer(2, buffer, handle));
  EXPECT_THAT(lines, ElementsAre("Send failed: No such device",
                                 "Receive failed: ioctl (GINPUT): Input/output error"));
}

TEST(FormatTraceLineTest, FormatsEveryByte) {
  const std::vector<std::uint8_t> bytes = {0x00, 0x0f, 0xab, 0xff};
  EXPECT_EQ(FormatTraceLine("Send:", bytes), "Send: 00 0f ab ff ");
  EXPECT_EQ(FormatTraceLine("Receive:", {}), "Receive: ");
}

// A backend that counts the library binding and can be told that no mouse is there.
class CountingBackend final : public platform::HidBackend {
 public:
  bool Initialise() override {
    ++initialised;
    return library_present;
  }
  void Shutdown() override { ++shut_down; }
  platform::HidOpenResult OpenMouse() override {
    platform::HidOpenResult result;
    result.error = platform::HidOpenError::kAccessDenied;
    result.detail = "/dev/hidraw3";
    return result;
  }
  bool library_present = true;
  int initialised = 0;
  int shut_down = 0;
};

TEST(HidChannelBindingTest, AbsentMouseGivesFalseAndNullHandleButKeepsTheLoad) {
  CountingBackend backend;
  platform::VirtualClock clock;
  HidChannel channel(backend, clock);
  sim::SimulatedMouse stale_mouse(clock);
  sim::SimHidBackend stale_backend(stale_mouse);
  DeviceHandle handle = stale_backend.OpenMouse().transport;

  EXPECT_FALSE(channel.OpenDevice(handle));
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(channel.last_open_error(), platform::HidOpenError::kAccessDenied);
  EXPECT_EQ(channel.last_open_detail(), "/dev/hidraw3");
  EXPECT_EQ(channel.load_count(), 1);
  channel.CloseDevice(handle);
  EXPECT_EQ(channel.load_count(), 0);
  EXPECT_EQ(backend.shut_down, 1);
}

TEST(HidChannelBindingTest, MissingLibraryLeavesTheHandleAlone) {
  CountingBackend backend;
  backend.library_present = false;
  platform::VirtualClock clock;
  HidChannel channel(backend, clock);
  sim::SimulatedMouse mouse(clock);
  sim::SimHidBackend sim_backend(mouse);
  DeviceHandle handle = sim_backend.OpenMouse().transport;
  platform::HidTransport* before = handle.get();

  EXPECT_FALSE(channel.OpenDevice(handle));
  EXPECT_EQ(handle.get(), before);
  EXPECT_EQ(channel.load_count(), 0);
}

TEST(HidChannelBindingTest, EveryOpenIsOneLoadAndTheLastCloseReleasesTheLibrary) {
  CountingBackend backend;
  platform::VirtualClock clock;
  {
    HidChannel channel(backend, clock);
    DeviceHandle first;
    DeviceHandle second;
    channel.OpenDevice(first);
    channel.OpenDevice(second);
    EXPECT_EQ(channel.load_count(), 2);
    channel.CloseDevice(first);
    EXPECT_EQ(backend.shut_down, 0);
    channel.CloseDevice(second);
    EXPECT_EQ(backend.shut_down, 1);
    channel.OpenDevice(first);  // held when the channel goes
  }
  EXPECT_EQ(backend.initialised, 3);
  EXPECT_EQ(backend.shut_down, 2);
}

TEST_F(HidChannelTest, UnpluggedMouseFailsWritesOnOldHandles) {
  mouse.Unplug();
  mouse.Plug();
  const std::array<std::uint8_t, 1> payload{0xA2};
  EXPECT_FALSE(channel.SendReport(payload, handle));
  DeviceHandle fresh;
  ASSERT_TRUE(channel.OpenDevice(fresh));
  EXPECT_TRUE(channel.SendReport(payload, fresh));
  channel.CloseDevice(fresh);
}

}  // namespace
}  // namespace z900::device
