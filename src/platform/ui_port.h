#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace z900::platform {

// Kinds of file the user may be asked to choose.
enum class FileChoice {
  kProgram,  // an executable ("exe(*.exe)|*.exe|" on the original system)
  kSound,
  kFile,
};

// The core's only way to reach the user. The Qt ui implements it with its skinned dialogs; the
// cli with terminal prompts; tests with a scripted fake that records every call.
class UiPort {
 public:
  virtual ~UiPort() = default;

  // The program's message dialog: a notice with one button (confirm false) or a question with
  // OK and Cancel (confirm true). Returns 1 when the user confirmed with OK.
  virtual int ShowMessage(const std::u16string& text, bool confirm) = 0;
  // The platform's standard message box with a fixed caption ("Info", "Warning") and OK.
  virtual void ShowStandardBox(const std::u16string& text, const std::u16string& caption) = 0;

  // The progress window of long writes: opened, moved to positions 0 … 100, closed.
  virtual void OpenProgress() = 0;
  virtual void SetProgress(int position) = 0;
  virtual void CloseProgress() = 0;

  // The settings page shows the configuration anew.
  virtual void RefreshPage() = 0;

  // A file or folder chooser; nullopt when the user cancels.
  virtual std::optional<std::filesystem::path> ChooseFile(FileChoice kind) = 0;
  virtual std::optional<std::filesystem::path> ChooseFolder() = 0;

  // The main window: hides it and tells whether it was visible; shows it in front; closes an
  // open assignment menu; ends the program.
  virtual bool HideMainWindow() = 0;
  virtual void ShowMainWindow() = 0;
  virtual void CloseAssignmentMenu() = 0;
  virtual void ShutDown() = 0;

  // The about box, shown modally; true when the user downloaded a firmware image in it.
  virtual bool ShowAboutBox() = 0;
};

}  // namespace z900::platform
