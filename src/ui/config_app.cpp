#include "ui/config_app.h"

#include <QApplication>
#include <QEventLoop>
#include <QSessionManager>
#include <QSocketNotifier>
#include <functional>
#include <iostream>
#include <mutex>

#include "device/hid_event_source.h"
#include "platform/device_monitor.h"
#include "platform/termination_signals.h"
#include "sim/sim_event_source.h"
#include "ui/about_box_ports.h"
#include "ui/gallery.h"
#include "ui/modal_dialogs.h"
#include "ui/set_dlg.h"
#include "ui/sim_mouse_watcher.h"

namespace z900::ui {
namespace {

// The desktop's keyboard layout, read from the window system when a key is first named rather
// than at the start: a utility that waits in the tray may never need it.
class LazyKeyboardLayout final : public platform::KeyboardLayout {
 public:
  explicit LazyKeyboardLayout(std::function<void(const std::string&)> warn)
      : warn_(std::move(warn)) {}

  std::optional<char32_t> UnshiftedCharacter(std::uint32_t virtual_key) const override {
    std::call_once(once_, [this] {
      std::string why;
      layout_ = platform::CreateSystemKeyboardLayout(why);
      if (!layout_) {
        warn_("keyboard layout: " + why +
              "; key combinations are named by letters and digits only");
        layout_ = std::make_unique<platform::BasicKeyboardLayout>();
      }
    });
    return layout_->UnshiftedCharacter(virtual_key);
  }

 private:
  std::function<void(const std::string&)> warn_;
  mutable std::once_flag once_;
  mutable std::unique_ptr<platform::KeyboardLayout> layout_;
};

}  // namespace

CZ9xMouseConfigApp::CZ9xMouseConfigApp(app::Options options)
    : options_(std::move(options)), start_ui_(std::make_unique<QtUiPort>(context_)) {}

CZ9xMouseConfigApp::~CZ9xMouseConfigApp() { DestroyMainWindow(); }

int CZ9xMouseConfigApp::Run() {
  if (options_.render_folder) {
    context_.paths = platform::ResolveProgramPaths(PathEnvironment());
    if (!app::LoadProgramLanguage(context_, platform::EnvironmentValue("Z900_LANGUAGE"))) {
      Warn("cannot read the language file; texts will be empty");
    }
    return RenderGalleryCommand(context_, *options_.render_folder, "z900-config");
  }
  if (const auto setting = platform::EnvironmentValue("Z900_SIM_FAULTS");
      setting && options_.simulate) {
    std::string why;
    const std::optional<sim::SimFaults> faults = sim::ParseFaults(*setting, why);
    if (!faults) {
      Warn("Z900_SIM_FAULTS: " + why);
      return app::kExitUsage;
    }
    faults_ = *faults;
  }
  WatchTermination();
  return app::StartUtility(context_, *this).exit_code;
}

platform::PathEnvironment CZ9xMouseConfigApp::PathEnvironment() {
  return platform::ReadPathEnvironment();
}

device::HidChannel& CZ9xMouseConfigApp::channel() {
  if (channel_) return *channel_;
  platform::Clock& clock = platform::SystemClock();
  if (options_.simulate) {
    std::cerr << "z900-config: using the simulated mouse ("
              << context_.paths.sim_state_file.string() << ")\n";
    sim_mouse_ =
        std::make_unique<sim::SharedSimMouse>(context_.paths.sim_state_file, clock, faults_);
    sim_backend_ = std::make_unique<sim::SharedSimBackend>(*sim_mouse_, clock);
    channel_ = std::make_unique<device::HidChannel>(*sim_backend_, clock);
  } else {
    hardware_ = platform::CreateSystemHidBackend();
    channel_ = std::make_unique<device::HidChannel>(*hardware_, clock);
  }
  if (platform::EnvironmentValue("Z900_TRACE") == "1") {
    channel_->SetTrace([](std::string_view line) { std::cerr << line << '\n'; });
  }
  return *channel_;
}

platform::KeyboardHook& CZ9xMouseConfigApp::keyboard_hook() {
  if (!hook_.hook) {
    hook_ = CreateKeyboardHook();
    ReportKeyboardHook(hook_, context_, *start_ui_);
  }
  return *hook_.hook;
}

platform::InstanceLock& CZ9xMouseConfigApp::instance_lock() {
  if (!lock_) {
    lock_ = std::make_unique<QtInstanceLock>(context_.paths.instance_folder);
    QObject::connect(lock_.get(), &QtInstanceLock::ChannelLost, lock_.get(),
                     [this](const QString& why) {
                       Warn("a second start cannot reach this instance for now (" +
                            why.toStdString() + "); the channel is being opened again");
                     });
    QObject::connect(lock_.get(), &QtInstanceLock::Reopened, lock_.get(),
                     [this] { Warn("a second start can reach this instance again"); });
  }
  return *lock_;
}

void CZ9xMouseConfigApp::CreateMainWindow() {
  platform::Clock& clock = platform::SystemClock();
  store_ = platform::CreateSystemKeyStore(context_.paths.registry_root);
  host_ = platform::CreateSystemHostServices(context_.paths.helper_folders);
  if (options_.simulate) {
    auto source = std::make_unique<sim::SimStateEventSource>(
        context_.paths.sim_state_file, clock,
        sim::SimStateEventSource::Polling::kDeliveredByWatcher);
    auto watcher = std::make_unique<SimMouseWatcher>(*sim_mouse_, *source);
    QObject::connect(watcher.get(), &SimMouseWatcher::Problem, [this](const QString& reason) {
      Warn("simulated mouse: " + reason.toStdString());
    });
    monitor_ = watcher.get();
    monitor_object_ = std::move(watcher);
    event_source_ = std::move(source);
  } else {
    event_source_ = std::make_unique<device::HidEventSource>(*hardware_, clock);
    device_monitor_ = platform::CreateSystemDeviceMonitor(UiThreadPoster());
    monitor_ = device_monitor_.get();
  }
  events_ = std::make_unique<device::EventChannel>(*event_source_);
  layout_ = std::make_unique<LazyKeyboardLayout>([this](const std::string& text) { Warn(text); });
  // A back-end tells of a change on its own thread; the page looks on the ui thread.
  foreground_ = platform::CreateSystemForegroundApp([this] {
    QMetaObject::invokeMethod(
        qApp,
        [this] {
          if (window_ != nullptr && window_->settings_page() != nullptr) {
            window_->settings_page()->ForegroundChanged();
          }
        },
        Qt::QueuedConnection);
  });
  window_ = std::make_unique<CZ9xMouseConfigDlg>(
      MainWindowPorts{context_, *channel_, *store_, *host_, keyboard_hook(), *events_, monitor_,
                      clock, *layout_, *foreground_, hook_.system_wide});

  std::string why;
  std::optional<std::string> server =
      update::UpdateServerBase(platform::EnvironmentValue("Z900_UPDATE_URL"), why);
  if (!server) {
    Warn(why);
    server = update::kDefaultUpdateServer;
  }
  downloader_ = platform::CreateSystemDownloader();
  update_check_ = std::make_unique<update::UpdateCheck>(
      context_, window_->ui(), *downloader_, *host_, channel_.get(), update_document_, *server);
  window_->ui().SetAboutBoxPorts(MakeAboutBoxPorts(*channel_, *update_check_, *host_));

  QObject::connect(lock_.get(), &QtInstanceLock::RequestReceived, window_.get(),
                   &CZ9xMouseConfigDlg::OnInstanceRequest);
  // The desktop session ends: the same end as Exit.
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, window_.get(),
                   [this](QSessionManager&) { window_->ShutDown(); });
  window_->InitMainWindow();
  if (terminate_requested_) {
    window_->ShutDown();
  } else if (options_.show) {
    window_->ShowMainWindow();  // the first one only loaded
  }
}

