#include "ui/sim_mouse_watcher.h"

#include <filesystem>
#include <vector>

#include "platform/file_io.h"

namespace z900::ui {
namespace {

// How soon a state file that another program holds is looked at again.
constexpr int kBusyRetryMs = 50;

}  // namespace

SimMouseWatcher::SimMouseWatcher(sim::SharedSimMouse& mouse, sim::SimStateEventSource& events,
                                 QObject* parent)
    : QObject(parent), mouse_(mouse), events_(events) {
  retry_.setSingleShot(true);
  retry_.setInterval(kBusyRetryMs);
  connect(&retry_, &QTimer::timeout, this, &SimMouseWatcher::Check);
  // Programs replace the file whole (a new file renamed over it): the folder tells of that.
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &SimMouseWatcher::Check);
  // Presses that came while the utility was not registered wait in the file: once it is, they
  // are taken at once rather than at the next change of the file.
  events_.SetOpenedListener([this] {
    QMetaObject::invokeMethod(this, &SimMouseWatcher::Check, Qt::QueuedConnection);
  });
}

SimMouseWatcher::~SimMouseWatcher() { events_.SetOpenedListener({}); }

bool SimMouseWatcher::Start(Listener listener) {
  listener_ = std::move(listener);
  const std::filesystem::path folder = mouse_.state_file().parent_path();
  platform::CreatePrivateFolders(folder);
  const bool watching = watcher_.addPath(QString::fromStdU16String(folder.u16string()));
  Check();
  return watching;
}

void SimMouseWatcher::Check() {
  const bool take_events = events_.is_open();
  bool plugged = false;
  std::uint32_t generation = 0;
  std::vector<std::uint32_t> words;
  std::string error;
  switch (mouse_.TryRun(
      [&](sim::SimulatedMouse& mouse) {
        plugged = mouse.plugged();
        generation = mouse.plug_generation();
        if (take_events && plugged) words = mouse.TakeEvents();
      },
      error)) {
    case sim::SharedSimMouse::Attempt::kBusy:
      retry_.start();
      return;
    case sim::SharedSimMouse::Attempt::kFailed:
      if (error != problem_) emit Problem(QString::fromStdString(error));
      problem_ = error;
      return;
    case sim::SharedSimMouse::Attempt::kDone:
      problem_.clear();
      break;
  }
  for (const std::uint32_t word : words) events_.Deliver(word);

  const std::pair<bool, std::uint32_t> now{plugged, generation};
  const std::optional<std::pair<bool, std::uint32_t>> before = std::exchange(seen_, now);
  if (!before || *before == now || !listener_) return;
  // Out and in again between two looks is a removal and an arrival all the same.
  if (before->first) listener_(platform::DeviceChange::kRemoval);
  if (plugged) listener_(platform::DeviceChange::kArrival);
}

}  // namespace z900::ui
