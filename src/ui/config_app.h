#pragma once

#include <QObject>
#include <memory>

#include "app/start_utility.h"
#include "config/app_context.h"
#include "device/event_channel.h"
#include "i18n/xml_document.h"
#include "platform/device_monitor.h"
#include "platform/downloader.h"
#include "platform/event_source.h"
#include "platform/host_services.h"
#include "platform/key_store.h"
#include "sim/shared_sim_mouse.h"
#include "sim/sim_faults.h"
#include "ui/in_window_keyboard_hook.h"
#include "ui/main_window.h"
#include "ui/qt_instance_lock.h"
#include "ui/qt_ui_port.h"
#include "update/update_check.h"

class QSocketNotifier;

namespace z900::ui {

// The window program: the real or the simulated mouse, the platform's services and the Qt
// parts wired into start-up, which it runs. Needs a QApplication.
class CZ9xMouseConfigApp final : public app::StartupPorts {
 public:
  explicit CZ9xMouseConfigApp(app::Options options);
  ~CZ9xMouseConfigApp() override;
  CZ9xMouseConfigApp(const CZ9xMouseConfigApp&) = delete;
  CZ9xMouseConfigApp& operator=(const CZ9xMouseConfigApp&) = delete;

  // The whole run; the process's exit status.
  int Run();

  platform::PathEnvironment PathEnvironment() override;
  device::HidChannel& channel() override;
  platform::UiPort& ui() override { return *start_ui_; }
  platform::InstanceLock& instance_lock() override;
  // Chosen (and its choice reported) at the first call.
  platform::KeyboardHook& keyboard_hook() override;
  void CreateMainWindow() override;
  void StartFirmwareRestartStep() override { window_->StartFirmwareRestartStep(); }
  int RunMainWindow() override;
  void DestroyMainWindow() override;
  void Warn(const std::string& text) override;

 private:
  // SIGTERM, SIGINT, SIGHUP: the same end as Exit.
  void WatchTermination();
  void Terminate();

  app::Options options_;
  config::AppContext context_;
  sim::SimFaults faults_;
  std::unique_ptr<QtUiPort> start_ui_;
  KeyboardHookChoice hook_;
  std::unique_ptr<platform::HidBackend> hardware_;
  std::unique_ptr<sim::SharedSimMouse> sim_mouse_;
  std::unique_ptr<platform::HidBackend> sim_backend_;
  std::unique_ptr<device::HidChannel> channel_;
  std::unique_ptr<QtInstanceLock> lock_;
  std::unique_ptr<platform::KeyStore> store_;
  std::unique_ptr<platform::HostServices> host_;
  std::unique_ptr<platform::Downloader> downloader_;
  i18n::CXmlDocument update_document_;
  std::unique_ptr<update::UpdateCheck> update_check_;
  std::unique_ptr<platform::EventSource> event_source_;
  std::unique_ptr<device::EventChannel> events_;
  std::unique_ptr<QObject> monitor_object_;                  // the simulated mouse's watcher
  std::unique_ptr<platform::DeviceMonitor> device_monitor_;  // the system's
  platform::DeviceMonitor* monitor_ = nullptr;
  std::unique_ptr<platform::KeyboardLayout> layout_;
  std::unique_ptr<platform::ForegroundApp> foreground_;
  std::unique_ptr<CZ9xMouseConfigDlg> window_;
  std::unique_ptr<QSocketNotifier> termination_;
  bool terminate_requested_ = false;
};

}  // namespace z900::ui