int CZ9xMouseConfigApp::RunMainWindow() {
  QEventLoop loop;
  QObject::connect(window_.get(), &CZ9xMouseConfigDlg::Ended, &loop, &QEventLoop::quit);
  if (!window_->has_shut_down()) loop.exec();
  // The end of the session may stop every loop at once: the window still shuts down in order.
  if (!window_->has_shut_down()) {
    window_->ShutDown();
    if (!window_->has_shut_down()) loop.exec();
  }
  return app::kExitOk;
}

void CZ9xMouseConfigApp::DestroyMainWindow() {
  window_.reset();
  foreground_.reset();
  layout_.reset();
  monitor_ = nullptr;
  monitor_object_.reset();
  device_monitor_.reset();
  events_.reset();
  event_source_.reset();
  update_check_.reset();
}

void CZ9xMouseConfigApp::Warn(const std::string& text) {
  std::cerr << "z900-config: " << text << '\n';
}

void CZ9xMouseConfigApp::WatchTermination() {
  const int fd = platform::WatchTerminationSignals();
  if (fd < 0) return;
  termination_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(termination_.get(), &QSocketNotifier::activated, [this] {
    platform::DrainTerminationSignals();
    Terminate();
  });
}

void CZ9xMouseConfigApp::Terminate() {
  terminate_requested_ = true;
  if (window_) {
    window_->ShutDown();
  } else {
    // Still starting: the notice on screen goes, and the start ends at the next step.
    CloseRunningDialogs();
  }
}

}  // namespace z900::ui
