#pragma once

#include <QFileSystemWatcher>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "config/app_context.h"
#include "config/apply_to_mouse.h"
#include "config/config_ports.h"
#include "config/profiles.h"
#include "config/settings_page.h"
#include "config/settings_page_model.h"
#include "macro/macro_store.h"
#include "platform/file_io.h"
#include "platform/foreground_app.h"
#include "platform/keyboard_layout.h"
#include "ui/device_worker.h"
#include "ui/gdi_bitmap_btn.h"
#include "ui/irr_button.h"
#include "ui/png_slider.h"
#include "ui/skin.h"
#include "ui/skin_menu.h"

namespace z900::ui {

// What the settings page works with besides the state it shows: the configuration's ports
// (mouse, key store, user, profile files), the layout key combinations are named in, the
// foreground program for the automatic switching, and the thread of the long writes.
struct SetDlgPorts {
  config::ConfigPorts& config;
  const platform::KeyboardLayout& layout;
  platform::ForegroundApp& foreground;
  DeviceWorker& worker;
  // The window's page state, when the window opens the mouse into it, loads the profiles and
  // runs the firmware follow-up itself (then it calls Start and ShowLoaded); null: the page
  // keeps its own and does all of that in Initialise.
  config::SettingsPageModel* model = nullptr;
};

// The settings page: the mouse with its eight buttons and every setting of one mode, the mode
// and profile tabs, the profile's name and program, Reset and Apply. It renders the core's
// page view and forwards every control to the core; the long writes run on the device worker
// while the page keeps painting. It owns the page state (SettingsPageModel) and the mouse
// handle in it. Its pictures and controls are made when it is first shown (BuildControls);
// until then it draws nothing, but switches profiles and follows the stored files all the same.
class CSetDlg : public QWidget {
  Q_OBJECT

 public:
  CSetDlg(config::AppContext& context, SetDlgPorts ports, QWidget* parent = nullptr);
  ~CSetDlg() override;

  // The page's start on its own state: an empty record, the stored profiles, the mouse opened,
  // Start, and StartPendingWrite.
  void Initialise();
  // The write into the mouse that the start owes it, on the worker: the configuration again
  // after a firmware update, or after a write that the mouse did not take in full
  // (config::WritePending). Nothing when none is owed.
  void StartPendingWrite();
  // Loads the pictures and makes the controls showing the page's state, once; showing the page
  // does it first.
  void BuildControls();
  bool controls_built() const { return apply_ != nullptr; }
  void setVisible(bool visible) override;
  // The mouse (when open) asked for its mode, ShowLoaded, the timers.
  void Start();
  // Shows the loaded profile on every control; it counts as stored, and its files are watched.
  void ShowLoaded();
  // Tells what LoadProfiles found wrong with the profile files, in the program's message
  // dialog (the same facts as z900ctl tells).
  void TellLoadProblems(const config::LoadProfilesResult& result);
  // Loads the stored profiles anew and shows them, as every showing of the main window does:
  // after a running write, a dialog of the page, or another program's change of the files.
  void LoadAndRefresh();
  // Shows the configuration of the current mode and the selected profile on every control.
  void Refresh();
  // Closes the open assignment menu, if any.
  void DestroyMenuEx() { menu_.DestroyMenuEx(); }

  config::SettingsPageModel& model() { return model_; }
  CSkinMenu& menu() { return menu_; }
  // The stored profile changed elsewhere while the page held changes not yet applied.
  bool stored_profile_changed() const { return stored_changed_; }
  // The last write into the mouse was not acknowledged in full: the mouse does not hold what
  // the page shows (the Apply button stays lit until a write succeeds).
  bool mouse_behind() const { return mouse_behind_; }
  void SetMouseBehind(bool behind);
  // The page holds edits of the loaded profile not yet applied (a name typed in its box too).
  bool HoldsUnappliedEdits();
  // Runs `replace`, which replaces what the page shows, unless that loses edits not yet applied:
  // with such edits the user is asked first. Apply writes them and runs `replace` once they are
  // stored, Discard runs it at once, Cancel keeps the page as it is. False when the user stays.
  bool ReplaceAfterAsking(std::function<void()> replace);
  // Macro names follow the store (the macro page renamed one); that alone is no edit.
  void FollowMacroNames();

