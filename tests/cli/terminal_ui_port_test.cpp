#include "cli/terminal_ui_port.h"

#include <gtest/gtest.h>

#include <sstream>

namespace z900::cli {
namespace {

TEST(TerminalUiPortTest, QuestionsAreAnsweredAtThePromptByYesOrNotAtAll) {
  std::ostringstream out;
  std::ostringstream err;
  std::istringstream answers("y\nn\n");
  TerminalUiPort ui(out, err, &answers);
  EXPECT_EQ(ui.ShowMessage(u"Download?", true), 1);
  EXPECT_EQ(ui.ShowMessage(u"Download?", true), 0);
  EXPECT_EQ(ui.ShowMessage(u"Download?", true), 0);  // input ended
  ui.set_assume_yes(true);
  EXPECT_EQ(ui.ShowMessage(u"Download?", true), 1);
  EXPECT_EQ(ui.ShowMessage(u"Up to date \u00e4", false), 1);
  EXPECT_EQ(out.str(),
            "Download? [y/N] Download? [y/N] Download? [y/N] no (nobody to answer; use --yes)\n"
            "Download? [y/N] yes (--yes)\nUp to date \xc3\xa4\n");

  TerminalUiPort silent(out, err, nullptr);
  EXPECT_EQ(silent.ShowMessage(u"Reset?", true), 0);
}

TEST(TerminalUiPortTest, ProgressBarOnlyWhenAsked) {
  std::ostringstream out;
  std::ostringstream err;
  TerminalUiPort ui(out, err, nullptr);
  ui.OpenProgress();
  ui.SetProgress(50);
  ui.CloseProgress();
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(ui.last_progress(), 50);
  ui.set_progress_bar(true);
  ui.OpenProgress();
  ui.SetProgress(25);
  ui.CloseProgress();
  EXPECT_EQ(err.str(), "\r[##########..............................] 25%\n");
}

}  // namespace
}  // namespace z900::cli
