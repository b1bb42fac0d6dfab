#include "device/event_channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "device/driver_records.h"
#include "device/event_word.h"
#include "device/hid_event_source.h"
#include "platform/virtual_clock.h"
#include "support/sim_fixture.h"

namespace z900::device {
namespace {

using ::testing::ElementsAre;

// A driver with scripted answers that records what the channel does to it.
class FakeDriver final : public platform::QueuedEventSource {
 public:
  bool OpenDevice() override {
    std::lock_guard lock(mutex_);
    ++opens;
    if (!present) return false;
    ++handles_held;
    max_handles_held = std::max(max_handles_held, handles_held);
    return true;
  }
  void CloseDevice() override {
    std::lock_guard lock(mutex_);
    --handles_held;
  }
  bool Control(std::span<const std::uint8_t> record) override {
    DriverControlRecord control{};
    std::memcpy(&control, record.data(), sizeof control);
    std::lock_guard lock(mutex_);
    requests.push_back(control);
    if (control.request_type == kRequestSetting && refuse_settings > 0) {
      --refuse_settings;
      return false;
    }
    return true;
  }
  bool ReadEvent(std::span<std::uint8_t> buffer) override {
    reads.fetch_add(1);
    return QueuedEventSource::ReadEvent(buffer);
  }
  std::vector<std::uint32_t> RequestTypes() {
    std::lock_guard lock(mutex_);
    std::vector<std::uint32_t> types;
    for (const auto& request : requests) types.push_back(request.request_type);
    return types;
  }

  bool present = true;
  int refuse_settings = 0;
  int opens = 0;
  int handles_held = 0;
  int max_handles_held = 0;
  std::atomic<int> reads{0};
  std::vector<DriverControlRecord> requests;

 private:
  std::mutex mutex_;
};

TEST(DriverRecordsTest, ByteImages) {
  std::array<std::uint8_t, 172> expected{};
  expected[0] = 1;
  expected[108] = 0x1D, expected[109] = 0x5E, expected[110] = 0x37, expected[111] = 0x0E;
  expected[164] = 0x78, expected[165] = 0x56, expected[166] = 0x34, expected[167] = 0x12;
  EXPECT_EQ(RecordBytes(MakeControlRecord(kRequestRegister, 0x12345678)), expected);

  expected[0] = 32;
  expected[164] = expected[165] = expected[166] = expected[167] = 0;
  expected[12] = 0x03, expected[14] = 0x01;
  EXPECT_EQ(RecordBytes(MakeControlRecord(kRequestSetting, 0x12345678)), expected);

  expected[0] = 2;
  expected[12] = expected[14] = 0;
  EXPECT_EQ(RecordBytes(MakeControlRecord(kRequestUnregister, 0x12345678)), expected);

  std::array<std::uint8_t, 60> buffer{};
  buffer[4] = 0x1D, buffer[5] = 0x5E, buffer[6] = 0x37, buffer[7] = 0x0E;
  EXPECT_EQ(RecordBytes(MakeEventBuffer()), buffer);
}

TEST(EventChannelTest, WithoutDriverEveryTickFailsSilentlyAndHoldsNothing) {
  FakeDriver driver;
  driver.present = false;
  EventChannel channel(driver);
  channel.StartEventChannel({});
  for (int tick = 0; tick < 3; ++tick) EXPECT_FALSE(channel.RegistrationTick());
  EXPECT_EQ(driver.opens, 3);
  EXPECT_EQ(driver.handles_held, 0);
  EXPECT_TRUE(driver.requests.empty());
  channel.ShutDown();
  EXPECT_TRUE(driver.requests.empty());  // no unregistration without a handle
}

TEST(EventChannelTest, RefusedSettingLeadsToAFullNewRegistrationWithOneHandleHeld) {
  FakeDriver driver;
  driver.refuse_settings = 1;
  EventChannel channel(driver);
  channel.StartEventChannel({});
  EXPECT_FALSE(channel.RegistrationTick());
  EXPECT_EQ(driver.handles_held, 1);
  EXPECT_TRUE(channel.RegistrationTick());
  EXPECT_EQ(driver.opens, 2);
  EXPECT_EQ(driver.max_handles_held, 1);
  EXPECT_THAT(driver.RequestTypes(),
              ElementsAre(kRequestRegister, kRequestSetting, kRequestRegister, kRequestSetting));
  EXPECT_EQ(driver.requests[0].semaphore_handle, driver.semaphore_handle());

  channel.ShutDown();
  EXPECT_EQ(driver.RequestTypes().back(), kRequestUnregister);
  EXPECT_EQ(driver.requests.back().semaphore_handle, 0u);
  EXPECT_EQ(driver.handles_held, 0);
}

TEST(EventChannelTest, PostsEveryWordInOrderAndEndsAfterTheOneReleaseAtShutDown) {
  FakeDriver driver;
  EventQueue inbox;
  EventChannel channel(driver);
  channel.StartEventChannel(inbox.Poster());
  ASSERT_TRUE(channel.RegistrationTick());
  driver.Deliver(0x4000C402);
  driver.Deliver(0x0000C402);  // no marker: posted all the same, the executor drops it
  EXPECT_EQ(inbox.Take(), 0x4000C402u);
  EXPECT_EQ(inbox.Take(), 0x0000C402u);
  channel.ShutDown();  // returns only once the reader has ended
  EXPECT_EQ(driver.reads.load(), 2);
}

TEST(EventChannelTest, ReleaseWithoutHandlePostsNothing) {
  FakeDriver driver;
  EventQueue inbox;
  {
    EventChannel channel(driver);
    channel.StartEventChannel(inbox.Poster());
    driver.Deliver(0x4000CC01);
  }  // the destructor shuts the channel down and waits for the reader
  EXPECT_EQ(inbox.size(), 0u);
  EXPECT_EQ(driver.reads.load(), 0);
}

class HidEventSourceTest : public test::SimMouseTest {};

TEST_F(HidEventSourceTest, TakesEventWordsFromTheMousesInterruptReports) {
  ASSERT_TRUE(WriteButtonSlotForTest(0, 3, 0x02C40004));
  HidEventSource source(backend, clock);
  ASSERT_TRUE(source.OpenDevice());
  EXPECT_TRUE(source.Poll(0).empty());
  mouse.PressButton(3);
  mouse.PressButton(3);
  EXPECT_THAT(source.Poll(0), ElementsAre(0x4000C402u, 0x4000C402u));
  source.CloseDevice();
  EXPECT_FALSE(source.Control(RecordBytes(MakeControlRecord(kRequestRegister))));
}

// The mouse's transport, whose wait for an interrupt report lasts until the test ends it.
class BlockingBackend final : public platform::HidBackend {
 public:
  class Transport final : public platform::HidTransport {
   public:
    explicit Transport(BlockingBackend& owner) : owner_(owner) {}
    bool WriteReport(std::span<const std::uint8_t>) override { return true; }
    int GetInputReport(std::span<std::uint8_t>) override { return -1; }
    int ReadInputReport(std::span<std::uint8_t>, int) override {
      std::unique_lock lock(owner_.mutex);
      owner_.reading = true;
      owner_.changed.notify_all();
      owner_.changed.wait(lock, [this] { return owner_.released; });
      return 0;
    }
    std::string LastError() const override { return {}; }

