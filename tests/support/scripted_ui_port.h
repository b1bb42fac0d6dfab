#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "platform/ui_port.h"

namespace z900::test {

// A UiPort that records every call as a line of text and answers from a script.
class ScriptedUiPort final : public platform::UiPort {
 public:
  // Answers to ShowMessage questions, oldest first; when empty, questions get Cancel (0).
  std::deque<int> answers;
  // Answers to the question about unapplied changes, oldest first; when empty, the user stays.
  std::deque<platform::UnappliedChoice> unapplied_answers;
  // Answers to the choosers, oldest first; when empty, the user cancels.
  std::deque<std::optional<std::filesystem::path>> chosen;
  // Answers of the combination-key dialog and the macro chooser; when empty, the user cancels.
  std::deque<std::optional<platform::ComboKeyChoice>> combos;
  std::deque<std::optional<platform::MacroChoice>> macros;
  bool window_visible = false;
  // Runs while each chooser or dialog is open, before it answers: what happens meanwhile.
  std::function<void()> while_open;
  // Runs at each RefreshPage, as the window refreshes its settings page.
  std::function<void()> on_refresh;
  // "message: …", "question: …", "box Info: …", "progress open", "progress 10", …
  std::vector<std::string> calls;
  std::vector<int> progress;

  int ShowMessage(const std::u16string& text, bool confirm) override {
    calls.push_back((confirm ? "question: " : "message: ") + platform::Utf16ToUtf8(text));
    if (!confirm) return 1;
    if (answers.empty()) return 0;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  platform::UnappliedChoice AskUnappliedChanges(const std::u16string& text) override {
    calls.push_back("unapplied: " + platform::Utf16ToUtf8(text));
    if (unapplied_answers.empty()) return platform::UnappliedChoice::kStay;
    const platform::UnappliedChoice answer = unapplied_answers.front();
    unapplied_answers.pop_front();
    return answer;
  }
  void ShowStandardBox(const std::u16string& text, const std::u16string& caption) override {
    calls.push_back("box " + platform::Utf16ToUtf8(caption) + ": " + platform::Utf16ToUtf8(text));
  }
  void OpenProgress() override { calls.push_back("progress open"); }
  void SetProgress(int position) override { progress.push_back(position); }
  void CloseProgress() override { calls.push_back("progress close"); }
  void ShowProgressWaiting() override { calls.push_back("progress waiting"); }
  void RefreshPage() override {
    calls.push_back("refresh");
    if (on_refresh) on_refresh();
  }
  std::optional<std::filesystem::path> ChooseFile(platform::FileChoice kind) override {
    calls.push_back("choose file " + std::to_string(static_cast<int>(kind)));
    if (while_open) while_open();
    return NextChoice();
  }
  std::optional<std::filesystem::path> ChooseFolder() override {
    calls.push_back("choose folder");
    if (while_open) while_open();
    return NextChoice();
  }
  std::optional<platform::ComboKeyChoice> ChooseComboKey() override {
    calls.push_back("combo dialog");
    if (while_open) while_open();
    return Next(combos);
  }
  std::optional<platform::MacroChoice> ChooseMacro(int preset_position) override {
    calls.push_back("macro chooser " + std::to_string(preset_position));
    if (while_open) while_open();
    return Next(macros);
  }
  bool HideMainWindow() override {
    calls.push_back("hide window");
    return std::exchange(window_visible, false);
  }
  void ShowMainWindow() override {
    calls.push_back("show window");
    window_visible = true;
  }
  void CloseAssignmentMenu() override { calls.push_back("close menu"); }
  void ShutDown() override { calls.push_back("shut down"); }
  bool ShowAboutBox() override {
    calls.push_back("about box");
    return about_box_downloads_firmware;
  }
  bool about_box_downloads_firmware = false;

 private:
  std::optional<std::filesystem::path> NextChoice() { return Next(chosen); }

  template <typename T>
  static std::optional<T> Next(std::deque<std::optional<T>>& answers) {
    if (answers.empty()) return std::nullopt;
    std::optional<T> answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace z900::test
