#include "ui/main_window.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <algorithm>
#include <array>
#include <iostream>

#include "actions/host_action_executor.h"
#include "config/profiles.h"
#include "ui/dlg_macro.h"
#include "ui/macro_dlg.h"
#include "ui/modal_dialogs.h"
#include "ui/set_dlg.h"
#include "ui/tray_host.h"
#include "ui/window_store_lock.h"
#include "update/firmware_handoff.h"

namespace z900::ui {

using i18n::StringKey;

CZ9xMouseConfigDlg::CZ9xMouseConfigDlg(MainWindowPorts ports, QWidget* parent)
    : MainWindowFrame(ports.context.strings, parent),
      ports_(std::move(ports)),
      context_(ports_.context),
      ui_(context_, this),
      config_ports_{ports_.channel, ports_.store, ui_, files_},
      worker_(this) {
  // The settings page works on the window's page state: the window opens the mouse and loads.
  // It runs from the start (the automatic switching, the stored files); its controls and the
  // rest of the window are made when the window is first shown.
  settings_page_ = new CSetDlg(
      context_, SetDlgPorts{config_ports_, ports_.layout, ports_.foreground, worker_, &page_},
      this);
  connect(settings_page_, &CSetDlg::MouseRemovedDuringWrite, this,
          &CZ9xMouseConfigDlg::MouseRemovedDuringWrite);
  // While a write runs the pages take no command; the window itself can still be moved.
  qApp->installEventFilter(new BusyInputGuard(
      worker_,
      [this](const QWidget* widget) {
        for (const int number : {kSettingsPage, kMacroPage}) {
          const QWidget* shown = page(number);
          if (shown != nullptr && (shown == widget || shown->isAncestorOf(widget))) return true;
        }
        return false;
      },
      this));
  SetPages(settings_page_, nullptr);
  refresh_pages_ = [this] {
    if (settings_page_ != nullptr) settings_page_->Refresh();
    if (QWidget* shown = page(kMacroPage)) shown->update();
  };

  MainWindowHooks hooks;
  hooks.refresh_page = [this] { RefreshPages(); };
  hooks.hide_main_window = [this] {
    const bool was_visible = isVisible();
    hide();
    return was_visible;
  };
  hooks.show_main_window = [this] {
    showNormal();
    raise();
    activateWindow();
  };
  hooks.close_assignment_menu = [this] { CloseAssignmentMenu(); };
  hooks.shut_down = [this] { ShutDown(); };
  ui_.SetMainWindowHooks(std::move(hooks));
  // The settings page's combination dialog and macro chooser.
  ui_.SetKeyboard(&ports_.hook, &ports_.layout);
  ui_.SetMacroChooser([this](int preset_position) -> std::optional<platform::MacroChoice> {
    CDlgMacro chooser(context_.strings, ports_.store, this);
    chooser.set_preset_position(static_cast<std::uint32_t>(std::max(preset_position, 0)));
    ExecDialog(chooser);
    if (!chooser.chosen()) return std::nullopt;
    return platform::MacroChoice{chooser.chosen()->id,
                                 static_cast<int>(chooser.chosen()->position)};
  });

  registration_timer_.setParent(this);  // a member: gone before the frame, found by tests
  registration_timer_.setObjectName(QStringLiteral("registrationRetry"));
  registration_timer_.setInterval(kRegistrationRetryMs);
  connect(&registration_timer_, &QTimer::timeout, this, &CZ9xMouseConfigDlg::RegistrationTick);
  store_retry_timer_.setParent(this);  // a member: gone before the frame, found by tests
  store_retry_timer_.setObjectName(QStringLiteral("storeRetry"));
  store_retry_timer_.setSingleShot(true);
  store_retry_timer_.setInterval(kShowRetryMs);
  // The load that waited: what the user was asked about before it is not asked again.
  connect(&store_retry_timer_, &QTimer::timeout, this,
          [this] { worker_.WhenIdle([this] { LoadAndShow(); }); });
}

CZ9xMouseConfigDlg::~CZ9xMouseConfigDlg() {
  delete menu_.data();
  // Normally shut down already. Otherwise the write in progress ends first, and the reader
  // thread stops before the window it hands events to goes.
  worker_.Finish();
  if (!shut_down_) ShutDownNow();
}

void CZ9xMouseConfigDlg::setVisible(bool visible) {
  if (visible) BuildWindow();
  MainWindowFrame::setVisible(visible);
}

void CZ9xMouseConfigDlg::BuildWindow() {
  if (frame_built()) return;
  // The pictures of the frame and of the settings page, decoded side by side while they are
  // made.
  DecodeWindowImagesAhead(SkinWindow::kMainWindow);
  DecodeWindowImagesAhead(SkinWindow::kSettingsPage);
  DecodeSkinImageAhead(SkinFilePath(context_.paths.module_directory, SkinFile::kSettingsPageImage));
  BuildFrame();
  const std::array<std::pair<CGDIBitmapBtn*, Button>, 4> buttons = {{
      {close_button(), Button::kClose},
      {minimise_button(), Button::kMinimise},
      {mouse_page_button(), Button::kMouseTab},
      {macro_page_button(), Button::kMacroTab},
  }};
  for (const auto& [button, which] : buttons) {
    connect(button, &QAbstractButton::clicked, this, [this, which] { ButtonCommand(which); });
  }
  // Showing the settings page makes its controls.
  SelectPageButton(kSettingsPage);
  SwitchPage(kSettingsPage);
}

void CZ9xMouseConfigDlg::EnsureMacroPage() {
  if (page(kMacroPage) != nullptr || shut_down_) return;
  SetPages(settings_page_, new CMacroDlg(context_, ports_.store, ports_.hook,
                                         ports_.system_wide_hook, ports_.clock, ui_, this));
}

void CZ9xMouseConfigDlg::InitMainWindow() {
  setWindowIcon(ProgramIcon());
  setWindowTitle(LanguageText(context_.strings, StringKey::str_program_title));
  // The reader thread only hands each word over; it is carried out here, on the ui thread.
  ports_.events.StartEventChannel([this](std::uint32_t word) {
    QMetaObject::invokeMethod(
        this, [this, word] { ExecuteHostAction(word); }, Qt::QueuedConnection);
  });
  registration_timer_.start();
  config::WriteFirstRunMarker(ports_.store);
  AddTrayIcon();
  ShowMainWindow();
  worker_.WhenIdle([this] {
    if (settings_page_ != nullptr) settings_page_->Start();
  });
  if (ports_.monitor != nullptr) {
    ports_.monitor->Start([this](platform::DeviceChange change) { DeviceChange(change); });
  }
}

void CZ9xMouseConfigDlg::AddTrayIcon() {
  const QString title = LanguageText(context_.strings, StringKey::str_program_title);
  tray_host_ = CurrentTrayHost();  // asked as Qt asks when it makes the icon
  tray_ = new QSystemTrayIcon(ProgramIcon(), this);
  tray_->setToolTip(title.left(kTrayTipLength));
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (ActivationShowsWindow(why, tray_host_)) TrayNotify(app::kDoubleClick);
    if (why == QSystemTrayIcon::Context) OnTrayContextClick();
  });
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    std::cerr << "z900-config: this desktop shows no tray icons; start z900-config again to "
                 "open its window\n";
  }
  tray_->show();
  ShowRunningBalloon(kBalloonPlacementTries);
}

