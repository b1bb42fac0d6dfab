#include "ui/window_store_lock.h"

#include <cstdio>
#include <system_error>

#include "config/store_lock.h"

namespace z900::ui {

void TellWaitingForStore() {
  std::fputs("z900-config: waiting for another program that is using the profiles and macros\n",
             stderr);
}

std::unique_ptr<platform::FileLock> LockStoreForWindow(const platform::ProgramPaths& paths,
                                                       platform::LockMode mode,
                                                       platform::Clock* wait_clock, bool& busy,
                                                       const std::function<void()>& on_wait) {
  busy = false;
  std::error_code error;
  // A window says at once that it waits: the user has just asked for something.
  std::unique_ptr<platform::FileLock> lock = wait_clock != nullptr
                                                 ? config::LockStore(
                                                       paths, mode, *wait_clock,
                                                       [&on_wait] {
                                                         TellWaitingForStore();
                                                         if (on_wait) on_wait();
                                                       },
                                                       error, 0)
                                                 : config::TryLockStore(paths, mode, error);
  if (!lock &&
      (error == std::errc::resource_unavailable_try_again || error == std::errc::timed_out)) {
    busy = true;
    if (error == std::errc::timed_out) {
      std::fprintf(stderr, "z900-config: gave up waiting for %s\n",
                   config::StoreLockHolders(paths).c_str());
    }
  } else if (!lock) {
    std::fprintf(stderr, "z900-config: cannot lock %s: %s\n",
                 paths.store_lock_file.string().c_str(), error.message().c_str());
  }
  return lock;
}

}  // namespace z900::ui
