// The foreground program on Windows: the system tells of every new foreground window
// (SetWinEventHook, EVENT_SYSTEM_FOREGROUND) on a thread of our own, and the window's process
// gives the file name of its executable (QueryFullProcessImageNameW).
#include <windows.h>

#include <atomic>
#include <filesystem>

#include "platform/foreground_app.h"
#include "platform/windows/message_thread.h"
#include "platform/windows/wide_text.h"

namespace z900::platform {
namespace {

// The file name of the executable of the process that owns `window`; its window class when the
// process cannot be read (a protected process); "Unknow" without a window.
std::u16string ProgramOfWindow(HWND window) {
  DWORD process_id = 0;
  if (window == nullptr || ::GetWindowThreadProcessId(window, &process_id) == 0) {
    return kUnknownProgram;
  }
  if (const HANDLE process =
          ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id)) {
    std::wstring path(32768, L'\0');
    DWORD length = static_cast<DWORD>(path.size());
    const bool read = ::QueryFullProcessImageNameW(process, 0, path.data(), &length) != 0;
    ::CloseHandle(process);
    if (read && length > 0) {
      path.resize(length);
      return std::filesystem::path(path).filename().u16string();
    }
  }
  wchar_t window_class[256];
  const int length = ::GetClassNameW(window, window_class, static_cast<int>(std::size(window_class)));
  if (length <= 0) return kUnknownProgram;
  return WideToUtf16(std::wstring_view(window_class, static_cast<std::size_t>(length)));
}

class WindowsForegroundApp;
// The event procedure has no context of its own: the look-up it belongs to (one per process).
std::atomic<WindowsForegroundApp*> hooked_app{nullptr};

class WindowsForegroundApp final : public QueuedForegroundApp {
 public:
  explicit WindowsForegroundApp(ForegroundChangeHandler on_change)
      : QueuedForegroundApp(ForegroundBackend::kWindows, std::move(on_change)) {
    WindowsForegroundApp* none = nullptr;
    if (!hooked_app.compare_exchange_strong(none, this)) {
      PublishStatus(ForegroundProblem::kNoDesktop, "another foreground look-up of this program runs");
      return;
    }
    const bool started = thread_.Start(
        [this] {
          hook_ = ::SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                   &OnForeground, 0, 0, WINEVENT_OUTOFCONTEXT);
          if (hook_ == nullptr) return false;
          PublishStatus(ForegroundProblem::kNone);
          PublishWindow(::GetForegroundWindow());
          return true;
        },
        [this] { ::UnhookWinEvent(hook_); });
    if (!started) {
      hooked_app = nullptr;
      PublishStatus(ForegroundProblem::kNoDesktop,
                    "Windows does not tell of foreground windows (SetWinEventHook failed)");
    }
  }

  ~WindowsForegroundApp() override {
    thread_.Stop();
    WindowsForegroundApp* self = this;
    hooked_app.compare_exchange_strong(self, nullptr);
  }

 private:
  static void CALLBACK OnForeground(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child,
                                    DWORD, DWORD) {
    if (object != OBJID_WINDOW || child != CHILDID_SELF) return;
    if (WindowsForegroundApp* app = hooked_app.load()) app->PublishWindow(window);
  }

  void PublishWindow(HWND window) { PublishProgram(ProgramOfWindow(window)); }

  HWINEVENTHOOK hook_ = nullptr;  // only on the thread
  MessageThread thread_;
};

}  // namespace

std::unique_ptr<ForegroundApp> CreateSystemForegroundApp(ForegroundChangeHandler on_change) {
  return std::make_unique<WindowsForegroundApp>(std::move(on_change));
}

}  // namespace z900::platform
