#include "actions/host_action_executor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/apply_to_mouse.h"
#include "config/function_catalogue.h"
#include "config/settings_record.h"
#include "device/event_channel.h"
#include "device/event_word.h"
#include "support/config_fixture.h"
#include "support/recording_host_services.h"

namespace z900::actions {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ExecutorTest : public test::ConfigTest {
 protected:
  ExecutorTest() { config::BuildDefaultSettings(context.settings, context.strings); }

  // Gives a button an advanced function (sound, program, file, folder) with a path.
  void Assign(int mode, int button, std::string_view function, std::u16string_view path) {
    const config::FunctionEntry* entry = config::FindFunctionByCliName(function);
    ASSERT_NE(entry, nullptr) << function;
    config::ButtonAssignment& assignment = config::ButtonOf(context.settings, mode, button);
    assignment.function_type = entry->type;
    ASSERT_TRUE(
        config::SetHostAction(assignment, config::HostActionCode(*entry, button - 1), path));
  }
  std::uint32_t WordOf(int kind, int button_index) {
    return device::kEventMarker | static_cast<std::uint32_t>(kind) << 8 |
           static_cast<std::uint32_t>(button_index);
  }
  void Execute(std::uint32_t word) { ExecuteHostAction(word, context, page, action_ports); }
  int ModeQueries() {
    int queries = 0;
    for (const auto& report : Sent(2)) queries += report[1] == 0xA2;
    return queries;
  }

