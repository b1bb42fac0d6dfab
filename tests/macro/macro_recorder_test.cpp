#include "macro/macro_recorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/virtual_key.h"
#include "support/fake_keyboard_hook.h"

namespace z900::macro {
namespace {

using ::testing::ElementsAre;
using Step = test::FakeKeyboardHook::Step;
constexpr std::uint32_t kF5 = platform::kVkF1 + 4;

MacroRow Down(std::uint32_t key) { return KeyRow(kRowKeyDown, key); }
MacroRow Up(std::uint32_t key) { return KeyRow(kRowKeyUp, key); }

class Listener final : public RecorderListener {
 public:
  void RowAppended(const MacroRow& row) override { appended.push_back(row); }
  void KeyCaptured(std::uint32_t key, const std::u16string& name) override {
    captured.emplace_back(key, name);
  }
  std::vector<MacroRow> appended;
  std::vector<std::pair<std::uint32_t, std::u16string>> captured;
};

class MacroRecorderTest : public ::testing::Test {
 protected:
  MacroRecorderTest() { recorder.set_listener(&listener); }

  std::vector<MacroRow> Record(const std::vector<Step>& steps) {
    recorder.StartRecording();
    hook.Play(clock, steps);
    return recorder.StopRecording();
  }

  platform::VirtualClock clock{0};  // a tick of 0 is a time like any other
  test::FakeKeyboardHook hook;
  MacroRecorder recorder{hook, clock};
  Listener listener;
};

TEST_F(MacroRecorderTest, HeldKeyGivesOneDownOneUpAndOneDelay) {
  std::vector<Step> steps = {{0, 'A', false}};
  for (int i = 0; i < 30; ++i) steps.push_back({33, 'A', false});  // auto-repeat
  steps.push_back({10, 'A', true});
  EXPECT_THAT(Record(steps), ElementsAre(Down('A'), DelayRow(1000), Up('A')));
  EXPECT_EQ(listener.appended.size(), 3u);
  EXPECT_THAT(hook.calls, ElementsAre("SetReceiveWindow", "SetHookStatus(1)", "SetHookStatus(0)"));
  EXPECT_FALSE(recorder.recording());
  EXPECT_FALSE(hook.forwarding);
}

TEST_F(MacroRecorderTest, DelaysBetweenKeysAndNoneBeforeTheFirst) {
  clock.Advance(5000);  // time before the recording starts does not count
  const auto rows = Record({{250, platform::kVkLShift, false},
                            {40, 'B', false},
                            {75, 'B', true},
                            {0, platform::kVkLShift, true}});
  EXPECT_THAT(rows, ElementsAre(Down(platform::kVkLShift), DelayRow(40), Down('B'), DelayRow(75),
                                Up('B'), DelayRow(0), Up(platform::kVkLShift)));
  EXPECT_EQ(rows[1].text, u"40  ms");
}

TEST_F(MacroRecorderTest, TickedDelayBoxRecordsKeyRowsOnly) {
  recorder.set_delay_box_ticked(true);
  EXPECT_THAT(Record({{100, 'C', false}, {200, 'C', true}, {300, 'D', false}}),
              ElementsAre(Down('C'), Up('C'), Down('D')));
}

TEST_F(MacroRecorderTest, StopsAt999KeyRows) {
  std::vector<Step> steps;
  for (int i = 0; i < 600; ++i) {
    steps.push_back({10, 'A', false});
    steps.push_back({10, 'A', true});
  }
  const auto rows = Record(steps);
  const auto keys = std::count_if(rows.begin(), rows.end(), [](const MacroRow& row) {
    return row.kind() == kRowKeyDown || row.kind() == kRowKeyUp;
  });
  EXPECT_EQ(keys, 999);
  EXPECT_EQ(rows.size(), 999u + 998u);  // a delay between every two keys, none after the last
  EXPECT_EQ(rows.back(), Down('A'));
}

TEST_F(MacroRecorderTest, ReleaseLeftOverFromTheLastRecordingIsDropped) {
  EXPECT_THAT(Record({{0, 'A', false}, {50, 'A', true}}),
              ElementsAre(Down('A'), DelayRow(50), Up('A')));
  // The next recording opens with the same release (say, the key was still up from before):
  // dropped as a repeat. A press and release of A afterwards are both recorded.
  EXPECT_THAT(Record({{10, 'A', true}, {10, 'A', false}, {10, 'A', true}}),
              ElementsAre(Down('A'), DelayRow(10), Up('A')));
}

TEST_F(MacroRecorderTest, PausesBeyond24BitsKeepTheLowBitsAndShowTheWholeTime) {
  const auto rows = Record({{0, 'A', false}, {0x1000000 + 7, 'A', true}});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1].value(), 7u);
  EXPECT_EQ(rows[1].text, u"16777223  ms");
}

TEST_F(MacroRecorderTest, StartingARecordingReplacesTheRows) {
  recorder.StartRecording();
  hook.Play(clock, {{0, 'A', false}});
  recorder.StartRecording();
  hook.Play(clock, {{0, 'B', false}});
  EXPECT_THAT(recorder.rows(), ElementsAre(Down('B')));
  EXPECT_THAT(recorder.StopRecording(), ElementsAre(Down('B')));
  EXPECT_TRUE(recorder.rows().empty());
}

TEST_F(MacroRecorderTest, KeyCaptureTakesOneKeyWithoutRecording) {
  recorder.StartKeyCapture();
  EXPECT_TRUE(recorder.capturing());
  EXPECT_TRUE(hook.forwarding);
  hook.Play(clock, {{0, kF5, false}, {0, kF5, false}});
  EXPECT_EQ(recorder.captured_key(), kF5);
  EXPECT_TRUE(recorder.rows().empty());
  // Capture leaves the repeat memory alone, so a key pressed now is recorded again later.
  hook.Play(clock, {{0, platform::kVkRShift, true}});
  EXPECT_EQ(recorder.captured_key(), platform::kVkRShift);
  EXPECT_THAT(
      listener.captured,
      ElementsAre(std::pair{kF5, std::u16string(u"F5")}, std::pair{kF5, std::u16string(u"F5")},
                  std::pair{platform::kVkRShift, std::u16string(u"R_Shift")}));
  recorder.StopKeyCapture();
  EXPECT_FALSE(recorder.capturing());
  EXPECT_FALSE(hook.forwarding);
  recorder.ClearCapturedKey();
  EXPECT_EQ(recorder.captured_key(), 0u);
}

TEST_F(MacroRecorderTest, RepeatsAreDroppedDuringCaptureToo) {
  EXPECT_THAT(Record({{0, 'Q', false}}), ElementsAre(Down('Q')));
  recorder.StartKeyCapture();
  hook.Play(clock, {{0, 'Q', false}, {0, 'Q', true}});
  EXPECT_EQ(listener.captured.size(), 1u);  // the press matched the last recorded message
  EXPECT_EQ(recorder.captured_key(), 'Q');
}

}  // namespace
}  // namespace z900::macro
