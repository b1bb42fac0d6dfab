#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "config/app_context.h"
#include "platform/keyboard_hook.h"
#include "platform/keyboard_layout.h"
#include "platform/ui_port.h"
#include "ui/about_mag.h"
#include "ui/progress_dlg.h"

namespace z900::ui {

// Runs tasks on the ui thread through the application's event loop, for the platform's threads
// (keyboard hook, device notifications).
platform::UiTaskPoster UiThreadPoster();

// What the main window provides to the core through the UiPort. Unset hooks do nothing (and the
// window counts as hidden).
struct MainWindowHooks {
  std::function<void()> refresh_page;
  std::function<bool()> hide_main_window;
  std::function<void()> show_main_window;
  std::function<void()> close_assignment_menu;
  std::function<void()> shut_down;
};

// The core's way to the user in the window program: the skinned message dialog, Qt's standard
// box and choosers, the progress window and the about box, each modal to `owner` only (the tray
// stays usable). Every call may come from any thread: from another thread than the ui thread it
// is carried out on the ui thread while the caller waits, so a question blocks its caller until
// it is answered.
class QtUiPort final : public QObject, public platform::UiPort {
  Q_OBJECT

 public:
  // `owner` parents the dialogs (may be null). Lives on the thread that creates it, which must
  // be the ui thread.
  QtUiPort(const config::AppContext& context, QWidget* owner = nullptr);
  ~QtUiPort() override;

  void SetMainWindowHooks(MainWindowHooks hooks) { hooks_ = std::move(hooks); }
  void SetAboutBoxPorts(AboutBoxPorts ports) { about_ports_ = std::move(ports); }
  // What the combination-key dialog takes its keys from and names them with; without a hook it
  // takes the keys pressed while it has the focus.
  void SetKeyboard(platform::KeyboardHook* hook, const platform::KeyboardLayout* layout) {
    hook_ = hook;
    layout_ = layout;
  }
  // The macro chooser (the macro page's dialog); unset, ChooseMacro reports a cancel.
  using MacroChooser = std::function<std::optional<platform::MacroChoice>(int preset_position)>;
  void SetMacroChooser(MacroChooser chooser) { macro_chooser_ = std::move(chooser); }
  // The open progress window, or null.
  CProgressDlg* progress() const { return progress_; }
  // The utility ends: from now on every dialog asked for ends at once as cancelled, unseen.
  void SetClosing() { closing_ = true; }

  int ShowMessage(const std::u16string& text, bool confirm) override;
  platform::UnappliedChoice AskUnappliedChanges(const std::u16string& text) override;
  void ShowStandardBox(const std::u16string& text, const std::u16string& caption) override;
  void OpenProgress() override;
  void SetProgress(int position) override;
  void CloseProgress() override;
  void ShowProgressWaiting() override;
  void RefreshPage() override;
  std::optional<std::filesystem::path> ChooseFile(platform::FileChoice kind) override;
  std::optional<std::filesystem::path> ChooseFolder() override;
  std::optional<platform::ComboKeyChoice> ChooseComboKey() override;
  std::optional<platform::MacroChoice> ChooseMacro(int preset_position) override;
  bool HideMainWindow() override;
  void ShowMainWindow() override;
  void CloseAssignmentMenu() override;
  void ShutDown() override;
  bool ShowAboutBox() override;

 private:
  // Runs `call` on the ui thread and hands back its result.
  template <typename Call>
  auto OnUiThread(Call call) -> decltype(call());
  // Runs a dialog modal to its window, or ends it unseen as cancelled once closing.
  int Run(QDialog& dialog);

  const config::AppContext& context_;
  QPointer<QWidget> owner_;
  MainWindowHooks hooks_;
  AboutBoxPorts about_ports_;
  QPointer<CProgressDlg> progress_;
  platform::KeyboardHook* hook_ = nullptr;
  const platform::KeyboardLayout* layout_ = nullptr;
  MacroChooser macro_chooser_;
  bool closing_ = false;  // ui thread only
};

}  // namespace z900::ui
