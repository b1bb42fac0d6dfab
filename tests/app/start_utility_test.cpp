#include "app/start_utility.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/virtual_clock.h"
#include "sim/simulated_mouse.h"
#include "support/missing_mouse_backend.h"
#include "support/only_on.h"
#include "support/scripted_ui_port.h"
#include "support/temp_folder.h"

namespace z900::app {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Log = std::vector<std::string>;

class RecordingLock final : public platform::InstanceLock {
 public:
  explicit RecordingLock(Log& log) : log_(log) {}
  Result Acquire(std::string& why) override {
    log_.push_back("acquire lock");
    why = "no folder for it";
    return result;
  }
  bool RequestShow(std::string& why) override {
    log_.push_back("ask the first instance to show");
    why = "it did not answer";
    return answers;
  }
  Result result = Result::kFirst;
  bool answers = true;

 private:
  Log& log_;
};

class RecordingHook final : public platform::KeyboardHook {
 public:
  explicit RecordingHook(Log& log) : log_(log) {}
  bool InstallHook() override {
    log_.push_back("install hook");
    return installs;
  }
  void RemoveHook() override {}
  void SetHookStatus(bool) override {}
  void SetReceiveWindow(platform::KeyReceiver*) override {}
  bool installs = true;

 private:
  Log& log_;
};

// Start-up over fakes that log what was done in which order. The program folder holds a
// language file of its own, so translated texts show that it was read first.
class StartUtilityTest : public ::testing::Test, public StartupPorts {
 protected:
  StartUtilityTest() {
    std::ofstream(program.path() / "language.xml")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<language><config>"
           "<str_msg6>Keine Maus</str_msg6></config></language>\n";
    environment.executable_folder = program.path();
    environment.z900_home = home.path();
  }

  platform::PathEnvironment PathEnvironment() override { return environment; }
  device::HidChannel& channel() override { return *channel_; }
  platform::UiPort& ui() override { return ui_; }
  platform::InstanceLock& instance_lock() override { return lock; }
  platform::KeyboardHook& keyboard_hook() override { return hook; }
  void CreateMainWindow() override { log.push_back("create hidden window"); }
  void StartFirmwareRestartStep() override { log.push_back("restart step"); }
  int RunMainWindow() override {
    log.push_back("run window");
    handle_open_while_running = channel_->load_count() == 1;
    return 0;
  }
  void DestroyMainWindow() override { log.push_back("destroy window"); }
  void Warn(const std::string& text) override { warnings.push_back(text); }

  StartResult Start() { return StartUtility(context, *this); }

