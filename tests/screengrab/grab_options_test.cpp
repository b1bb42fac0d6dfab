#include "grab_options.h"

#include <gtest/gtest.h>

namespace z900::screengrab {
namespace {

struct OptionsCase {
  std::vector<std::string> args;
  CaptureMode mode;
  bool save_png;
  std::optional<std::string> folder;
};

TEST(GrabOptionsTest, ReadsTheCommandLinesOfTheUtilityAndTheUser) {
  const OptionsCase cases[] = {
      {{"-t", "desktop", "-p"}, CaptureMode::kDesktop, true, std::nullopt},
      {{"-t", "window", "-p"}, CaptureMode::kWindow, true, std::nullopt},
      {{"-t", "region", "-p"}, CaptureMode::kRegion, true, std::nullopt},
      {{}, CaptureMode::kDesktop, false, std::nullopt},
      {{"--type", "window"}, CaptureMode::kWindow, false, std::nullopt},
      {{"-o", "/tmp/shots", "-t", "region"}, CaptureMode::kRegion, true, "/tmp/shots"},
  };
  for (const OptionsCase& c : cases) {
    const ParsedArguments parsed = ParseGrabOptions(c.args);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->mode, c.mode);
    EXPECT_EQ(parsed.options->save_png, c.save_png);
    EXPECT_EQ(parsed.options->output_folder, c.folder);
    EXPECT_FALSE(parsed.options->help);
  }
  EXPECT_TRUE(ParseGrabOptions(std::vector<std::string>{"-t", "window", "--help"}).options->help);
}

TEST(GrabOptionsTest, RefusesWhatItDoesNotKnowWithTheReason) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-t"}, "option -t needs a value"},
      {{"-t", "screen"}, "unknown capture type 'screen'"},
      {{"-t", "desktop", "-t", "window"}, "option -t is given twice"},
      {{"-o", ""}, "option -o needs a folder"},
      {{"-p", "extra"}, "unknown argument 'extra'"},
      {{"-tdesktop"}, "unknown argument '-tdesktop'"},
  };
  for (const auto& [args, error] : cases) {
    const ParsedArguments parsed = ParseGrabOptions(args);
    EXPECT_FALSE(parsed.options) << error;
    EXPECT_EQ(parsed.error, error);
  }
}

}  // namespace
}  // namespace z900::screengrab
