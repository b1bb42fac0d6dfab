#pragma once

#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "app/instance_messages.h"
#include "config/app_context.h"
#include "config/config_ports.h"
#include "config/profile_files.h"
#include "config/settings_page_model.h"
#include "device/event_channel.h"
#include "device/hid_channel.h"
#include "platform/clock.h"
#include "platform/device_monitor.h"
#include "platform/file_io.h"
#include "platform/foreground_app.h"
#include "platform/host_services.h"
#include "platform/key_store.h"
#include "platform/keyboard_hook.h"
#include "platform/keyboard_layout.h"
#include "ui/device_worker.h"
#include "ui/main_window_frame.h"
#include "ui/qt_ui_port.h"
#include "ui/tray_host.h"
#include "ui/xp_menu.h"

class QSystemTrayIcon;

namespace z900::ui {

class CSetDlg;

// Commands of the tray menu.
inline constexpr int kCommandConfig = 24576;  // 0x6000: show the window
inline constexpr int kCommandExit = 24577;    // 0x6001
inline constexpr int kCommandAbout = 24578;   // 0x6002
// The tray icon's tip and balloon: their longest texts, and how long the balloon stays.
inline constexpr int kTrayTipLength = 127;
inline constexpr int kBalloonTextLength = 255;
inline constexpr int kBalloonMs = 5000;
inline constexpr char kBalloonTitle[] = "Running";
inline constexpr int kBalloonPlacementTries = 30;
inline constexpr int kBalloonPlacementRetryMs = 100;
// Timer 19: the driver registration is tried again this often until it succeeds.
inline constexpr int kRegistrationRetryMs = 1000;
// A mouse that has just been plugged in is given this long before anything else happens.
inline constexpr std::uint32_t kArrivalSettleMs = 200;
// While another program changes the profiles, showing the window looks again this often
// instead of waiting for it on the ui thread.
inline constexpr int kShowRetryMs = 300;

// What the main window works with; all of it outlives the window.
struct MainWindowPorts {
  config::AppContext& context;
  device::HidChannel& channel;
  platform::KeyStore& store;
  platform::HostServices& host;
  platform::KeyboardHook& hook;
  device::EventChannel& events;
  platform::DeviceMonitor* monitor;  // null: unplugging goes unnoticed
  platform::Clock& clock;
  // The settings page's: what key combinations are named in, and the foreground program for
  // the automatic switching.
  const platform::KeyboardLayout& layout;
  platform::ForegroundApp& foreground;
  // False when `hook` hears only the utility's own windows (the macro page says so).
  bool system_wide_hook = true;
};

// The utility's window and the hub of its life: the tray icon and its menu, the two pages,
// the driver's events (carried out as host actions), the requests of other instances, the
// mouse coming and going, and the ordered shut-down. It starts hidden; the first ShowMainWindow
// only loads.
class CZ9xMouseConfigDlg final : public MainWindowFrame {
  Q_OBJECT

 public:
  explicit CZ9xMouseConfigDlg(MainWindowPorts ports, QWidget* parent = nullptr);
  ~CZ9xMouseConfigDlg() override;

  // Caption and icon, the event channel with timer 19, the FirstRun marker, the tray icon and
  // its "Running" balloon, the first (loading) ShowMainWindow, the settings page's start, and
  // the device notifications.
  void InitMainWindow();
  // Reopens the mouse (str_msg6 and nothing else when it is gone), reloads the profiles,
  // refreshes the pages and shows the window, except the first time.
  void ShowMainWindow();
  // The tray icon's mouse messages: 515 (double click) shows the window, 517 (right button up)
  // opens the tray menu.
  void TrayNotify(int mouse_message);
  // A command of the tray menu.
  void MenuCommand(int command);
  enum class Button { kClose, kMinimise, kMouseTab, kMacroTab };
  void ButtonCommand(Button button);
  // Exit, unless a dialog of the settings page or a message is open.
  void ExitCommand();
  // Ends the utility in order: pages, timers, keyboard hook, event channel, tray icon; then
  // Ended. Waits for a running device write first.
  void ShutDown();
  void DeviceChange(platform::DeviceChange change);
  // One event word from the driver, carried out on the ui thread after any running write.
  void ExecuteHostAction(std::uint32_t word);
  void OnInstanceRequest(app::InstanceRequest request);
  // The first start after a firmware update, or after a write that the mouse did not take in
  // full: writes the configuration into the mouse once, on the device worker.
  void StartFirmwareRestartStep();
  // A write failed because the mouse was removed: says so, and that the utility ends, and ends
  // it (the next start writes the profile again).
  void MouseRemovedDuringWrite();
  // Every way of showing the window makes it first, with the settings page selected.
  void setVisible(bool visible) override;

  // What redraws the pages after a reload; the pages themselves go into their slots with
  // SetPages (placeholders until they are built).
  void SetRefreshPages(std::function<void()> refresh) { refresh_pages_ = std::move(refresh); }

  QtUiPort& ui() { return ui_; }
  config::SettingsPageModel& page_model() { return page_; }
  DeviceWorker& worker() { return worker_; }
  QSystemTrayIcon* tray_icon() const { return tray_; }
  bool has_shut_down() const { return shut_down_; }
  // The tray menu while it is open (null otherwise).
  CXPMenu* open_menu() const { return menu_; }
  // Null once shut down.
  CSetDlg* settings_page() const { return settings_page_; }

 signals:
  // After ShutDown: the main loop of the utility ends.
  void Ended();

 protected:
  // The window never closes itself through the system's close command.
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void SurfacePressed() override;

 private:
  void BuildWindow();
  void EnsureMacroPage();
  void AddTrayIcon();
  void ShowRunningBalloon(int tries_left);
  void OnTrayContextClick();
  void OpenTrayMenu();
  void CloseAssignmentMenu();
  void RegistrationTick();
  void RefreshPages();
  void ShowMainWindowNow();
  // Loads the stored profiles into the pages and shows the window (except the first time).
  void LoadAndShow();
  void PutOnScreen();
  void ShutDownNow();
  // The settings page's handle on the mouse, opened anew.
  bool OpenMouse();
  void CloseMouse();

  MainWindowPorts ports_;
  config::AppContext& context_;
  config::SettingsPageModel page_;
  config::ProfileFiles files_;
  QtUiPort ui_;
  config::ConfigPorts config_ports_;
  DeviceWorker worker_;
  QTimer registration_timer_;  // timer 19
  QTimer store_retry_timer_;   // "storeRetry": loads and shows once the profiles are free
  QSystemTrayIcon* tray_ = nullptr;
  TrayHost tray_host_ = TrayHost::kIconWindow;
  QPointer<CXPMenu> menu_;
  CSetDlg* settings_page_ = nullptr;  // owned by the frame
  std::function<void()> refresh_pages_;
  bool mouse_loaded_ = false;
  bool first_show_done_ = false;
  bool store_wait_told_ = false;
  bool removal_noticed_ = false;
  bool awaiting_right_release_ = false;
  bool shut_down_requested_ = false;
  bool shut_down_ = false;
};

}  // namespace z900::ui
