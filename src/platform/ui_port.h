#pragma once

#include <cstdint>
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

// A key combination as the combination-key dialog took it: the display modifiers (Ctrl 0x01,
// Shift 0x02, Alt 0x04, Win 0x08) and the full virtual-key code of its key (0 = none).
struct ComboKeyChoice {
  std::uint8_t display_mask = 0;
  std::uint32_t key_code = 0;
};

// A macro picked in the macro chooser: its id and its row, counted from 1.
struct MacroChoice {
  std::uint32_t id = 0;
  int position = 0;
};

// What becomes of the settings page's changes not yet applied when something would replace them.
enum class UnappliedChoice {
  kApply,    // write them into the mouse and the profile first
  kDiscard,  // let them go
  kStay,     // keep them, and what would replace them does not happen
};

// The core's only way to reach the user. The Qt ui implements it with its skinned dialogs; the
// cli with terminal prompts; tests with a scripted fake that records every call.
class UiPort {
 public:
  virtual ~UiPort() = default;

  // The program's message dialog: a notice with one button (confirm false) or a question with
  // OK and Cancel (confirm true). Returns 1 when the user confirmed with OK.
  virtual int ShowMessage(const std::u16string& text, bool confirm) = 0;
  // The message dialog asking what becomes of changes not yet applied: Apply, Discard and
  // Cancel (stay); closing it stays. Where there is no such dialog the changes stay.
  virtual UnappliedChoice AskUnappliedChanges(const std::u16string& /*text*/) {
    return UnappliedChoice::kStay;
  }
  // The platform's standard message box with a fixed caption ("Info", "Warning") and OK.
  virtual void ShowStandardBox(const std::u16string& text, const std::u16string& caption) = 0;

  // The progress window of long writes: opened, moved to positions 0 … 100, closed.
  virtual void OpenProgress() = 0;
  virtual void SetProgress(int position) = 0;
  virtual void CloseProgress() = 0;
  // The progress window, opened when it is not, says that the write waits for another program
  // that uses the profiles and macros; OpenProgress turns it back to the write.
  virtual void ShowProgressWaiting() {}

  // The settings page shows the configuration anew.
  virtual void RefreshPage() = 0;

  // A file or folder chooser; nullopt when the user cancels.
  virtual std::optional<std::filesystem::path> ChooseFile(FileChoice kind) = 0;
  virtual std::optional<std::filesystem::path> ChooseFolder() = 0;
  // The combination-key dialog; nullopt when the user cancels, or where there is no such
  // dialog (the cli).
  virtual std::optional<ComboKeyChoice> ChooseComboKey() { return std::nullopt; }
  // The macro chooser with the row at `preset_position` (from 1; 0 = none) selected; nullopt
  // when the user cancels, confirms without a row, or where there is no chooser (the cli).
  virtual std::optional<MacroChoice> ChooseMacro(int /*preset_position*/) { return std::nullopt; }

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
