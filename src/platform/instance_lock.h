#pragma once

#include <string>

namespace z900::platform {

// The single-instance rule: the first instance of the utility holds a lock named "Z900Config"
// for as long as it runs; a later one only asks it to show its window and ends.
class InstanceLock {
 public:
  enum class Result {
    kFirst,        // this is the only instance; the lock is held until the process ends
    kAnotherRuns,  // another instance holds the lock
    kUnavailable,  // the lock cannot be had at all; `why` says why
  };

  virtual ~InstanceLock() = default;
  virtual Result Acquire(std::string& why) = 0;
  // Asks the running instance to show its window, as a double click on its tray icon would.
  // False, with `why`, when it could not be reached or did not answer that it did.
  virtual bool RequestShow(std::string& why) = 0;
};

// Tells other programs of the system that the utility runs, from now until the process ends: on
// Windows the named mutex "Z900Config" (an installer asks for the utility to be closed while it
// exists); nothing elsewhere.
void MarkRunningInstance();

}  // namespace z900::platform
