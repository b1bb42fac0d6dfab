#include <sys/stat.h>

#include <algorithm>
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

  std::u16string ForegroundProgramName() override { return Current().ForegroundProgramName(); }
  ForegroundProgram ForegroundProgramNames() override { return Current().ForegroundProgramNames(); }

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
  ForegroundApp& Current() {
    return primary_->BackendStatus().SeesForeground() ? *primary_ : StandIn();
  }
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

TrustedBusPeer GnomeShellPeer() { return {"GNOME Shell", {"gnome-shell"}, true}; }

TrustedBusPeer KWinPeer() { return {"KWin", {"kwin_wayland", "kwin_x11"}, true}; }

bool RunsTrustedProgram(std::uint32_t pid, const TrustedBusPeer& trusted, std::string& why) {
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink(link, error);
  const std::optional<std::string> name = ExecutableNameOfProcess(pid);
  if (error || !name) {
    why = "a program that cannot be looked at (pid " + std::to_string(pid) + ")";
    return false;
  }
  why = exe.string() + " (pid " + std::to_string(pid) + ")";
  if (std::find(trusted.programs.begin(), trusted.programs.end(), *name) ==
      trusted.programs.end()) {
    return false;
  }
  if (!trusted.system_file_only) return true;
  // The file the process runs, even when it was replaced since: a copy of the user's own, or one
  // that others may change, is no compositor of the system.
  struct stat info {};
  return ::stat(link.c_str(), &info) == 0 && info.st_uid == 0 &&
         (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
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
  return CreateSessionForegroundApp(ReadSessionFacts(), std::move(on_change));
}

std::unique_ptr<ForegroundApp> CreateSessionForegroundApp(
    const SessionFacts& facts, ForegroundChangeHandler on_change,
    const std::optional<TrustedBusPeer>& trusted) {
  std::unique_ptr<ForegroundApp> primary;
  switch (ChooseForegroundBackend(facts)) {
    case ForegroundBackend::kNone:
    case ForegroundBackend::kX11:
      return CreateX11ForegroundApp(std::move(on_change));
    case ForegroundBackend::kWlroots:
      primary = CreateWlrForegroundApp(on_change);
      break;
    case ForegroundBackend::kKWin:
      primary = CreateKWinForegroundApp(on_change, trusted.value_or(KWinPeer()));
      break;
    case ForegroundBackend::kGnomeShell:
      primary = CreateGnomeForegroundApp(on_change, trusted.value_or(GnomeShellPeer()));
      break;
  }
  if (!facts.x_display) return primary;
  return std::make_unique<FallbackForegroundApp>(std::move(primary), std::move(on_change));
}

}  // namespace z900::platform
