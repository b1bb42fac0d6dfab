#pragma once

#include <QFileSystemWatcher>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "config/app_context.h"
#include "config/config_ports.h"
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
  // Start, and the write a firmware update left pending.
  void Initialise();
  // Loads the pictures and makes the controls showing the page's state, once; showing the page
  // does it first.
  void BuildControls();
  bool controls_built() const { return apply_ != nullptr; }
  void setVisible(bool visible) override;
  // The mouse (when open) asked for its mode, ShowLoaded, the timers.
  void Start();
  // Shows the loaded profile on every control; it counts as stored, and its files are watched.
  void ShowLoaded();
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
  // Copies the profile name box into the record.
  void TakeNameBox();
  // The foreground back-end's status: logged and shown on the switch box when it changes.
  void ShowForegroundStatus();
  void ShowSwitchBoxTip();
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
  // Runs a long write on the worker; the page shows the result afterwards.
  void StartWrite(std::function<void()> write);
  void AfterWrite();
  // The store lock for one operation of the page on the profiles, the profile table or the key
  // store. Waiting (on the worker, or before the window shows) it returns once the lock is
  // ours; otherwise null with `busy` while another program holds it. Null without `busy` when
  // the lock file cannot be used (logged): the operation goes on without it.
  std::unique_ptr<platform::FileLock> LockStore(bool wait, bool& busy);
  // What the page holds now counts as stored: later edits are unapplied changes.
  void TakeBaseline();
  bool HoldsUnappliedChanges() const;
  std::vector<std::uint8_t> PageBytes() const;
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
  StoredState stored_;
  std::optional<platform::ForegroundStatus> foreground_status_;
  bool told_extension_ = false;
  bool foreground_news_waits_ = false;  // for a running write
  bool started_ = false;
  bool stored_changed_ = false;
  // LoadAndRefresh waits for the next look at the stored files.
  bool reload_pending_ = false;
};

}  // namespace z900::ui
