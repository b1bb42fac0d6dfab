#pragma once

#include <iosfwd>

#include "platform/ui_port.h"

namespace z900::cli {

// The user as the terminal reaches them: notices on standard output, questions answered at a
// prompt (or by --yes), a progress bar on a terminal. The tool has no window and no choosers.
class TerminalUiPort final : public platform::UiPort {
 public:
  // `in` is null when there is nobody to ask: questions are then answered with no.
  TerminalUiPort(std::ostream& out, std::ostream& err, std::istream* in)
      : out_(out), err_(err), in_(in) {}

  void set_assume_yes(bool yes) { assume_yes_ = yes; }
  void set_progress_bar(bool shown) { progress_bar_ = shown; }
  // The positions the progress window went through, for figures after a long write.
  int last_progress() const { return last_progress_; }

  int ShowMessage(const std::u16string& text, bool confirm) override;
  void ShowStandardBox(const std::u16string& text, const std::u16string& caption) override;
  void OpenProgress() override;
  void SetProgress(int position) override;
  void CloseProgress() override;
  void RefreshPage() override {}
  std::optional<std::filesystem::path> ChooseFile(platform::FileChoice) override {
    return std::nullopt;
  }
  std::optional<std::filesystem::path> ChooseFolder() override { return std::nullopt; }
  bool HideMainWindow() override { return false; }
  void ShowMainWindow() override {}
  void CloseAssignmentMenu() override {}
  void ShutDown() override {}
  bool ShowAboutBox() override { return false; }

 private:
  std::ostream& out_;
  std::ostream& err_;
  std::istream* in_;
  bool assume_yes_ = false;
  bool progress_bar_ = false;
  bool progress_open_ = false;
  int last_progress_ = -1;
};

}  // namespace z900::cli
