#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/keyboard_hook.h"

// Xlib's display, without its header and macros here.
typedef struct _XDisplay Display;  // NOLINT(bugprone-reserved-identifier)

namespace z900::platform {

// The keyboard hook of an X11 desktop: XInput2 raw key events of every master keyboard, which
// reach any client without privileges and whichever window has the focus. They are selected
// only while forwarding is on; a reader thread takes them off the X connection and posts them
// to the ui thread, where they are translated to virtual keys and handed to the receiver.
class X11KeyboardHook final : public KeyboardHook {
 public:
  explicit X11KeyboardHook(UiTaskPoster post);
  ~X11KeyboardHook() override;
  X11KeyboardHook(const X11KeyboardHook&) = delete;
  X11KeyboardHook& operator=(const X11KeyboardHook&) = delete;

  // Opens the display named by DISPLAY and starts the reader; false, with failure(), when there
  // is no display or it has no XInput2.
  bool InstallHook() override;
  void RemoveHook() override;
  void SetHookStatus(bool forward) override;
  void SetReceiveWindow(KeyReceiver* receiver) override;

  const std::string& failure() const { return failure_; }
  // Raw key events the reader took off the connection, forwarded or not.
  std::uint64_t keys_read() const { return keys_read_; }

 private:
  struct Shared;
  struct XInput;
  void ReadKeys();
  void SelectRawKeys(bool on);

  UiTaskPoster post_;
  std::shared_ptr<Shared> shared_;
  Display* display_ = nullptr;
  const XInput* xinput_ = nullptr;
  int xi_opcode_ = 0;
  bool selected_ = false;  // the raw key events are selected
  std::atomic<std::uint64_t> keys_read_{0};
  int wake_fd_ = -1;
  std::thread reader_;
  std::string failure_;
};

}  // namespace z900::platform