   private:
    BlockingBackend& owner_;
  };

  bool Initialise() override { return true; }
  void Shutdown() override {}
  platform::HidOpenResult OpenMouse() override {
    platform::HidOpenResult result;
    result.transport = std::make_unique<Transport>(*this);
    return result;
  }

  std::mutex mutex;
  std::condition_variable changed;
  bool reading = false;
  bool released = false;
};

// Registering must not wait for the reader's wait for a report: on the real path the reader
// waits again as soon as one wait ends, and a registration kept waiting held up `events`.
TEST(HidEventSourceControlTest, RegistrationDoesNotWaitForTheReader) {
  BlockingBackend backend;
  platform::VirtualClock clock;
  HidEventSource source(backend, clock);
  ASSERT_TRUE(source.OpenDevice());
  std::thread reader([&] { source.Poll(1000); });
  {
    std::unique_lock lock(backend.mutex);
    backend.changed.wait(lock, [&] { return backend.reading; });
  }
  EXPECT_TRUE(source.Control(RecordBytes(MakeControlRecord(kRequestRegister))));
  {
    std::lock_guard lock(backend.mutex);
    backend.released = true;
  }
  backend.changed.notify_all();
  reader.join();
}

TEST(EventReportTest, RoundTripsAndIgnoresOtherReports) {
  EXPECT_EQ(DecodeEventReport(EncodeEventReport(0x4000CC01)), 0x4000CC01u);
  const std::array<std::uint8_t, 6> answer = {0xBA, 0x01, 0, 0, 0, 0};
  EXPECT_FALSE(DecodeEventReport(answer));
  const auto report = EncodeEventReport(1);
  EXPECT_FALSE(DecodeEventReport(std::span(report).first(5)));
}

}  // namespace
}  // namespace z900::device
