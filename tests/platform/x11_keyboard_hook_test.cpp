#include "platform/linux/x11_keyboard_hook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/virtual_key.h"
#include "support/run_program.h"
#include "support/xvfb_display.h"

namespace z900::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::IsSupersetOf;
using ::testing::Pair;

// The ui thread of the test: tasks posted from the hook's reader run here, in order.
class TaskQueue {
 public:
  UiTaskPoster Poster() {
    return [this](std::function<void()> task) {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
      posted_.notify_one();
    };
  }
  // Runs posted tasks until `done` holds or ten seconds pass; false on the time-out.
  bool RunUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      std::unique_lock lock(mutex_);
      if (!posted_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) return false;
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
    }
    return true;
  }
  // Runs the tasks posted so far, without waiting for more.
  void RunPosted() {
    std::deque<std::function<void()>> tasks;
    {
      std::lock_guard lock(mutex_);
      tasks.swap(tasks_);
    }
    for (auto& task : tasks) task();
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
};

class Receiver final : public KeyReceiver {
 public:
  void OnHookKey(std::uint32_t key, std::uint32_t flags) override { keys.emplace_back(key, flags); }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> keys;
};

// Runs xdotool with the given commands (key, keydown, keyup …).
void Type(const std::vector<std::string>& commands) {
  std::vector<std::string> args = {"xdotool"};
  args.insert(args.end(), commands.begin(), commands.end());
  const test::ProgramResult result = test::RunProgram("/usr/bin/env", args);
  ASSERT_EQ(result.exit_code, 0) << result.err;
}

class X11KeyboardHookTest : public ::testing::Test {
 protected:
  X11KeyboardHookTest() { ::unsetenv("WAYLAND_DISPLAY"); }
  test::XvfbDisplay xvfb;
  TaskQueue ui;
};

TEST_F(X11KeyboardHookTest, HearsEveryKeyOfTheDesktopOnTheUiThread) {
  std::string why;
  std::unique_ptr<KeyboardHook> hook = CreateSystemKeyboardHook(ui.Poster(), why);
  ASSERT_NE(hook, nullptr) << why;
  Receiver receiver;
  hook->SetReceiveWindow(&receiver);
  hook->SetHookStatus(true);
  // No window has the focus: the keys go to the root window, and the hook hears them anyway.
  Type({"key", "--delay", "0", "a", "Return", "Escape", "keydown", "Shift_L", "keydown", "b",
        "keyup", "b", "keyup", "Shift_L", "keydown", "Control_R", "keyup", "Control_R"});
  const std::pair<std::uint32_t, std::uint32_t> last = {kVkRControl, kKeyReleasedFlag};
  ASSERT_TRUE(ui.RunUntil([&] { return !receiver.keys.empty() && receiver.keys.back() == last; }));
  ASSERT_GE(receiver.keys.size(), 6u);
  EXPECT_THAT(std::vector(receiver.keys.begin(), receiver.keys.begin() + 6),
              ElementsAre(Pair('A', 0), Pair('A', kKeyReleasedFlag), Pair(kVkReturn, 0),
                          Pair(kVkReturn, kKeyReleasedFlag), Pair(kVkEscape, 0),
                          Pair(kVkEscape, kKeyReleasedFlag)));
  // xdotool adds presses and releases of its own around modifier keys; each side keeps its code.
  const std::vector<std::pair<std::uint32_t, std::uint32_t>> sided = {
      {kVkLShift, 0},   {'B', 0}, {'B', kKeyReleasedFlag}, {kVkLShift, kKeyReleasedFlag},
      {kVkRControl, 0}, last};
  EXPECT_THAT(receiver.keys, IsSupersetOf(sided));
  const std::size_t heard = receiver.keys.size();

  // Another receiver takes over; keys still on their way when the hook goes are dropped.
  Receiver next;
  hook->SetReceiveWindow(&next);
  Type({"key", "z"});
  ASSERT_TRUE(ui.RunUntil([&] { return next.keys.size() >= 2; }));
  EXPECT_THAT(next.keys, ElementsAre(Pair('Z', 0), Pair('Z', kKeyReleasedFlag)));
  EXPECT_EQ(receiver.keys.size(), heard);
  Type({"key", "y"});
  hook.reset();
  ui.RunPosted();
  EXPECT_EQ(next.keys.size(), 2u);
}

// Keys typed while nothing is forwarded (the utility hidden in the tray, say) do not even reach
// the hook's connection: the reader sleeps through the typing in other programs.
TEST_F(X11KeyboardHookTest, ReadsNoKeyWhileNothingIsForwarded) {
  std::string why;
  std::unique_ptr<KeyboardHook> hook = CreateSystemKeyboardHook(ui.Poster(), why);
  ASSERT_NE(hook, nullptr) << why;
  const auto& x11 = static_cast<const X11KeyboardHook&>(*hook);
  Receiver receiver;
  hook->SetReceiveWindow(&receiver);
  for (const char* silent : {"a", "c"}) {
    const std::size_t heard = receiver.keys.size();
    Type({"key", silent});
    hook->SetHookStatus(true);
    Type({"key", "b"});
    ASSERT_TRUE(ui.RunUntil([&] { return receiver.keys.size() == heard + 2; }));
    EXPECT_EQ(receiver.keys.back(), std::make_pair(std::uint32_t{'B'}, kKeyReleasedFlag));
    // Events come in order: had the silent key been read, it would have come first.
    EXPECT_EQ(x11.keys_read(), heard + 2) << silent;
    hook->SetHookStatus(false);
  }
}

TEST_F(X11KeyboardHookTest, NoHookWhereKeysCannotBeWatched) {
  std::string why;
  ::setenv("WAYLAND_DISPLAY", "wayland-0", 1);
  EXPECT_EQ(CreateSystemKeyboardHook(ui.Poster(), why), nullptr);
  EXPECT_THAT(why, ::testing::HasSubstr("Wayland"));
  ::unsetenv("WAYLAND_DISPLAY");
  ::setenv("DISPLAY", ":999", 1);
  EXPECT_EQ(CreateSystemKeyboardHook(ui.Poster(), why), nullptr);
  EXPECT_EQ(why, "the X display does not answer");
}

}  // namespace
}  // namespace z900::platform
