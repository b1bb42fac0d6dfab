#pragma once

// The tray utility as a user meets it: a real X server (Xvfb), a real tray host (trayer), the
// pointer and keys through xdotool, the simulated mouse shared with z900ctl. Every wait is for a
// condition, bounded in time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "support/run_program.h"
#include "support/temp_folder.h"
#include "support/xvfb_display.h"

namespace z900::e2e {

using namespace std::chrono_literals;
using test::ProgramResult;
using test::RunningProgram;

constexpr auto kPatience = 30s;  // a loaded machine and a sanitizer build start slowly
constexpr char kTitle[] = "Z900 Mouse Configuration";

// Polls `condition` until it holds or the patience runs out.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds patience = kPatience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

struct Geometry {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The tray host: trayer, or the program Z900_TEST_TRAY_HOST names (a test of the set-up).
inline std::string TrayHostProgram() {
  const char* other = std::getenv("Z900_TEST_TRAY_HOST");
  return other != nullptr && *other != '\0' ? other : "/usr/bin/trayer";
}

class Z900ConfigTest : public ::testing::Test {
 protected:
  // One X server and tray host serve the tests of a process, started by the first test's
  // set-up. That they cannot be had fails each test: a failure in SetUpTestSuite would make
  // GoogleTest skip them, and a skipped test hides the fault. The host is waited for until the
  // server tells that it took the tray, however slow the machine, or until it ends.
  void SetUp() override {
    if (xvfb_ == nullptr) {
      xvfb_ = new test::XvfbDisplay("1280x800x24");
      trayer_ = new RunningProgram(TrayHostProgram(), {"--edge", "top", "--align", "right",
                                                       "--widthtype", "request", "--height", "24"});
      tray_ready_ = xvfb_->WaitForTrayHost([] { return !trayer_->WaitFor(0ms).has_value(); });
    }
    ASSERT_TRUE(tray_ready_) << "the tray host " << TrayHostProgram() << " did not take the tray";
  }
  static void TearDownTestSuite() {
    if (trayer_ != nullptr && trayer_->running()) trayer_->Signal(SIGTERM);
    delete trayer_;
    delete xvfb_;
    trayer_ = nullptr;
    xvfb_ = nullptr;
  }

  ~Z900ConfigTest() override {
    // A utility a failed test left running goes with it.
    for (auto& program : running_) {
      if (program->running() && !program->WaitFor(0ms)) {
        program->Signal(SIGKILL);
        program->Wait();
      }
    }
  }

  std::map<std::string, std::string> Environment() const {
    return {{"Z900_HOME", home_.path().string()},
            {"Z900_SIM_FAULTS", ""},
            {"Z900_TRACE", ""},
            {"Z900_LANGUAGE", ""},
            {"Z900_SCREENSHOT_DIR", (home_.path() / "pictures").string()},
            {"LSAN_OPTIONS", "suppressions=" Z900_LSAN_SUPPRESSIONS},
            {"ASAN_OPTIONS", test::AsanOptionsForXcb()}};
  }

  // z900-config --simulate, started in the background; `env` adds to or replaces variables.
  RunningProgram& StartUtility(const std::map<std::string, std::string>& env = {}) {
    std::map<std::string, std::string> all = Environment();
    for (const auto& [name, value] : env) all[name] = value;
    running_.push_back(std::make_unique<RunningProgram>(
        Z900_CONFIG_PATH, std::vector<std::string>{"--simulate"}, all));
    return *running_.back();
  }
  ProgramResult Z900ctl(const std::vector<std::string>& args) {
    return test::RunProgram(Z900CTL_PATH, args, Environment());
  }

  static std::string Xdo(const std::vector<std::string>& args) {
    return test::RunProgram("/usr/bin/xdotool", args).out;
  }
  static std::vector<std::string> Windows(const std::vector<std::string>& search) {
    std::vector<std::string> args = {"search"};
    args.insert(args.end(), search.begin(), search.end());
    std::istringstream lines(Xdo(args));
    std::vector<std::string> ids;
    for (std::string id; std::getline(lines, id);) ids.push_back(id);
    return ids;
  }
  static Geometry GeometryOf(const std::string& window) {
    Geometry geometry;
    std::istringstream lines(Xdo({"getwindowgeometry", "--shell", window}));
    for (std::string line; std::getline(lines, line);) {
      const std::size_t equals = line.find('=');
      if (equals == std::string::npos) continue;
      const std::string name = line.substr(0, equals);
      const int value = std::atoi(line.c_str() + equals + 1);
      if (name == "X") geometry.x = value;
      if (name == "Y") geometry.y = value;
      if (name == "WIDTH") geometry.width = value;
      if (name == "HEIGHT") geometry.height = value;
    }
    return geometry;
  }
  static void Click(int x, int y, int button = 1, int repeat = 1) {
    Xdo({"mousemove", "--sync", std::to_string(x), std::to_string(y)});
    Xdo({"click", "--repeat", std::to_string(repeat), "--delay", "80", std::to_string(button)});
  }

