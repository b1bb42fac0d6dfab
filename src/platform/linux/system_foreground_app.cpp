#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/linux/foreground_backends.h"
#include "platform/program_paths.h"
#include "platform/text.h"

namespace z900::platform {
namespace {

bool HasDesktopToken(std::string_view list, std::string_view token) {
  while (!list.empty()) {
    const std::size_t colon = list.find(':');
    if (list.substr(0, colon) == token) return true;
    if (colon == std::string_view::npos) break;
    list.remove_prefix(colon + 1);
  }
  return false;
}

// The desktop's own back-end while it sees the foreground; X11 (XWayland windows only) while
// it does not, until it does again (an extension enabled later, a restarted compositor). The
// X11 stand-in connects only once it is needed.
class FallbackForegroundApp final : public ForegroundApp {
 public:
  FallbackForegroundApp(std::unique_ptr<ForegroundApp> primary, ForegroundChangeHandler on_change)
      : primary_(std::move(primary)), on_change_(std::move(on_change)) {}

  std::u16string ForegroundProgramName() override {
    if (primary_->BackendStatus().SeesForeground()) return primary_->ForegroundProgramName();
    return StandIn().ForegroundProgramName();
  }

  ForegroundStatus BackendStatus() override {
    ForegroundStatus status = primary_->BackendStatus();
    if (status.SeesForeground() || status.problem == ForegroundProblem::kStarting) return status;
    status.xwayland_only = StandIn().BackendStatus().SeesForeground();
    return status;
  }

  bool IsEventDriven() override {
    if (primary_->BackendStatus().SeesForeground()) return primary_->IsEventDriven();
    return StandIn().IsEventDriven();
  }

 private:
  ForegroundApp& StandIn() {
    if (!x11_) x11_ = CreateX11ForegroundApp(on_change_);
    return *x11_;
  }

  std::unique_ptr<ForegroundApp> primary_;
  ForegroundChangeHandler on_change_;
  std::unique_ptr<ForegroundApp> x11_;
};

}  // namespace

std::optional<std::string> ExecutableNameOfProcess(std::uint32_t pid) {
  if (pid == 0) return std::nullopt;
  std::error_code error;
  const std::filesystem::path exe =
      std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
  if (error) return std::nullopt;
  std::string name = exe.filename().string();
  constexpr std::string_view kDeleted = " (deleted)";
  if (name.ends_with(kDeleted)) name.resize(name.size() - kDeleted.size());
  if (name.empty()) return std::nullopt;
  return name;
}

std::u16string ProgramIdentity(std::uint32_t pid, std::string_view app_id) {
  if (const std::optional<std::string> exe = ExecutableNameOfProcess(pid)) {
    return Utf8ToUtf16(*exe);
  }
  if (app_id.empty() || app_id.size() > kMaxAppIdBytes) return kUnknownProgram;
  return Utf8ToUtf16(app_id);
}

SessionFacts ReadSessionFacts() {
  SessionFacts facts;
  facts.session_type = EnvironmentValue("XDG_SESSION_TYPE").value_or("");
  facts.current_desktop = EnvironmentValue("XDG_CURRENT_DESKTOP").value_or("");
  facts.wayland_display = EnvironmentValue("WAYLAND_DISPLAY").has_value();
  facts.x_display = EnvironmentValue("DISPLAY").has_value();
  return facts;
}

ForegroundBackend ChooseForegroundBackend(const SessionFacts& facts) {
  // A session that says it is X11 is, whatever else is set; one that says nothing is Wayland
  // when a compositor is named.
  const bool wayland =
      facts.session_type == "wayland" || (facts.session_type != "x11" && facts.wayland_display);
  if (!wayland) return facts.x_display ? ForegroundBackend::kX11 : ForegroundBackend::kNone;
  if (HasDesktopToken(facts.current_desktop, "KDE")) return ForegroundBackend::kKWin;
  if (HasDesktopToken(facts.current_desktop, "GNOME")) return ForegroundBackend::kGnomeShell;
  return ForegroundBackend::kWlroots;
}

std::unique_ptr<ForegroundApp> CreateSystemForegroundApp(ForegroundChangeHandler on_change) {
  const SessionFacts facts = ReadSessionFacts();
  std::unique_ptr<ForegroundApp> primary;
  switch (ChooseForegroundBackend(facts)) {
    case ForegroundBackend::kNone:
    case ForegroundBackend::kX11:
      return CreateX11ForegroundApp(std::move(on_change));
    case ForegroundBackend::kWlroots:
      primary = CreateWlrForegroundApp(on_change);
      break;
    case ForegroundBackend::kKWin:
      primary = CreateKWinForegroundApp(on_change);
      break;
    case ForegroundBackend::kGnomeShell:
      primary = CreateGnomeForegroundApp(on_change);
      break;
  }
  if (!facts.x_display) return primary;
  return std::make_unique<FallbackForegroundApp>(std::move(primary), std::move(on_change));
}

}  // namespace z900::platform
