#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <list>
#include <optional>
#include <string>

#include "platform/linux/compositor_ipc.h"
#include "platform/linux/event_thread.h"
#include "platform/linux/foreground_backends.h"
#include "platform/program_paths.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace z900::platform {
namespace {

// Version 3 adds only the parent event, which we ignore but must listen to.
constexpr std::uint32_t kManagerVersion = 3;

// The foreground program on wlroots compositors: the toplevel that the foreign-toplevel
// protocol reports as activated. Where the compositor's IPC answers (sway's, Hyprland's), the
// focused window's process id leads to the executable, as on X11; elsewhere the app id is the
// identity.
class WlrForegroundApp final : public QueuedForegroundApp {
 public:
  explicit WlrForegroundApp(ForegroundChangeHandler on_change)
      : QueuedForegroundApp(ForegroundBackend::kWlroots, std::move(on_change)),
        sway_socket_(EnvironmentValue("SWAYSOCK").value_or("")),
        hyprland_socket_(
            HyprlandSocketPath(EnvironmentValue("HYPRLAND_INSTANCE_SIGNATURE").value_or(""))) {
    if (!thread_.Start([this] { Run(); })) {
      PublishStatus(ForegroundProblem::kNoDesktop, "cannot start the Wayland event thread");
    }
  }
  ~WlrForegroundApp() override { thread_.Stop(); }

 private:
  // One toplevel as the protocol last described it; pending fields become current on "done".
  struct Toplevel {
    WlrForegroundApp* owner = nullptr;
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    std::string app_id;
    std::string pending_app_id;
    bool activated = false;
    bool pending_activated = false;
  };

