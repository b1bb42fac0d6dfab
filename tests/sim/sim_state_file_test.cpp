#include "sim/sim_state_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "platform/crc32.h"
#include "platform/file_io.h"
#include "support/temp_folder.h"

namespace z900::sim {
namespace {

MouseState SampleState() {
  MouseState state = FactoryState();
  state.mode = 1;
  state.firmware = 13;
  state.lighting = {1, 4};
  state.dpi[0] = {0x21, 3, 0, 0, 0, 0};
  state.memory[0x400] = 0x03;
  state.memory[0xFFFF] = 0x99;
  state.pending_events = {0x4000CC01, 0x4000C402};
  state.connected = false;
  state.connection = 3;
  return state;
}

TEST(SimStateFileTest, RoundTripsTheWholeState) {
  const MouseState state = SampleState();
  std::string error;
  const std::optional<MouseState> back = ParseState(SerializeState(state), error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(*back, state);
}

TEST(SimStateFileTest, RefusesDamagedFiles) {
  const std::vector<std::uint8_t> good = SerializeState(SampleState());
  struct Case {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    bool valid_checksum = false;  // crafted: the checksum is made to fit the damage
  };
  const std::size_t first_event = good.size() - 12;
  const Case cases[] = {
      {"empty", [](auto& b) { b.clear(); }},
      {"truncated", [](auto& b) { b.resize(b.size() - 1); }},
      {"extra byte", [](auto& b) { b.push_back(0); }},
      {"magic", [](auto& b) { b[0] = 'X'; }},
      {"version", [](auto& b) { b[8] = 3; }},
      {"huge event count", [](auto& b) { b[31] = 0x7F; }},
      {"flipped memory bit", [](auto& b) { b[0x1000] ^= 1; }},
      {"mode 2", [](auto& b) { b[12] = 2; }, true},
      {"mode 7", [](auto& b) { b[12] = 7; }, true},
      {"mode 255", [](auto& b) { b[12] = 255; }, true},
      {"event without its marker", [&](auto& b) { b[first_event + 3] = 0; }, true},
      {"event with bits no press sets", [&](auto& b) { b[first_event] = 0x10; }, true},
      // The connection: plugged in or not, then three bytes that are always zero.
      {"plugged in 8", [](auto& b) { b[32] = 8; }, true},
      {"reserved byte", [](auto& b) { b[35] = 1; }, true},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = good;
    c.damage(bytes);
    if (c.valid_checksum) {
      const std::uint32_t crc = platform::Crc32(std::span(bytes).first(bytes.size() - 4));
      for (int i = 0; i < 4; ++i)
        bytes[bytes.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
    std::string error;
    EXPECT_FALSE(ParseState(bytes, error)) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
  }
}

// A file of the first version has no connection yet: its mouse is plugged in.
TEST(SimStateFileTest, FirstVersionLoadsAsAPluggedInMouse) {
  std::vector<std::uint8_t> bytes = SerializeState(SampleState());
  bytes[8] = 1;
  bytes.erase(bytes.begin() + 32, bytes.begin() + 40);
  bytes.resize(bytes.size() - 4);
  const std::uint32_t crc = platform::Crc32(bytes);
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
  std::string error;
  const std::optional<MouseState> back = ParseState(bytes, error);
  ASSERT_TRUE(back) << error;
  EXPECT_TRUE(back->connected);
  EXPECT_EQ(back->connection, 0u);
  EXPECT_EQ(back->memory[0xFFFF], 0x99);
  EXPECT_EQ(back->pending_events, SampleState().pending_events);
}

TEST(SimStateSessionTest, StartsFromTheFactoryAndKeepsWhatWasSaved) {
  test::TempFolder folder;
  const auto path = folder.path() / "state" / "sim-mouse.bin";
  std::string error;
  {
    auto session = SimStateSession::Open(path, error);
    ASSERT_TRUE(session) << error;
    EXPECT_EQ(session->state(), FactoryState());
    ASSERT_TRUE(session->Save(SampleState(), error)) << error;
  }
  auto session = SimStateSession::Open(path, error);
  ASSERT_TRUE(session) << error;
  EXPECT_EQ(session->state(), SampleState());
}

TEST(SimStateSessionTest, DamagedFileIsReportedNotReplaced) {
  test::TempFolder folder;
  const auto path = folder.path() / "sim-mouse.bin";
  std::ofstream(path) << "garbage";
  std::string error;
  EXPECT_FALSE(SimStateSession::Open(path, error));
  EXPECT_NE(error.find("delete it"), std::string::npos) << error;
  std::vector<std::uint8_t> bytes;
  ASSERT_FALSE(platform::ReadWholeFile(path, 100, bytes));
  EXPECT_EQ(bytes.size(), 7u);
}

// Several programs each add one to a byte of the shared mouse: the lock makes every load see
// the previous save, so no increment is lost.
TEST(SimStateSessionTest, ConcurrentSessionsNeverLoseAnUpdate) {
  test::TempFolder folder;
  const auto path = folder.path() / "sim-mouse.bin";
  constexpr int kUsers = 4;
  constexpr int kRounds = 10;
  std::vector<std::thread> users;
  for (int user = 0; user < kUsers; ++user) {
    users.emplace_back([&path] {
      for (int round = 0; round < kRounds; ++round) {
        std::string error;
        auto session = SimStateSession::Open(path, error);
        ASSERT_TRUE(session) << error;
        MouseState state = session->state();
        ++state.memory[0x2000];
        ASSERT_TRUE(session->Save(state, error)) << error;
      }
    });
  }
  for (std::thread& user : users) user.join();
  std::string error;
  auto session = SimStateSession::Open(path, error);
  ASSERT_TRUE(session) << error;
  EXPECT_EQ(session->state().memory[0x2000], kUsers * kRounds);
}

}  // namespace
}  // namespace z900::sim