void CZ9xMouseConfigDlg::ShowRunningBalloon(int tries_left) {
  if (tray_ == nullptr) return;
  // The balloon points at the icon: in an XEmbed tray it waits (a moment at most) for the tray
  // to take the icon in. A StatusNotifier host never tells where the item is, and where there
  // is no tray at all, a desktop notification says it at once.
  const QRect icon = tray_->geometry();
  const bool placed = !icon.isEmpty() && !icon.topLeft().isNull();
  if (!placed && tries_left > 0 && tray_host_ == TrayHost::kIconWindow &&
      QSystemTrayIcon::isSystemTrayAvailable()) {
    QTimer::singleShot(kBalloonPlacementRetryMs, this,
                       [this, tries_left] { ShowRunningBalloon(tries_left - 1); });
    return;
  }
  tray_->showMessage(
      QString::fromLatin1(kBalloonTitle),
      LanguageText(context_.strings, StringKey::str_program_title).left(kBalloonTextLength),
      QSystemTrayIcon::Information, kBalloonMs);
}

void CZ9xMouseConfigDlg::RegistrationTick() {
  if (ports_.events.RegistrationTick()) registration_timer_.stop();
}

void CZ9xMouseConfigDlg::ShowMainWindow() {
  // A reload must not meet a write on the worker.
  worker_.WhenIdle([this] { ShowMainWindowNow(); });
}