  void Run() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
      PublishStatus(ForegroundProblem::kNoDesktop, "no Wayland compositor answers");
      return;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, this);
    if (wl_display_roundtrip(display) < 0) {
      PublishStatus(ForegroundProblem::kConnectionLost, "the compositor closed the connection");
    } else if (manager_ == nullptr) {
      PublishStatus(ForegroundProblem::kNoProtocol,
                    "the compositor offers no zwlr_foreign_toplevel_manager_v1");
    } else {
      PublishStatus(ForegroundProblem::kNone);
      Loop(display);
    }
    for (Toplevel& toplevel : toplevels_) zwlr_foreign_toplevel_handle_v1_destroy(toplevel.handle);
    toplevels_.clear();
    if (manager_ != nullptr) zwlr_foreign_toplevel_manager_v1_destroy(manager_);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
  }

  // Dispatches the compositor's events until Stop or until the connection ends.
  void Loop(wl_display* display) {
    for (;;) {
      while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) return Lost();
      }
      wl_display_flush(display);
      pollfd entries[] = {{wl_display_get_fd(display), POLLIN, 0}, thread_.StopEntry()};
      if (::poll(entries, 2, -1) < 0 && errno != EINTR) {
        wl_display_cancel_read(display);
        return Lost();
      }
      if (entries[1].revents != 0) {
        wl_display_cancel_read(display);
        return;
      }
      if ((entries[0].revents & POLLIN) != 0) {
        if (wl_display_read_events(display) < 0) return Lost();
      } else {
        wl_display_cancel_read(display);
        if ((entries[0].revents & (POLLHUP | POLLERR)) != 0) return Lost();
      }
      if (wl_display_dispatch_pending(display) < 0 || finished_) return Lost();
    }
  }

  void Lost() {
    PublishProgram(kUnknownProgram);
    PublishStatus(ForegroundProblem::kConnectionLost, "the compositor closed the connection");
  }

  // Tells the owner when the activated toplevel, or its app id, changed.
  void Announce(const Toplevel* active) {
    const std::string app_id = active != nullptr ? active->app_id : std::string();
    if (active == active_ && app_id == active_app_id_) return;
    active_ = active;
    active_app_id_ = app_id;
    if (active == nullptr) return PublishProgram(kUnknownProgram);
    PublishProgram(ProcessProgramNames(ProcessFromCompositor(app_id), app_id));
  }

  // The process id of the focused window with this app id, where the compositor's IPC tells it;
  // 0 otherwise.
  std::uint32_t ProcessFromCompositor(const std::string& app_id) const {
    std::optional<std::uint32_t> pid;
    if (!sway_socket_.empty()) {
      if (const std::optional<std::string> tree = SwayRequest(sway_socket_, kSwayGetTree)) {
        pid = FocusedProcessInSwayTree(*tree, app_id);
      }
    } else if (!hyprland_socket_.empty()) {
      if (const std::optional<std::string> reply =
              HyprlandRequest(hyprland_socket_, "j/activewindow")) {
        pid = ActiveProcessInHyprlandReply(*reply, app_id);
      }
    }
    return pid.value_or(0);
  }

  void Done(Toplevel& toplevel) {
    toplevel.app_id = toplevel.pending_app_id;
    toplevel.activated = toplevel.pending_activated;
    if (toplevel.activated) {
      Announce(&toplevel);
    } else if (active_ == &toplevel) {
      Announce(nullptr);
    }
  }

  void Closed(Toplevel& toplevel) {
    if (active_ == &toplevel) Announce(nullptr);
    zwlr_foreign_toplevel_handle_v1_destroy(toplevel.handle);
    toplevels_.remove_if([&](const Toplevel& t) { return &t == &toplevel; });
  }

  static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version) {
    auto* self = static_cast<WlrForegroundApp*>(data);
    if (self->manager_ != nullptr ||
        std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) != 0) {
      return;
    }
    self->manager_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface,
                         std::min(version, kManagerVersion)));
    zwlr_foreign_toplevel_manager_v1_add_listener(self->manager_, &kManagerListener, self);
  }
  static void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

  static void OnToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                         zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<WlrForegroundApp*>(data);
    Toplevel& toplevel = self->toplevels_.emplace_back();
    toplevel.owner = self;
    toplevel.handle = handle;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, &toplevel);
  }
  static void OnFinished(void* data, zwlr_foreign_toplevel_manager_v1*) {
    static_cast<WlrForegroundApp*>(data)->finished_ = true;
  }

  static void OnTitle(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
  static void OnAppId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* app_id) {
    static_cast<Toplevel*>(data)->pending_app_id = app_id != nullptr ? app_id : "";
  }
  static void OnOutput(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
  static void OnState(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
    bool activated = false;
    const std::size_t count = states->size / sizeof(std::uint32_t);
    for (std::size_t i = 0; i < count; ++i) {
      std::uint32_t state = 0;
      std::memcpy(&state, static_cast<const char*>(states->data) + i * sizeof state, sizeof state);
      activated = activated || state == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
    }
    static_cast<Toplevel*>(data)->pending_activated = activated;
  }
  static void OnDone(void* data, zwlr_foreign_toplevel_handle_v1*) {
    auto* toplevel = static_cast<Toplevel*>(data);
    toplevel->owner->Done(*toplevel);
  }
  static void OnClosed(void* data, zwlr_foreign_toplevel_handle_v1*) {
    auto* toplevel = static_cast<Toplevel*>(data);
    toplevel->owner->Closed(*toplevel);
  }
  static void OnParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

  static constexpr wl_registry_listener kRegistryListener = {&OnGlobal, &OnGlobalRemove};
  static constexpr zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {&OnToplevel,
                                                                                 &OnFinished};
  static constexpr zwlr_foreign_toplevel_handle_v1_listener kHandleListener = {
      &OnTitle, &OnAppId, &OnOutput, &OnOutput, &OnState, &OnDone, &OnClosed, &OnParent};

  const std::string sway_socket_;
  const std::string hyprland_socket_;
  // Only on the event thread.
  zwlr_foreign_toplevel_manager_v1* manager_ = nullptr;
  std::list<Toplevel> toplevels_;  // stable addresses: each is its handle's listener data
  const Toplevel* active_ = nullptr;
  std::string active_app_id_;
  bool finished_ = false;
  EventThread thread_;  // last: it stops before the members above go away
};

}  // namespace

std::unique_ptr<ForegroundApp> CreateWlrForegroundApp(ForegroundChangeHandler on_change) {
  return std::make_unique<WlrForegroundApp>(std::move(on_change));
}

}  // namespace z900::platform