  // The two timers' work, every 200 ms and every 1300 ms: the markers follow the pointer over
  // the assignment buttons; the profile name is taken from its box, then the automatic
  // switching looks at the foreground program.
  void HoverTick();
  void SwitchTick();
  // The foreground program or the foreground back-end's status changed (the owner's change
  // handler, on the ui thread): the automatic switching looks at once.
  void ForegroundChanged();
  // The stored profiles, profile table or macros changed on disk (the watcher's work, after a
  // short pause that gathers the files of one change).
  void StoredDataChanged();

  // The controls, for the window's owner and the tests: buttons 1 … 8; boxes in page order.
  // Null until they are built.
  CGDIBitmapBtn* assignment_button(int button) const { return assignment_[button - 1]; }
  CGDIBitmapBtn* marker(int button) const { return markers_[button - 1]; }
  CGDIBitmapBtn* dpi_box(int index) const { return dpi_[index]; }
  CGDIBitmapBtn* rate_button(int index) const { return rates_[index]; }
  CGDIBitmapBtn* effect_button(int index) const { return effects_[index]; }
  CGDIBitmapBtn* led_normal() const { return led_normal_; }
  CGDIBitmapBtn* led_apm() const { return led_apm_; }
  CPngHSliderBar* slider() const { return slider_; }
  CIrrButton* mode_tab(int mode) const { return mode_tabs_[mode]; }
  CIrrButton* profile_tab(int index) const { return profile_tabs_[index]; }
  QLineEdit* name_box() const { return name_box_; }
  CGDIBitmapBtn* switch_box() const { return switch_box_; }
  CGDIBitmapBtn* program_button() const { return program_button_; }
  CGDIBitmapBtn* reset_button() const { return reset_; }
  CGDIBitmapBtn* apply_button() const { return apply_; }
  const QFileSystemWatcher& watcher() const { return watcher_; }

 signals:
  // A write of the page into the mouse ended and the page shows the result.
  void WriteFinished();
  // A write waits for another program that holds the profiles and macros.
  void WaitingForStore();
  // A write failed because the mouse is gone: the window tells so and ends.
  void MouseRemovedDuringWrite();

 protected:
  void paintEvent(QPaintEvent* event) override;
  // The markers follow the pointer only while the page is on the screen.
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Building the controls (set_dlg.cpp).
  CGDIBitmapBtn* AddButton(const QString& text, const QRect& rect, bool check_mode);
  CIrrButton* AddTab(const QString& text, const QPolygon& outline);
  void ShowView(const config::SettingsPageView& view);

