#pragma once

#include "config/profile_files.h"
#include "device/hid_channel.h"
#include "platform/key_store.h"
#include "platform/ui_port.h"

namespace z900::config {

// What the configuration operations reach the world through: the report channel (whose clock
// times every wait), the registry, the user and the profile files.
struct ConfigPorts {
  device::HidChannel& channel;
  platform::KeyStore& store;
  platform::UiPort& ui;
  ProfileFiles& files;
};

}  // namespace z900::config