void CZ9xMouseConfigDlg::ShowMainWindowNow() {
  if (shut_down_) return;
  if (!OpenMouse()) {
    config::ShowMessage(context_, ui_, context_.Text(StringKey::str_msg6), false);
    return;
  }
  if (first_show_done_ && settings_page_ != nullptr && settings_page_->HoldsUnappliedEdits()) {
    // The stored profile replaces the page's edits only when the user lets them go; the window
    // shows first, so that the question is asked over what it is about.
    PutOnScreen();
    settings_page_->ReplaceAfterAsking([this] { LoadAndShow(); });
    return;
  }
  LoadAndShow();
}

void CZ9xMouseConfigDlg::PutOnScreen() {
  context_.tray_hidden_flag = 0;
  show();
  raise();
  activateWindow();
}

void CZ9xMouseConfigDlg::LoadAndShow() {
  if (shut_down_) return;
  config::LoadProfilesResult loaded;
  {
    // Held for this reading only: z900ctl may change the profiles while the window lives.
    // Before the first show nothing is on the screen, so the start may wait for it; later
    // the ui thread never does (z900ctl holds it for a whole write into the mouse).
    bool busy = false;
    const std::unique_ptr<platform::FileLock> lock =
        LockStoreForWindow(context_.paths, platform::LockMode::kShared,
                           first_show_done_ ? nullptr : &ports_.clock, busy);
    if (busy) {
      if (!store_wait_told_) TellWaitingForStore();
      store_wait_told_ = true;
      store_retry_timer_.start();
      return;
    }
    store_wait_told_ = false;
    loaded = config::LoadProfiles(context_, page_, config_ports_);
  }
  settings_page_->ShowLoaded();
  RefreshPages();
  settings_page_->TellLoadProblems(loaded);
  context_.tray_hidden_flag = 0;
  if (!first_show_done_) {
    first_show_done_ = true;
    return;
  }
  PutOnScreen();
}

bool CZ9xMouseConfigDlg::OpenMouse() {
  CloseMouse();
  // Each load of the access library that an open takes is given back once by CloseMouse.
  const int loads = ports_.channel.load_count();
  const bool opened = ports_.channel.OpenDevice(page_.mouse_handle);
  mouse_loaded_ = ports_.channel.load_count() > loads;
  return opened;
}

void CZ9xMouseConfigDlg::CloseMouse() {
  if (mouse_loaded_) ports_.channel.CloseDevice(page_.mouse_handle);
  mouse_loaded_ = false;
}

void CZ9xMouseConfigDlg::CloseAssignmentMenu() {
  if (settings_page_ != nullptr) settings_page_->DestroyMenuEx();
}

void CZ9xMouseConfigDlg::RefreshPages() {
  if (refresh_pages_) refresh_pages_();
}

void CZ9xMouseConfigDlg::TrayNotify(int mouse_message) {
  if (shut_down_) return;
  if (mouse_message == app::kDoubleClick) ShowMainWindow();
  if (mouse_message == app::kRightButtonUp) OpenTrayMenu();
}

void CZ9xMouseConfigDlg::OnTrayContextClick() {
  // Some trays tell of the context click while the button is still down: the menu opens when
  // it comes up, so that the release does not land on the menu.
  if (!(QGuiApplication::mouseButtons() & Qt::RightButton)) {
    TrayNotify(app::kRightButtonUp);
    return;
  }
  if (!awaiting_right_release_) qApp->installEventFilter(this);
  awaiting_right_release_ = true;
}

bool CZ9xMouseConfigDlg::eventFilter(QObject* watched, QEvent* event) {
  if (awaiting_right_release_ && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
    awaiting_right_release_ = false;
    qApp->removeEventFilter(this);
    QTimer::singleShot(0, this, [this] { TrayNotify(app::kRightButtonUp); });
  }
  return MainWindowFrame::eventFilter(watched, event);
}

void CZ9xMouseConfigDlg::OpenTrayMenu() {
  if (menu_ != nullptr) return;
  const std::array items = {
      XPMenuItem{190, 191, LanguageText(context_.strings, StringKey::str_about)},
      XPMenuItem{133, 134, LanguageText(context_.strings, StringKey::str_config)},
      XPMenuItem{135, 136, LanguageText(context_.strings, StringKey::str_exit)},
  };
  menu_ = new CXPMenu;
  menu_->AppendItem(kCommandAbout, &items[0]);
  menu_->AppendItem(kCommandConfig, &items[1]);
  menu_->AppendItem(kCommandExit, &items[2]);
  const int command = menu_->Exec(QCursor::pos());
  delete menu_.data();
  if (command != 0) MenuCommand(command);
}