  // What the controls do (set_dlg_commands.cpp). Every command closes the menu first and is
  // carried out after a running write.
  void Command(std::function<void()> action);
  // Runs `task` after a running write, unless the page is gone by then.
  void WhenIdle(std::function<void()> task);
  // Copies the profile name box into the record once the user changed its text: a longer name
  // that came from elsewhere, which the box shows cut, stays whole until then.
  void TakeNameBox();
  // The foreground back-end's status: logged and shown on the switch box when it changes.
  void ShowForegroundStatus();
  // The switch box's tip: its text, what the back-end cannot see, and whether a switch waits.
  void ShowSwitchBoxTip();
  // The page is on the screen: shown, and its window not minimised.
  bool OnScreen() const;
  // Timer 18 runs while the page is on the screen (it copies the profile name) and, for the
  // automatic switching, where the foreground back-end cannot announce a change.
  void UpdateSwitchTimer(bool on_screen);
  // Opens button 1 … 8's menu at `control` (its assignment button or its marker).
  void OpenAssignmentMenu(int button, const QWidget* control);
  void MenuChosen(int item, int category);
  void ClickDpiBox(int index);
  void SliderMoved(int position, int id);
  void SelectMode(int mode);
  void SelectProfileTab(int index);
  void ClickSwitchBox();
  void ClickProgramButton();
  void Apply();
  void Reset();
  // What a write on the worker came to, handed to the ui thread with its end.
  struct WriteOutcome {
    std::optional<config::ApplyReport> report;          // what reached the mouse, if anything
    std::optional<config::ProfileFileProblem> problem;  // of a profile selected for the write
    bool lock_given_up = false;  // another program kept the store locked: nothing was written
    std::string lock_holders;    // then: the lock file and who held it
  };
  // Runs a long write on the worker under the store lock; with `shows_progress` the progress
  // window tells from the first moment that it waits for another program's lock. The page
  // tells the result afterwards.
  // Once the page has shown the result, `then` runs.
  void StartWrite(std::function<void(WriteOutcome&)> write, bool shows_progress,
                  std::function<void()> then = {});
  void AfterWrite(const WriteOutcome& outcome);
  // Whether the mouse can no longer be opened at all (it was unplugged).
  bool MouseGone();
  // The store lock for one operation of the page on the profiles, the profile table or the key
  // store. Waiting (on the worker, or before the window shows) it returns once the lock is
  // ours, or null with `busy` when another program held it too long; with `shows_progress`
  // the progress window says at once that the write waits. Not waiting it gives null with
  // `busy` while another program holds it. Null without `busy` when the lock file cannot be
  // used (logged): the operation goes on without it.
  std::unique_ptr<platform::FileLock> LockStore(bool wait, bool& busy, bool shows_progress = false);
  // What the page holds now counts as stored: later edits are unapplied changes.
  void TakeBaseline();
  bool HoldsUnappliedChanges() const;
  std::vector<std::uint8_t> PageBytes() const;
  // The loaded profile as the page holds it: the record, its entry in the table and its index.
  std::vector<std::uint8_t> EditBytes() const;
  // What the store and the files hold of the page: ConfigInfo and the selected profile's file,
  // and the macros' ids and names.
  struct StoredState {
    std::vector<std::uint8_t> profile;
    std::vector<macro::MacroListEntry> macros;
    bool operator==(const StoredState&) const = default;
  };
  StoredState ReadStoredState();
  void WatchStoredData();

  config::AppContext& context_;
  SetDlgPorts ports_;
  std::unique_ptr<config::SettingsPageModel> own_model_;
  config::SettingsPageModel& model_;
  WindowImages images_;
  CSkinMenu menu_;

  std::array<CGDIBitmapBtn*, config::kButtonCount> assignment_{};
  std::array<CGDIBitmapBtn*, config::kButtonCount> markers_{};
  std::array<CGDIBitmapBtn*, config::kDpiBoxes.size()> dpi_{};
  std::array<CGDIBitmapBtn*, config::kRateButtons.size()> rates_{};
  std::array<CGDIBitmapBtn*, config::kEffectButtons.size()> effects_{};
  CGDIBitmapBtn* led_normal_ = nullptr;
  CGDIBitmapBtn* led_apm_ = nullptr;
  CPngHSliderBar* slider_ = nullptr;
  std::array<CIrrButton*, config::kModeCount> mode_tabs_{};
  std::array<CIrrButton*, config::kProfileCount> profile_tabs_{};
  QLineEdit* name_box_ = nullptr;
  CGDIBitmapBtn* switch_box_ = nullptr;
  CGDIBitmapBtn* program_button_ = nullptr;
  CGDIBitmapBtn* reset_ = nullptr;
  CGDIBitmapBtn* apply_ = nullptr;

  QTimer hover_timer_;
  QTimer switch_timer_;
  QFileSystemWatcher watcher_;
  QTimer settle_timer_;
  std::vector<std::uint8_t> baseline_;
  // EditBytes as the profile was loaded or last written.
  std::vector<std::uint8_t> edit_baseline_;
  // A switch waits for edits not yet applied on the screen (said in the switch box's tip).
  bool switch_waits_ = false;
  StoredState stored_;
  std::optional<platform::ForegroundStatus> foreground_status_;
  bool told_extension_ = false;
  // The user changed the name box's text since it was last taken or shown.
  bool name_edited_ = false;
  bool foreground_news_waits_ = false;  // for a running write
  bool started_ = false;
  bool stored_changed_ = false;
  bool mouse_behind_ = false;
  // The last problem of the automatic switching that was told: the same one is not told at
  // every tick again.
  std::optional<std::pair<int, std::error_code>> told_switch_problem_;
  // LoadAndRefresh waits for the next look at the stored files.
  bool reload_pending_ = false;
};

}  // namespace z900::ui