  // The utility's icon in the tray (the only window of the tray host's panel).
  std::optional<std::string> TrayIcon() {
    for (const std::string& panel : Windows({"--class", "trayer"})) {
      std::istringstream lines(test::RunProgram("/usr/bin/xwininfo", {"-tree", "-id", panel}).out);
      for (std::string line; std::getline(lines, line);) {
        if (line.find("\"z900-config\"") != std::string::npos) {
          return line.substr(line.find("0x"), line.find(' ', line.find("0x")) - line.find("0x"));
        }
      }
    }
    return std::nullopt;
  }
  std::string WaitForTrayIcon() {
    std::optional<std::string> icon;
    EXPECT_TRUE(WaitUntil([&] { return (icon = TrayIcon()).has_value(); }))
        << "no icon in the tray";
    return icon.value_or("");
  }
  void DoubleClickIcon(const std::string& icon) {
    const Geometry at = GeometryOf(icon);
    Click(at.x + at.width / 2, at.y + at.height / 2, 1, 2);
  }

  // The shown main window, by its caption.
  std::vector<std::string> MainWindows() { return Windows({"--onlyvisible", "--name", kTitle}); }
  bool MainWindowShown() { return !MainWindows().empty(); }
  // Shows the window from the tray and opens its macro page; the window's place on the screen.
  Geometry OpenMacroPage() {
    DoubleClickIcon(WaitForTrayIcon());
    if (!WaitUntil([&] { return MainWindowShown(); })) {
      ADD_FAILURE() << "the window did not show";
      return {};
    }
    const Geometry window = GeometryOf(MainWindows().front());
    Click(window.x + 126, window.y + 70);  // the macro page's button
    return window;
  }
  // A point of the page, which lies below the window's title band.
  void ClickPage(const Geometry& window, int x, int y) { Click(window.x + x, window.y + 85 + y); }

  // A shown window of the utility of the given size (dialogs and menus have no caption).
  std::optional<std::string> ShownWindowOfSize(int width, int height) {
    for (const std::string& id : Windows({"--onlyvisible", "--class", "z900-config"})) {
      const Geometry geometry = GeometryOf(id);
      if (geometry.width == width && geometry.height == height) return id;
    }
    return std::nullopt;
  }
  // The message dialog, answered with its OK button once it shows; false when none showed.
  bool AnswerMessage() {
    std::optional<std::string> dialog;
    if (!WaitUntil([&] { return (dialog = ShownWindowOfSize(330, 160)).has_value(); }))
      return false;
    const Geometry at = GeometryOf(*dialog);
    Click(at.x + 270, at.y + 135);
    return true;
  }

  // The marker a firmware update leaves for the next start, as the settings file holds it.
  void LeaveFirmwareMarker(const char* value) {
    std::filesystem::create_directories(home_.path() / "update");
    std::ofstream(home_.path() / "update" / "Config.ini") << "[Firmware]\nUpdate=" << value << "\n";
  }
  bool FirmwareMarkerIs(const char* value) {
    std::ifstream file(home_.path() / "update" / "Config.ini");
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    return text.find(std::string("Update=") + value) != std::string::npos;
  }

  static int ExitStatus(RunningProgram& program) {
    const std::optional<ProgramResult> result = program.WaitFor(kPatience);
    EXPECT_TRUE(result) << "still running";
    if (!result) return -1;
    EXPECT_THAT(result->err, ::testing::Not(::testing::HasSubstr("ERROR")));
    return result->exit_code;
  }

  test::TempFolder home_;
  std::vector<std::unique_ptr<RunningProgram>> running_;
  static inline test::XvfbDisplay* xvfb_ = nullptr;
  static inline RunningProgram* trayer_ = nullptr;
  static inline bool tray_ready_ = false;
};

}  // namespace z900::e2e
