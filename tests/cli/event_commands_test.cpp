#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "sim/sim_state_file.h"
#include "support/cli_fixture.h"

namespace z900::cli {
namespace {

using ::testing::HasSubstr;

class EventCommandsTest : public test::CliTest {
 protected:
  void SetSlot(std::uint32_t address, std::uint32_t code) {
    std::string error;
    auto session = sim::SimStateSession::Open(env.paths.sim_state_file, error);
    ASSERT_TRUE(session) << error;
    sim::MouseState state = session->state();
    std::memcpy(&state.memory[address], &code, 4);
    ASSERT_TRUE(session->Save(state, error)) << error;
  }
  // Event words still queued in the simulated mouse.
  std::size_t Pending() {
    std::string error;
    auto session = sim::SimStateSession::Open(env.paths.sim_state_file, error);
    EXPECT_TRUE(session) << error;
    return session ? session->state().pending_events.size() : 0;
  }
};

TEST_F(EventCommandsTest, PressesQueueHostActionEventsForTheListener) {
  SetSlot(0x408, 0x02C40004);  // mode 0, button 3: open a file
  SetSlot(0x608, 0x00020003);  // mode 1, button 3: right click

  Result result = Run({"sim", "press", "3"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.out, "button 3 in mode 0: code 0x02c40004, event 0x4000c402 sent to the host\n");

  EXPECT_EQ(Run({"sim", "mode", "1"}).code, kExitOk);
  result = Run({"sim", "press", "3"});
  EXPECT_EQ(result.out, "button 3 in mode 1: code 0x00020003, carried out by the mouse\n");
  EXPECT_EQ(Run({"sim", "press", "3", "--mode", "0"}).code, kExitOk);

  result = Run({"--simulate", "events", "--count", "2"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(
      result.out,
      "0x4000c402 action 4 (open file), button 3\n0x4000c402 action 4 (open file), button 3\n");
  EXPECT_THAT(result.err, HasSubstr("Listening"));
}

// Only the per-button actions carry a button in their event word; the others carry a fixed 1.
TEST_F(EventCommandsTest, EventsTellTheButtonOnlyWhenTheWordCarriesOne) {
  SetSlot(0x408, 0x02C30004);  // button 3: play a sound
  SetSlot(0x410, 0x01C90004);  // button 4: screenshot of the screen
  SetSlot(0x418, 0x01CC0004);  // button 5: show or hide the window
  for (const char* button : {"3", "4", "5"}) ASSERT_EQ(Run({"sim", "press", button}).code, kExitOk);
  const Result result = Run({"--simulate", "events", "--count", "3"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.out,
            "0x4000c302 action 3 (play sound), button 3\n"
            "0x4000c901 action 9 (screenshot of the screen)\n"
            "0x4000cc01 action 12 (show or hide the window)\n");
}

TEST_F(EventCommandsTest, AListenerTakesFromTheQueueOnlyWhatItPrints) {
  SetSlot(0x408, 0x02C40004);  // mode 0, button 3: open a file
  SetSlot(0x410, 0x03C50004);  // mode 0, button 4: open a folder
  for (const char* button : {"3", "4", "3", "4", "3"}) {
    ASSERT_EQ(Run({"sim", "press", button}).code, kExitOk);
  }
  const std::string third = "0x4000c402 action 4 (open file), button 3\n";
  const std::string fourth = "0x4000c503 action 5 (open folder), button 4\n";

  Result result = Run({"--simulate", "events", "--count", "2"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.out, third + fourth);
  EXPECT_EQ(Pending(), 3u);

  // Interrupted once one is printed: the others go back, in their order.
  std::ostringstream out;
  std::ostringstream err;
  env.watch_interrupts = [](bool) {};
  env.interrupted = [&out] { return !out.str().empty(); };
  const std::vector<std::string> listen = {"--simulate", "events"};
  EXPECT_EQ(RunCli(listen, env, out, err), kExitOk) << err.str();
  EXPECT_EQ(out.str(), third);
  env.interrupted = nullptr;
  result = Run({"--simulate", "events", "--count", "2"});
  EXPECT_EQ(result.out, fourth + third);
  EXPECT_EQ(Pending(), 0u);
}

TEST_F(EventCommandsTest, ListenerStopsWhenInterrupted) {
  bool watching = false;
  env.watch_interrupts = [&](bool on) { watching = on; };
  env.interrupted = [&] { return watching; };  // interrupted as soon as it listens
  const Result result = Run({"--simulate", "events"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_FALSE(watching);
}

// Unplugged in the shared state, the mouse is gone for every program until it is plugged in.
TEST_F(EventCommandsTest, UnpluggedMouseIsGoneUntilPluggedInAgain) {
  Result result = Run({"sim", "unplug"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.out, "the simulated mouse is now unplugged\n");
  EXPECT_EQ(Run({"--simulate", "info"}).code, kExitNoMouse);
  result = Run({"sim", "press", "3"});
  EXPECT_EQ(result.code, kExitNoMouse);
  EXPECT_THAT(result.err, HasSubstr("sim plug"));

  EXPECT_EQ(Run({"sim", "plug"}).out, "the simulated mouse is now plugged in\n");
  EXPECT_EQ(Run({"sim", "plug"}).out, "the simulated mouse is still plugged in\n");
  EXPECT_EQ(Run({"--simulate", "info"}).code, kExitOk);
}

TEST_F(EventCommandsTest, UsageErrors) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"sim", "press"},
                                               {"sim", "press", "9"},
                                               {"sim", "press", "0"},
                                               {"sim", "press", "1", "--mode", "2"},
                                               {"sim", "mode", "2"},
                                               {"sim", "unplug", "now"},
                                               {"sim", "press", "1", "--x"},
                                               {"--simulate", "events", "extra"},
                                               {"--simulate", "events", "--count"},
                                               {"--simulate", "events", "--count", "many"}}) {
    EXPECT_EQ(Run(args).code, kExitUsage) << ::testing::PrintToString(args);
  }
}

}  // namespace
}  // namespace z900::cli