void CZ9xMouseConfigDlg::MenuCommand(int command) {
  switch (command) {
    case kCommandConfig:
      ShowMainWindow();
      break;
    case kCommandExit:
      ExitCommand();
      break;
    case kCommandAbout:
      worker_.WhenIdle([this] { update::ShowAboutAndHandOff(context_, ui_, ports_.host); });
      break;
    default:
      break;
  }
}

void CZ9xMouseConfigDlg::ButtonCommand(Button button) {
  CloseAssignmentMenu();
  switch (button) {
    case Button::kClose:
      context_.tray_hidden_flag = 1;
      hide();
      ports_.hook.SetHookStatus(false);
      break;
    case Button::kMinimise:
      showMinimized();
      ports_.hook.SetHookStatus(false);
      break;
    case Button::kMouseTab:
      SelectPageButton(kSettingsPage);
      SwitchPage(kSettingsPage);
      ports_.hook.SetHookStatus(false);
      worker_.WhenIdle([this] {
        if (settings_page_ != nullptr) settings_page_->FollowMacroNames();
        RefreshPages();
      });
      break;
    case Button::kMacroTab:
      EnsureMacroPage();
      SelectPageButton(kMacroPage);
      SwitchPage(kMacroPage);
      break;
  }
}

void CZ9xMouseConfigDlg::ExitCommand() {
  if (page_.dialog_open != 0 || context_.message_box_flag != 0) return;
  ShutDown();
}

void CZ9xMouseConfigDlg::ShutDown() {
  if (shut_down_ || shut_down_requested_) return;
  shut_down_requested_ = true;
  // Every dialog and menu ends first, as cancelled, and no other opens. The pages go once the
  // callers that waited for an answer have gone on: none of them is taken away under its code.
  ui_.SetClosing();
  CloseRunningDialogs();
  if (menu_ != nullptr) menu_->close();
  CloseAssignmentMenu();
  // Quitting waits for a running write, which runs on to its end with the progress shown.
  ShutDownAfterWrites(worker_, ui_, [this] {
    WhenNoDialogRuns(this, [this] {
      ShutDownNow();
      emit Ended();
    });
  });
}

void CZ9xMouseConfigDlg::ShutDownNow() {
  shut_down_ = true;
  // The pages go first; the settings page's handle on the mouse with them.
  CloseMouse();
  settings_page_ = nullptr;
  SetPages(nullptr, nullptr);
  registration_timer_.stop();
  ports_.hook.SetHookStatus(false);
  ports_.hook.RemoveHook();
  ports_.events.ShutDown();
  delete tray_;
  tray_ = nullptr;
  hide();
}

void CZ9xMouseConfigDlg::DeviceChange(platform::DeviceChange change) {
  if (shut_down_) return;
  if (change == platform::DeviceChange::kArrival) {
    // Nothing else: the next ShowMainWindow opens the mouse again.
    ports_.clock.SleepMs(kArrivalSettleMs);
    return;
  }
  // During a write the end of the write tells what the removal cut off.
  worker_.WhenIdle([this] {
    if (shut_down_ || removal_noticed_) return;
    removal_noticed_ = true;
    config::ShowMessage(context_, ui_, context_.Text(StringKey::str_msg6), false);
    ShutDown();
  });
}

void CZ9xMouseConfigDlg::MouseRemovedDuringWrite() {
  if (shut_down_ || removal_noticed_) return;
  removal_noticed_ = true;
  // The write marked the profile as not in the mouse: the next start writes it once.
  config::ShowMessage(context_, ui_, context_.Text(StringKey::str_unplugged_write), false);
  ShutDown();
}

void CZ9xMouseConfigDlg::ExecuteHostAction(std::uint32_t word) {
  worker_.WhenIdle([this, word] {
    if (shut_down_) return;
    actions::HostActionPorts ports{ports_.channel, ports_.host, ui_};
    actions::ExecuteHostAction(word, context_, page_, ports);
  });
}

void CZ9xMouseConfigDlg::OnInstanceRequest(app::InstanceRequest request) {
  if (shut_down_) return;
  switch (request) {
    case app::InstanceRequest::kShowWindow:
      TrayNotify(app::kDoubleClick);
      break;
    case app::InstanceRequest::kHideWindow:
      hide();
      break;
  }
}

void CZ9xMouseConfigDlg::StartFirmwareRestartStep() {
  worker_.WhenIdle([this] {
    if (settings_page_ != nullptr) settings_page_->StartPendingWrite();
  });
}

void CZ9xMouseConfigDlg::closeEvent(QCloseEvent* event) { event->ignore(); }

void CZ9xMouseConfigDlg::SurfacePressed() { CloseAssignmentMenu(); }

}  // namespace z900::ui
