#include "platform/linux/x11_keyboard_hook.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/keyboard_layout.h"
#include "platform/linux/shared_library.h"
#include "platform/program_paths.h"

namespace z900::platform {

// The two calls of libXi the hook makes, opened when the hook is installed: a start on a
// desktop without X11 does not load the library.
struct X11KeyboardHook::XInput {
  decltype(&XIQueryVersion) query_version = nullptr;
  decltype(&XISelectEvents) select_events = nullptr;

  static bool Find(SharedLibrary& library, XInput& xinput) {
    return library.Find("XIQueryVersion", xinput.query_version) &&
           library.Find("XISelectEvents", xinput.select_events);
  }
};

// What the reader thread and the ui thread share. The queue is the hand-over; `forwarding` is
// read by the reader; the rest belongs to the ui thread alone.
struct X11KeyboardHook::Shared {
  struct RawKey {
    std::uint32_t keycode;
    bool released;
  };

  std::mutex mutex;
  std::vector<RawKey> queue;  // guarded by `mutex`
  std::atomic<bool> forwarding{false};

  // ui thread only.
  KeyReceiver* receiver = nullptr;
  std::unique_ptr<KeyTranslator> translator;

  // Runs on the ui thread: hands the queued keys to the receiver, as long as forwarding is
  // still on (keys read just before it went off are dropped).
  void Deliver() {
    std::vector<RawKey> keys;
    {
      std::lock_guard lock(mutex);
      keys.swap(queue);
    }
    for (const RawKey& key : keys) {
      if (!forwarding || receiver == nullptr || !translator) return;
      if (const std::optional<std::uint32_t> virtual_key = translator->VirtualKeyOf(key.keycode)) {
        receiver->OnHookKey(*virtual_key, key.released ? kKeyReleasedFlag : 0);
      }
    }
  }
};

X11KeyboardHook::X11KeyboardHook(UiTaskPoster post)
    : post_(std::move(post)), shared_(std::make_shared<Shared>()) {}

X11KeyboardHook::~X11KeyboardHook() { RemoveHook(); }

bool X11KeyboardHook::InstallHook() {
  if (display_ != nullptr) return true;
  if (!EnvironmentValue("DISPLAY")) {
    failure_ = "no X display";
    return false;
  }
  const XInput* const xinput = OpenOnce<XInput>("libXi.so.6", failure_);
  if (xinput == nullptr) return false;
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr) {
    failure_ = "the X display does not answer";
    return false;
  }
  int event = 0;
  int error = 0;
  int major = 2;
  int minor = 2;
  if (!XQueryExtension(display_, "XInputExtension", &xi_opcode_, &event, &error) ||
      xinput->query_version(display_, &major, &minor) != Success || major < 2) {
    failure_ = "the X server has no XInput2";
    RemoveHook();
    return false;
  }
  xinput_ = xinput;
  wake_fd_ = eventfd(0, EFD_CLOEXEC);
  if (wake_fd_ < 0) {
    failure_ = "no event descriptor for the key reader";
    RemoveHook();
    return false;
  }
  // The key translator is made when forwarding starts, from the keymap of that moment.
  reader_ = std::thread([this] { ReadKeys(); });
  return true;
}

void X11KeyboardHook::RemoveHook() {
  shared_->forwarding = false;
  if (reader_.joinable()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wake_fd_, &one, sizeof one);
    reader_.join();
  }
  if (wake_fd_ >= 0) close(wake_fd_);
  wake_fd_ = -1;
  if (display_ != nullptr) XCloseDisplay(display_);
  display_ = nullptr;
  selected_ = false;
  // Keys posted but not yet delivered go nowhere.
  shared_->receiver = nullptr;
}

void X11KeyboardHook::SetHookStatus(bool forward) {
  if (forward && !shared_->forwarding && display_ != nullptr) {
    // The keymap may have changed since (another layout, remapped keys).
    std::string why;
    shared_->translator = CreateSystemKeyTranslator(why);
  }
  shared_->forwarding = forward;
  if (display_ != nullptr && forward != selected_) SelectRawKeys(forward);
}

void X11KeyboardHook::SelectRawKeys(bool on) {
  // Raw events are the keyboard's own: they come whichever window has the focus. They are
  // asked for only while keys are forwarded, so that the reader sleeps through the typing in
  // other programs the rest of the time.
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  if (on) {
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
  }
  XIEventMask mask{};
  mask.deviceid = XIAllMasterDevices;
  mask.mask_len = sizeof bits;
  mask.mask = bits;
  xinput_->select_events(display_, DefaultRootWindow(display_), &mask, 1);
  // Every key pressed after this returns is heard.
  XSync(display_, False);
  selected_ = on;
}

void X11KeyboardHook::SetReceiveWindow(KeyReceiver* receiver) { shared_->receiver = receiver; }

void X11KeyboardHook::ReadKeys() {
  pollfd watched[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wake_fd_, POLLIN, 0}};
  const std::weak_ptr<Shared> weak = shared_;
  for (;;) {
    // Xlib may hold events that it read along with a reply: take those first.
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      XGenericEventCookie& cookie = event.xcookie;
      if (cookie.type != GenericEvent || cookie.extension != xi_opcode_ ||
          !XGetEventData(display_, &cookie)) {
        continue;
      }
      if (cookie.evtype == XI_RawKeyPress || cookie.evtype == XI_RawKeyRelease) ++keys_read_;
      if ((cookie.evtype == XI_RawKeyPress || cookie.evtype == XI_RawKeyRelease) &&
          shared_->forwarding) {
        const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
        bool first = false;
        {
          std::lock_guard lock(shared_->mutex);
          first = shared_->queue.empty();
          shared_->queue.push_back(
              {static_cast<std::uint32_t>(raw->detail), cookie.evtype == XI_RawKeyRelease});
        }
        // One delivery takes everything queued until it runs.
        if (first) {
          post_([weak] {
            if (const std::shared_ptr<Shared> shared = weak.lock()) shared->Deliver();
          });
        }
      }
      XFreeEventData(display_, &cookie);
    }
    if (poll(watched, 2, -1) < 0 && errno != EINTR) return;
    if (watched[1].revents != 0) return;  // asked to stop
    if ((watched[0].revents & (POLLERR | POLLHUP)) != 0) return;
  }
}

std::unique_ptr<KeyboardHook> CreateSystemKeyboardHook(UiTaskPoster post, std::string& why) {
  // Wayland keeps every program's keys from the others; an X server there (XWayland) only
  // hears its own windows.
  if (EnvironmentValue("WAYLAND_DISPLAY")) {
    why = "a Wayland desktop lets no program watch the keyboard";
    return nullptr;
  }
  auto hook = std::make_unique<X11KeyboardHook>(std::move(post));
  if (!hook->InstallHook()) {
    why = hook->failure();
    return nullptr;
  }
  return hook;
}

}  // namespace z900::platform
