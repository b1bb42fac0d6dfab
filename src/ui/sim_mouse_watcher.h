#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <optional>

#include "platform/device_monitor.h"
#include "sim/shared_sim_mouse.h"
#include "sim/sim_event_source.h"

namespace z900::ui {

// The simulated mouse's driver and device notifications, for a window program that shares it
// with other programs: watches the folder of its state file, reports the mouse being unplugged
// and plugged in again (by "z900ctl --simulate sim unplug" and "sim plug") as a real mouse's
// device changes, and hands the events of its button presses to the event source while the
// utility is registered, also those that waited in the file while it was not (it looks again
// when the source opens). Nothing is read between changes, so an idle utility uses no time.
class SimMouseWatcher final : public QObject, public platform::DeviceMonitor {
  Q_OBJECT

 public:
  SimMouseWatcher(sim::SharedSimMouse& mouse, sim::SimStateEventSource& events,
                  QObject* parent = nullptr);
  ~SimMouseWatcher() override;

  bool Start(Listener listener) override;
  // Looks at the state file now; a file another program holds is looked at again shortly.
  void Check();

 signals:
  // The state file cannot be used (the reason, once per problem).
  void Problem(const QString& reason);

 private:
  sim::SharedSimMouse& mouse_;
  sim::SimStateEventSource& events_;
  QFileSystemWatcher watcher_;
  QTimer retry_;
  Listener listener_;
  // The connection as last seen: plugged in, and the count of plug-ins.
  std::optional<std::pair<bool, std::uint32_t>> seen_;
  std::string problem_;
};

}  // namespace z900::ui