  test::RecordingHostServices host;
  HostActionPorts action_ports{channel, host, ui};
};

TEST_F(ExecutorTest, ActsByKindWithTheQuotingRule) {
  Assign(0, 1, "program", u"/opt/my tools/run");
  Assign(0, 2, "file", u"/home/ann/my notes.txt");
  Assign(0, 3, "folder", u"/srv/music");
  Assign(0, 4, "sound", u"/usr/share/sounds/bell.oga");
  Assign(0, 5, "file", u"/home/ann/plain.txt");
  struct Case {
    std::uint32_t word;
    const char* expected;  // empty: nothing happens
  };
  const Case cases[] = {
      {WordOf(HOST_OPEN_PROGRAM, 0), "program /opt/my tools/run"},
      {WordOf(HOST_OPEN_FILE, 1), "open \"/home/ann/my notes.txt\""},
      {WordOf(HOST_OPEN_FOLDER, 2), "open /srv/music"},
      {WordOf(HOST_PLAY_SOUND, 3), "sound /usr/share/sounds/bell.oga"},
      {WordOf(HOST_OPEN_FILE, 4), "open /home/ann/plain.txt"},
      {WordOf(HOST_SCREENSHOT_SCREEN, 1), "tool z900-screengrab -t desktop -p"},
      {WordOf(HOST_SCREENSHOT_WINDOW, 1), "tool z900-screengrab -t window -p"},
      {WordOf(HOST_SCREENSHOT_AREA, 1), "tool z900-screengrab -t region -p"},
      // The path of a button with another function, or none, is empty: nothing happens.
      {WordOf(HOST_PLAY_SOUND, 6), ""},
      {WordOf(HOST_OPEN_PROGRAM, 7), ""},
      {WordOf(HOST_OPEN_FILE, 9), ""},  // no ninth button
      {WordOf(7, 0), ""},
      {WordOf(HOST_OPEN_PROGRAM, 0) & ~(1u << 30), ""},  // no marker
  };
  for (const Case& c : cases) {
    host.calls.clear();
    Execute(c.word);
    if (*c.expected == '\0') {
      EXPECT_THAT(host.calls, IsEmpty()) << std::hex << c.word;
    } else {
      EXPECT_THAT(host.calls, ElementsAre(c.expected)) << std::hex << c.word;
    }
  }
  EXPECT_EQ(ModeQueries(), static_cast<int>(std::size(cases)));  // every event asks first
}

TEST_F(ExecutorTest, UsesTheModeTheMouseIsInNow) {
  Assign(0, 3, "file", u"/mode0.txt");
  Assign(1, 3, "file", u"/mode1.txt");
  Execute(WordOf(HOST_OPEN_FILE, 2));
  mouse.SetMode(1);  // the user pressed the mouse's own mode button
  Execute(WordOf(HOST_OPEN_FILE, 2));
  mouse.SetFaults({.no_ack = true});  // the query fails: the mode last known stays
  Execute(WordOf(HOST_OPEN_FILE, 2));
  EXPECT_THAT(host.calls, ElementsAre("open /mode0.txt", "open /mode1.txt", "open /mode1.txt"));
  EXPECT_EQ(context.current_mode, 1);
}

// The window shows nothing for an action that cannot run; the trace tells why.
TEST_F(ExecutorTest, ActionThatCannotRunIsTracedAndNotShown) {
  Assign(0, 2, "program", u"/opt/gone");
  host.refusal = "/opt/gone does not exist";
  std::vector<std::string> trace;
  channel.SetTrace([&](std::string_view line) {
    if (!line.starts_with("Send:") && !line.starts_with("Receive:")) trace.emplace_back(line);
  });
  EXPECT_EQ(ExecuteHostAction(WordOf(HOST_OPEN_PROGRAM, 1), context, page, action_ports), 1);
  EXPECT_THAT(trace, ElementsAre("Host action: /opt/gone does not exist"));
  EXPECT_THAT(ui.calls, IsEmpty());
  // Asked for a mode of its own, the action uses that mode's assignment without a query.
  Assign(1, 2, "program", u"/opt/mode1");
  host.refusal.clear();
  EXPECT_TRUE(
      CarryOutHostAction(WordOf(HOST_OPEN_PROGRAM, 1), 1, context, page, action_ports).started);
  EXPECT_THAT(host.calls, ElementsAre("program /opt/gone", "program /opt/mode1"));
  EXPECT_EQ(ModeQueries(), 1);
}

TEST_F(ExecutorTest, ToggleHidesAShownWindowShowsAHiddenOneAndWaitsForDialogs) {
  const std::uint32_t toggle = WordOf(HOST_TOGGLE_WINDOW, 1);
  ui.window_visible = true;
  Execute(toggle);
  EXPECT_THAT(ui.calls, ElementsAre("close menu", "hide window"));
  ui.calls.clear();
  Execute(toggle);
  EXPECT_THAT(ui.calls, ElementsAre("close menu", "hide window", "show window", "close menu"));

  ui.calls.clear();
  page.dialog_open = 1;
  Execute(toggle);
  page.dialog_open = 0;
  context.message_box_flag = 1;
  Execute(toggle);
  EXPECT_THAT(ui.calls, IsEmpty());
  EXPECT_TRUE(ui.window_visible);
}

// The simulated mouse plays the driver: a press goes straight into the source's queue.
class SimDriver final : public platform::QueuedEventSource {
 public:
  bool OpenDevice() override { return true; }
  void CloseDevice() override {}
  bool Control(std::span<const std::uint8_t>) override { return true; }
};

TEST_F(ExecutorTest, PressOfAnOpenFileButtonEndsInTheHostOpeningItsPath) {
  Assign(0, 3, "file", u"/home/ann/report q3.pdf");
  config::ApplyToMouse(context, page, ports, false);  // writes 0x02c40004 into button 3's slot
  SimDriver driver;
  mouse.SetEventSink([&driver](std::uint32_t word) { driver.Deliver(word); });
  device::EventQueue inbox;
  device::EventChannel events(driver);
  events.StartEventChannel(inbox.Poster());
  ASSERT_TRUE(events.RegistrationTick());

  ASSERT_TRUE(mouse.PressButton(3));
  const std::uint32_t word = inbox.Take();
  EXPECT_EQ(word, 0x4000C402u);
  Execute(word);  // on this, the ui thread
  EXPECT_THAT(host.calls, ElementsAre("open \"/home/ann/report q3.pdf\""));
  events.ShutDown();
}

}  // namespace
}  // namespace z900::actions
