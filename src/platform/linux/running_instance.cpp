#include "platform/instance_lock.h"

namespace z900::platform {

// Nothing of the system asks whether the utility runs: the lock of its instance folder is all.
void MarkRunningInstance() {}

}  // namespace z900::platform
