#pragma once

namespace z900::platform {

// Catches the requests to end the process (SIGTERM, SIGINT, SIGHUP) from now on and returns a
// descriptor that becomes readable once one has arrived, for an event loop to watch; -1 when
// they cannot be caught.
int WatchTerminationSignals();
// Empties the descriptor after it became readable.
void DrainTerminationSignals();

}  // namespace z900::platform
