#pragma once

#include "device/hid_channel.h"
#include "platform/host_services.h"
#include "ui/about_mag.h"
#include "update/update_check.h"

namespace z900::ui {

// The about box wired to the core: the firmware query over `channel` (the mouse is opened and
// closed for each query), the two checks of `check`, and the web site through `host`. All three
// must outlive the box.
AboutBoxPorts MakeAboutBoxPorts(device::HidChannel& channel, update::UpdateCheck& check,
                                platform::HostServices& host);

}  // namespace z900::ui
