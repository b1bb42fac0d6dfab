#include <optional>
#include <string>

#include "platform/linux/foreground_backends.h"
#include "platform/linux/session_bus.h"

namespace z900::platform {
namespace {

// The foreground program on GNOME Shell: our shell extension publishes the focused window's
// process id and WM class on the session bus. We ask once when it appears and then follow its
// signal; while it is missing the status says how to enable it.
class GnomeForegroundApp final : public BusForegroundApp {
 public:
  GnomeForegroundApp(ForegroundChangeHandler on_change, TrustedBusPeer trusted)
      : BusForegroundApp(ForegroundBackend::kGnomeShell, std::move(on_change)),
        trusted_(std::move(trusted)) {
    Start();
  }
  ~GnomeForegroundApp() override { Stop(); }

 private:
  bool Attach() override {
    // Both matches first, so that nothing said between the look-up below and them is missed.
    if (sd_bus_match_signal(bus_, nullptr, nullptr, kGnomeExtensionPath, kGnomeExtensionInterface,
                            "FocusChanged", &GnomeForegroundApp::OnFocusChanged, this) < 0 ||
        WatchBusName(bus_, kGnomeExtensionBusName, &GnomeForegroundApp::OnOwnerChanged, this) < 0) {
      PublishStatus(ForegroundProblem::kNoSessionBus, "cannot listen on the session bus");
      return false;
    }
    Follow(BusNameOwner(bus_, kGnomeExtensionBusName).value_or(""));
    return true;
  }

  // Follows the extension at this unique name, or reports it missing when `owner` is empty.
  void Follow(const std::string& owner) {
    owner_.clear();
    if (owner.empty()) {
      PublishProgram(kUnknownProgram);
      return PublishStatus(ForegroundProblem::kExtensionNotEnabled,
                           std::string("the GNOME Shell extension is not enabled; enable it with "
                                       "\"gnome-extensions enable ") +
                               kGnomeExtensionUuid +
                               "\" (log out and in again first if it was just installed)");
    }
    // Any program of the user may take the name while the extension is off.
    std::string why;
    if (!IsTrustedBusPeer(bus_, kGnomeExtensionBusName, owner, trusted_, why)) {
      PublishProgram(kUnknownProgram);
      return PublishStatus(ForegroundProblem::kUntrustedPeer, why);
    }
    owner_ = owner;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const int result = sd_bus_call_method(bus_, owner_.c_str(), kGnomeExtensionPath,
                                          kGnomeExtensionInterface, "GetFocus", &error, &reply, "");
    const std::optional<ForegroundProgram> focus = result >= 0 ? Read(reply) : std::nullopt;
    if (focus) {
      // The status first: an owner that sees the program must also see that it can trust it.
      PublishStatus(ForegroundProblem::kNone);
      PublishProgram(*focus);
    } else {
      PublishProgram(kUnknownProgram);
      PublishStatus(ForegroundProblem::kExtensionNotEnabled,
                    "the GNOME Shell extension does not answer: " + BusErrorText(error, result));
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
  }

  // The identity in the (pid, wm_class) of a reply or signal; nullopt when it holds something
  // else.
  static std::optional<ForegroundProgram> Read(sd_bus_message* message) {
    std::uint32_t pid = 0;
    const char* wm_class = nullptr;
    if (sd_bus_message_read(message, "us", &pid, &wm_class) < 0 || wm_class == nullptr) {
      return std::nullopt;
    }
    return ProcessProgramNames(pid <= 0x7FFFFFFF ? pid : 0, wm_class);
  }

  static int OnFocusChanged(sd_bus_message* message, void* data, sd_bus_error* /*error*/) {
    auto* self = static_cast<GnomeForegroundApp*>(data);
    const char* sender = sd_bus_message_get_sender(message);
    // Anyone may send a signal with these names; only the extension's count.
    if (sender == nullptr || self->owner_.empty() || self->owner_ != sender) return 0;
    if (const std::optional<ForegroundProgram> focus = Read(message)) self->PublishProgram(*focus);
    return 0;
  }

  static int OnOwnerChanged(sd_bus_message* message, void* data, sd_bus_error* /*error*/) {
    auto* self = static_cast<GnomeForegroundApp*>(data);
    if (const std::optional<std::string> owner = NewOwnerOf(message)) self->Follow(*owner);
    return 0;
  }

  const TrustedBusPeer trusted_;
  // Only on the bus thread: the extension's unique name, empty while it is missing or held by
  // a program we do not believe.
  std::string owner_;
};

}  // namespace

std::unique_ptr<ForegroundApp> CreateGnomeForegroundApp(ForegroundChangeHandler on_change) {
  return CreateGnomeForegroundApp(std::move(on_change), GnomeShellPeer());
}

std::unique_ptr<ForegroundApp> CreateGnomeForegroundApp(ForegroundChangeHandler on_change,
                                                        TrustedBusPeer trusted) {
  return std::make_unique<GnomeForegroundApp>(std::move(on_change), std::move(trusted));
}

}  // namespace z900::platform
