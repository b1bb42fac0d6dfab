// The keyboard hook of the desktop: a low-level keyboard hook (WH_KEYBOARD_LL) on a thread of
// its own, whose virtual-key codes go as they come to the one receiver on the ui thread.
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/keyboard_hook.h"
#include "platform/windows/message_thread.h"
#include "platform/windows/wide_text.h"

namespace z900::platform {
namespace {

class WindowsKeyboardHook;

// The hook's procedure has no context of its own: the installed hook it belongs to. One per
// process, which is all the utility makes.
std::atomic<WindowsKeyboardHook*> installed_hook{nullptr};

class WindowsKeyboardHook final : public KeyboardHook {
 public:
  explicit WindowsKeyboardHook(UiTaskPoster post)
      : post_(std::move(post)), shared_(std::make_shared<Shared>()) {}
  ~WindowsKeyboardHook() override { RemoveHook(); }

  bool InstallHook() override {
    if (thread_.running()) return true;
    WindowsKeyboardHook* none = nullptr;
    if (!installed_hook.compare_exchange_strong(none, this)) {
      failure_ = "another keyboard hook of this program is installed";
      return false;
    }
    const bool installed = thread_.Start(
        [this] {
          hook_ = ::SetWindowsHookExW(WH_KEYBOARD_LL, &HookProcedure, ::GetModuleHandleW(nullptr), 0);
          if (hook_ == nullptr) failure_ = "SetWindowsHookExW failed: " + LastWindowsError().message();
          return hook_ != nullptr;
        },
        [this] { ::UnhookWindowsHookEx(hook_); });
    if (!installed) installed_hook = nullptr;
    return installed;
  }

  void RemoveHook() override {
    thread_.Stop();
    WindowsKeyboardHook* self = this;
    installed_hook.compare_exchange_strong(self, nullptr);
    forwarding_ = false;
  }

  void SetHookStatus(bool forward) override { forwarding_ = forward; }
  void SetReceiveWindow(KeyReceiver* receiver) override { shared_->receiver = receiver; }

  const std::string& failure() const { return failure_; }

 private:
  // What the keys posted to the ui thread reach there, also after the hook went.
  struct Shared {
    KeyReceiver* receiver = nullptr;  // only on the ui thread
  };

  static LRESULT CALLBACK HookProcedure(int code, WPARAM message, LPARAM data) {
    WindowsKeyboardHook* hook = installed_hook.load();
    if (code == HC_ACTION && hook != nullptr && hook->forwarding_) {
      const auto& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
      // Windows takes the hook out when it answers slowly: the key is only handed on.
      hook->post_([shared = hook->shared_, virtual_key = std::uint32_t{key.vkCode},
                   flags = (key.flags & LLKHF_UP) != 0 ? kKeyReleasedFlag : 0u] {
        if (shared->receiver != nullptr) shared->receiver->OnHookKey(virtual_key, flags);
      });
    }
    return ::CallNextHookEx(nullptr, code, message, data);
  }

  UiTaskPoster post_;
  std::shared_ptr<Shared> shared_;
  std::atomic<bool> forwarding_{false};
  std::string failure_;
  HHOOK hook_ = nullptr;  // only on the thread
  MessageThread thread_;
};

}  // namespace

std::unique_ptr<KeyboardHook> CreateSystemKeyboardHook(UiTaskPoster post, std::string& why) {
  auto hook = std::make_unique<WindowsKeyboardHook>(std::move(post));
  if (!hook->InstallHook()) {
    why = hook->failure();
    return nullptr;
  }
  return hook;
}

}  // namespace z900::platform
