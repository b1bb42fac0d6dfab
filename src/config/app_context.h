#pragma once

#include "platform/program_paths.h"

namespace z900::config {

// Process-wide state of a program run, owned by the application object and passed by
// reference to every operation that needs it.
struct AppContext {
  // The onboard mode that slot writes address: 0 or 1, or whatever the mouse last answered.
  int current_mode = 0;
  platform::ProgramPaths paths;
};

}  // namespace z900::config
