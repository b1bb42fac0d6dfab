#include "ui/modal_dialogs.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <utility>
#include <vector>

namespace z900::ui {
namespace {

struct Waiting {
  QPointer<QObject> context;
  std::function<void()> action;
};

// Ui thread only: the dialogs in ExecDialog, outermost first, and what waits for their end.
std::vector<QPointer<QDialog>>& Running() {
  static std::vector<QPointer<QDialog>> running;
  return running;
}

std::vector<Waiting>& WaitingForNoDialog() {
  static std::vector<Waiting> waiting;
  return waiting;
}

void RunWaiting() {
  if (!Running().empty()) return;  // another dialog came first: its end runs them
  std::vector<Waiting> waiting = std::exchange(WaitingForNoDialog(), {});
  for (Waiting& entry : waiting) {
    if (entry.context != nullptr) entry.action();
  }
}

}  // namespace

int ExecDialog(QDialog& dialog) {
  dialog.setWindowModality(Qt::WindowModal);
  std::vector<QPointer<QDialog>>& running = Running();
  running.emplace_back(&dialog);
  const int result = dialog.exec();
  if (const auto at = std::find(running.begin(), running.end(), &dialog); at != running.end()) {
    running.erase(at);
  }
  // What waits runs after the caller of the last dialog has gone on with its answer.
  if (running.empty() && !WaitingForNoDialog().empty()) {
    QTimer::singleShot(0, QCoreApplication::instance(), &RunWaiting);
  }
  return result;
}

int RunningDialogCount() { return static_cast<int>(Running().size()); }

void CloseRunningDialogs() {
  const std::vector<QPointer<QDialog>> running = Running();
  for (auto dialog = running.rbegin(); dialog != running.rend(); ++dialog) {
    if (*dialog != nullptr) (*dialog)->reject();
  }
}

void WhenNoDialogRuns(QObject* context, std::function<void()> action) {
  if (Running().empty()) {
    action();
    return;
  }
  WaitingForNoDialog().push_back({context, std::move(action)});
}

}  // namespace z900::ui