  test::TempFolder program;
  test::TempFolder home;
  platform::PathEnvironment environment;
  platform::VirtualClock clock;
  sim::SimulatedMouse mouse{clock};
  sim::SimHidBackend present{mouse};
  std::unique_ptr<device::HidChannel> channel_ =
      std::make_unique<device::HidChannel>(present, clock);
  test::ScriptedUiPort ui_;
  Log log;
  RecordingLock lock{log};
  RecordingHook hook{log};
  std::vector<std::string> warnings;
  bool handle_open_while_running = false;
  config::AppContext context;
};

TEST_F(StartUtilityTest, RunsEveryStepInOrderWithTheMouseHeldUntilTheEnd) {
  const StartResult result = Start();
  EXPECT_EQ(result.outcome, StartOutcome::kRan);
  EXPECT_EQ(result.exit_code, kExitOk);
  EXPECT_THAT(log, ElementsAre("acquire lock", "install hook", "create hidden window",
                               "restart step", "run window", "destroy window"));
  EXPECT_TRUE(handle_open_while_running);
  EXPECT_EQ(channel_->load_count(), 0);
  EXPECT_TRUE(ui_.calls.empty());
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(context.paths.profile_folder, home.path() / "Profile");
}

// Without the mouse: exactly one notice, in the language of the program folder, and nothing
// else: no lock, no hook, no window. A mouse that is there but cannot be opened also says why.
TEST_F(StartUtilityTest, WithoutTheMouseOneNoticeAndNothingElse) {
  for (const auto error :
       {platform::HidOpenError::kNoDevice, platform::HidOpenError::kAccessDenied}) {
    test::MissingMouse missing(error);
    channel_ = std::make_unique<device::HidChannel>(missing, clock);
    ui_.calls.clear();
    warnings.clear();
    const StartResult result = Start();
    EXPECT_EQ(result.outcome, StartOutcome::kNoMouse);
    EXPECT_EQ(result.exit_code, kExitNoMouse);
    EXPECT_THAT(ui_.calls, ElementsAre("message: Keine Maus"));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(context.message_box_flag, 0);
    EXPECT_EQ(channel_->load_count(), 0);
    EXPECT_EQ(warnings.size(), error == platform::HidOpenError::kNoDevice ? 0u : 1u);
    channel_.reset();
  }
  EXPECT_TRUE(std::filesystem::is_empty(home.path()));
}

TEST_F(StartUtilityTest, SecondInstanceOnlyAsksTheFirstToShowItself) {
  lock.result = platform::InstanceLock::Result::kAnotherRuns;
  const StartResult result = Start();
  EXPECT_EQ(result.outcome, StartOutcome::kAnotherInstance);
  EXPECT_EQ(result.exit_code, kExitOk);
  EXPECT_THAT(log, ElementsAre("acquire lock", "ask the first instance to show"));
  EXPECT_TRUE(ui_.calls.empty());
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(channel_->load_count(), 0);
}

// A first instance that holds the lock but does not answer (stuck, or another user's): the
// second says so and fails instead of ending as if the window had come up.
TEST_F(StartUtilityTest, SecondInstanceWithoutAnAnswerSaysSoAndFails) {
  lock.result = platform::InstanceLock::Result::kAnotherRuns;
  lock.answers = false;
  const StartResult result = Start();
  EXPECT_EQ(result.outcome, StartOutcome::kNoAnswer);
  EXPECT_EQ(result.exit_code, kExitFailed);
  EXPECT_THAT(warnings, ElementsAre("the running instance was not shown: it did not answer"));
  EXPECT_THAT(log, ElementsAre("acquire lock", "ask the first instance to show"));
}

TEST_F(StartUtilityTest, MissingHookOrLockIsToldAndTheStartGoesOn) {
  hook.installs = false;
  lock.result = platform::InstanceLock::Result::kUnavailable;
  EXPECT_EQ(Start().outcome, StartOutcome::kRan);
  EXPECT_THAT(ui_.calls, ElementsAre("box Warning: Load InputTap.dll failed"));
  EXPECT_THAT(warnings, ElementsAre(HasSubstr("no folder for it")));
  EXPECT_THAT(log, ::testing::Contains("run window"));
}

TEST_F(StartUtilityTest, ProgramThatCannotFindItselfEndsSilently) {
  environment.executable_folder.clear();
  EXPECT_EQ(Start().outcome, StartOutcome::kNoProgramFolder);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(ui_.calls.empty());
  EXPECT_EQ(channel_->load_count(), 0);
}

TEST(ParseOptionsTest, KnowsItsOptionsAndRefusesOthers) {
  std::string error;
  const std::vector<std::string> simulate_render = {"--simulate", "--render", "out", "--show"};
  const std::optional<Options> options = ParseOptions(simulate_render, error);
  ASSERT_TRUE(options) << error;
  EXPECT_TRUE(options->simulate);
  EXPECT_TRUE(options->show);
  EXPECT_EQ(options->render_folder, std::filesystem::path("out"));
  EXPECT_FALSE(ParseOptions({}, error)->simulate);
  EXPECT_FALSE(ParseOptions({}, error)->show);
  EXPECT_EQ(ParseOptions(std::vector<std::string>{"--autostart", "off"}, error)->autostart, false);
  EXPECT_EQ(ParseOptions(std::vector<std::string>{"--autostart", "on"}, error)->autostart, true);
  EXPECT_EQ(ParseOptions({}, error)->autostart, std::nullopt);
  // Qt's own options pass, with their values, in the forms Qt takes them.
  const std::vector<std::string> with_qt = {"-platform", "xcb", "--simulate", "--style=fusion",
                                            "-reverse", "--display", ":1", "-session", "x1"};
  const std::optional<Options> qt_options = ParseOptions(with_qt, error);
  ASSERT_TRUE(qt_options) << error;
  EXPECT_TRUE(qt_options->simulate);
  EXPECT_FALSE(qt_options->render_folder);
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--render"},
                                              {"--bogus"},
                                              {"-platformx", "xcb"},
                                              {"--shown"},
                                              {"simulate"},
                                              {"--autostart"},
                                              {"--autostart", "yes"}}) {
    EXPECT_FALSE(ParseOptions(bad, error)) << bad[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(RunWithoutWindowTest, HelpAndVersionEndAtOnce) {
  const auto run = [](const std::vector<std::string>& args, std::string& out) {
    std::string error;
    const std::optional<Options> options = ParseOptions(args, error);
    EXPECT_TRUE(options) << error;
    std::ostringstream out_stream;
    std::ostringstream err_stream;
    const std::optional<int> status =
        RunWithoutWindow(*options, platform::PathEnvironment{}, out_stream, err_stream);
    out = out_stream.str();
    return status;
  };
  std::string out;
  EXPECT_EQ(run({"--version"}, out), kExitOk);
  EXPECT_THAT(out, ::testing::StartsWith("z900-config "));
  EXPECT_THAT(out, HasSubstr("\nLicense GPL-3.0-or-later: GNU GPL version 3 or later"));
  EXPECT_EQ(run({"--help", "--simulate"}, out), kExitOk);
  EXPECT_THAT(out, HasSubstr("--autostart on|off"));
  EXPECT_EQ(run({"--simulate", "--show"}, out), std::nullopt);
}

// --autostart goes through the user's entry of the XDG folders, as z900ctl autostart does; a
// user entry that cannot be written is a failure with the reason, not a silent success.
TEST(RunWithoutWindowTest, AutostartGoesThroughTheDesktopsEntries) {
  Z900_LINUX_ONLY("the XDG autostart entries (Windows has a logon task)");
  test::TempFolder folder;
  platform::PathEnvironment env;
  env.home = folder.path() / "home";
  env.xdg_config_home = folder.path() / "config";
  env.xdg_config_dirs = (folder.path() / "xdg").string();
  const std::filesystem::path system_entry = folder.path() / "xdg/autostart/z900-config.desktop";
  std::filesystem::create_directories(system_entry.parent_path());
  std::ofstream(system_entry) << "[Desktop Entry]\nType=Application\nExec=z900-config\n";

  const auto run = [&env](const std::vector<std::string>& args, std::string& out,
                          std::string& err) {
    std::string error;
    const std::optional<Options> options = ParseOptions(args, error);
    EXPECT_TRUE(options) << error;
    std::ostringstream out_stream;
    std::ostringstream err_stream;
    const std::optional<int> status = RunWithoutWindow(*options, env, out_stream, err_stream);
    out = out_stream.str();
    err = err_stream.str();
    return status;
  };
  std::string out;
  std::string err;
  EXPECT_EQ(run({"--autostart", "off"}, out, err), kExitOk);
  const std::filesystem::path user_entry = folder.path() / "config/autostart/z900-config.desktop";
  EXPECT_EQ(out, "off (" + user_entry.string() + ")\n");
  EXPECT_EQ(run({"--autostart", "on"}, out, err), kExitOk);
  EXPECT_EQ(out, "on (" + system_entry.string() + ")\n");

  std::filesystem::remove_all(folder.path() / "config");
  std::ofstream(folder.path() / "config") << "a file where the folder should be";
  EXPECT_EQ(run({"--autostart", "off"}, out, err), kExitFailed);
  EXPECT_THAT(err, HasSubstr("z900-config: autostart: "));
}

}  // namespace
}  // namespace z900::app
