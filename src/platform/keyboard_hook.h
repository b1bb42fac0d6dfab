#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui_task_poster.h"

namespace z900::platform {

// Flag bit of a key message: set when the key was released, clear when it was pressed.
inline constexpr std::uint32_t kKeyReleasedFlag = 0x80;

// Receives the key messages of the keyboard hook, always on the thread that owns the receiver
// (the ui thread); a hook that reads keys on another thread hands them over through a queue.
class KeyReceiver {
 public:
  virtual ~KeyReceiver() = default;
  // One key transition anywhere on the desktop, auto-repeated presses included.
  virtual void OnHookKey(std::uint32_t virtual_key, std::uint32_t flags) = 0;
};

// The system-wide keyboard hook: installed once at start-up and removed at exit; while
// forwarding is on, every key transition goes to the one receiver set last.
class KeyboardHook {
 public:
  virtual ~KeyboardHook() = default;
  // False when keys cannot be watched on this desktop; the utility runs on without them.
  virtual bool InstallHook() = 0;
  virtual void RemoveHook() = 0;
  // Switches forwarding of key messages to the receiver on or off.
  virtual void SetHookStatus(bool forward) = 0;
  // Makes `receiver` the one receiver of key messages (nullptr: none).
  virtual void SetReceiveWindow(KeyReceiver* receiver) = 0;
};

// The hook that hears every key of the desktop (on Linux: X11 XInput2 raw key events; on Windows
// the low-level keyboard hook), read on a thread of its own and handed to the ui thread through
// `post`, installed. Nullptr, with the
// reason in `why`, where keys cannot be watched: a Wayland session, no X display, no XInput2.
std::unique_ptr<KeyboardHook> CreateSystemKeyboardHook(UiTaskPoster post, std::string& why);

}  // namespace z900::platform
