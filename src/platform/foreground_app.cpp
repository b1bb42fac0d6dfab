#include "platform/foreground_app.h"

#include <algorithm>
#include <utility>

namespace z900::platform {

bool ForegroundProgram::Matches(std::u16string_view program) const {
  return program == name ||
         std::find(other_names.begin(), other_names.end(), program) != other_names.end();
}

const char* ForegroundBackendName(ForegroundBackend backend) {
  switch (backend) {
    case ForegroundBackend::kNone:
      return "no back-end";
    case ForegroundBackend::kX11:
      return "X11 active window";
    case ForegroundBackend::kWlroots:
      return "wlroots foreign-toplevel protocol";
    case ForegroundBackend::kKWin:
      return "KWin script";
    case ForegroundBackend::kGnomeShell:
      return "GNOME Shell extension";
    case ForegroundBackend::kWindows:
      return "Windows foreground events";
  }
  return "?";
}

std::string DescribeForegroundStatus(const ForegroundStatus& status) {
  std::string text = "Automatic profile switching ";
  if (status.SeesForeground()) {
    text += "follows the foreground program through the ";
    text += ForegroundBackendName(status.backend);
  } else if (status.problem == ForegroundProblem::kStarting) {
    text += "is connecting to the ";
    text += ForegroundBackendName(status.backend);
  } else if (status.xwayland_only) {
    text += "sees only programs running under XWayland";
  } else {
    text += "cannot see the foreground program";
  }
  if (!status.detail.empty()) text += ": " + status.detail;
  return text;
}

QueuedForegroundApp::QueuedForegroundApp(ForegroundBackend backend,
                                         ForegroundChangeHandler on_change)
    : backend_(backend), on_change_(std::move(on_change)) {
  status_.backend = backend;
  published_status_.backend = backend;
}

std::u16string QueuedForegroundApp::ForegroundProgramName() {
  TakeUpdates();
  return program_.name;
}

ForegroundProgram QueuedForegroundApp::ForegroundProgramNames() {
  TakeUpdates();
  return program_;
}

ForegroundStatus QueuedForegroundApp::BackendStatus() {
  TakeUpdates();
  return status_;
}

void QueuedForegroundApp::PublishProgram(ForegroundProgram program) {
  if (program == published_program_) return;
  published_program_ = program;
  Update update;
  update.program = std::move(program);
  Publish(std::move(update));
}

void QueuedForegroundApp::PublishStatus(ForegroundProblem problem, std::string detail) {
  Update update;
  update.is_status = true;
  update.status.backend = backend_;
  update.status.problem = problem;
  update.status.detail = std::move(detail);
  if (update.status == published_status_) return;
  published_status_ = update.status;
  Publish(std::move(update));
}

void QueuedForegroundApp::Publish(Update update) {
  {
    std::lock_guard lock(mutex_);
    // Only the newest of each kind matters: an owner that has not looked for a while finds at
    // most one program and one status waiting.
    std::erase_if(updates_, [&](const Update& old) { return old.is_status == update.is_status; });
    updates_.push_back(std::move(update));
  }
  if (on_change_) on_change_();
}

void QueuedForegroundApp::TakeUpdates() {
  std::deque<Update> updates;
  {
    std::lock_guard lock(mutex_);
    updates.swap(updates_);
  }
  for (Update& update : updates) {
    if (update.is_status) {
      status_ = std::move(update.status);
    } else {
      program_ = std::move(update.program);
    }
  }
}

}  // namespace z900::platform
