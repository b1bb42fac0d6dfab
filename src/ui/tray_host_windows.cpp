#include "ui/tray_host.h"

namespace z900::ui {

// The notification area of Windows gives its icons the clicks as they are.
TrayHost CurrentTrayHost() { return TrayHost::kIconWindow; }

}  // namespace z900::ui
