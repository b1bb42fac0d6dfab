// What the running utility shows of itself to the rest of Windows, and the requests to end it.
#include <windows.h>

#include "platform/instance_lock.h"
#include "platform/termination_signals.h"

namespace z900::platform {

void MarkRunningInstance() {
  // Not owned, never closed: it lives as long as the process. Only its existence tells; which
  // instance runs is decided by the lock of the instance folder.
  static const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, L"Z900Config");
  (void)mutex;
}

// A window program is asked to end through its session's end (Qt's commit data request), not by
// signals: there is nothing to watch.
int WatchTerminationSignals() { return -1; }
void DrainTerminationSignals() {}

}  // namespace z900::platform
