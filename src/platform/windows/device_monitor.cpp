// The mouse plugged in and out on Windows: device interface notifications of USB devices
// (RegisterDeviceNotificationW), received by a message-only window on a thread of its own.
#include <windows.h>
// After windows.h.
#include <dbt.h>

#include <memory>
#include <string_view>

#include "platform/device_monitor.h"
#include "platform/windows/message_thread.h"

namespace z900::platform {
namespace {

// GUID_DEVINTERFACE_USB_DEVICE: whole USB devices, one notification per plug.
constexpr GUID kUsbDeviceInterface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
constexpr wchar_t kWindowClass[] = L"Z900DeviceMonitor";

class WindowsDeviceMonitor final : public DeviceMonitor {
 public:
  explicit WindowsDeviceMonitor(UiTaskPoster post) : post_(std::move(post)) {}
  ~WindowsDeviceMonitor() override {
    thread_.Stop();
    // A change posted before the stop finds the listener gone.
    if (shared_) shared_->stopped = true;
  }

  bool Start(Listener listener) override {
    if (thread_.running()) return true;
    shared_ = std::make_shared<Shared>();
    shared_->listener = std::move(listener);
    return thread_.Start(
        [this] {
          WNDCLASSW window_class{};
          window_class.lpfnWndProc = &WindowProcedure;
          window_class.hInstance = ::GetModuleHandleW(nullptr);
          window_class.lpszClassName = kWindowClass;
          ::RegisterClassW(&window_class);  // fails harmlessly when registered before
          window_ = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      window_class.hInstance, nullptr);
          if (window_ == nullptr) return false;
          ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
          DEV_BROADCAST_DEVICEINTERFACE_W filter{};
          filter.dbcc_size = sizeof filter;
          filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
          filter.dbcc_classguid = kUsbDeviceInterface;
          registration_ =
              ::RegisterDeviceNotificationW(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
          if (registration_ == nullptr) {
            ::DestroyWindow(window_);
            return false;
          }
          return true;
        },
        [this] {
          ::UnregisterDeviceNotification(registration_);
          ::DestroyWindow(window_);
        });
  }

 private:
  struct Shared {
    Listener listener;
    bool stopped = false;  // only on the ui thread
  };

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM event, LPARAM data) {
    if (message == WM_DEVICECHANGE && (event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE)) {
      const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
      auto* monitor =
          reinterpret_cast<WindowsDeviceMonitor*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
      if (monitor != nullptr && header != nullptr &&
          header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
        const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
        constexpr std::size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
        // The name runs to the end of the broadcast at most.
        const std::size_t room =
            header->dbch_size > kNameOffset ? (header->dbch_size - kNameOffset) / sizeof(wchar_t) : 0;
        const std::u16string_view name(reinterpret_cast<const char16_t*>(device->dbcc_name),
                                       ::wcsnlen(device->dbcc_name, room));
        if (IsMouseDeviceInterfaceName(name)) {
          monitor->Tell(event == DBT_DEVICEARRIVAL ? DeviceChange::kArrival
                                                   : DeviceChange::kRemoval);
        }
      }
      return TRUE;
    }
    return ::DefWindowProcW(window, message, event, data);
  }

  void Tell(DeviceChange change) {
    post_([shared = shared_, change] {
      if (!shared->stopped) shared->listener(change);
    });
  }

  UiTaskPoster post_;
  std::shared_ptr<Shared> shared_;
  // Only on the thread.
  HWND window_ = nullptr;
  HDEVNOTIFY registration_ = nullptr;
  MessageThread thread_;
};

}  // namespace

std::unique_ptr<DeviceMonitor> CreateSystemDeviceMonitor(UiTaskPoster post) {
  return std::make_unique<WindowsDeviceMonitor>(std::move(post));
}

}  // namespace z900::platform
