#pragma once

#include <functional>
#include <memory>

#include "platform/clock.h"
#include "platform/file_io.h"
#include "platform/program_paths.h"

namespace z900::ui {

// The profiles' lock as the window takes it, for one reading or one change. With a clock it
// waits (only where nothing on the screen waits with it: before the first show, or on the device
// worker), telling on stderr that it waits and calling on_wait from the first moment, up to
// config::kStoreLockPatienceMs; without one it tries once. Null with busy set when another
// program holds the lock (after a wait: held it too long, which stderr names). A lock file that
// cannot be used is told on stderr and gives null with busy false: the files are then used
// without it, as before.
std::unique_ptr<platform::FileLock> LockStoreForWindow(const platform::ProgramPaths& paths,
                                                       platform::LockMode mode,
                                                       platform::Clock* wait_clock, bool& busy,
                                                       const std::function<void()>& on_wait = {});

// The line on stderr that says the window waits for another program's lock.
void TellWaitingForStore();

}  // namespace z900::ui
