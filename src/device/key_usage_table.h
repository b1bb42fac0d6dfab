#pragma once

#include <array>
#include <cstdint>

// Virtual-key codes and the USB HID keyboard usages (page 0x07) the mouse plays them as.
namespace z900::device {

struct KeyUsage {
  std::uint32_t virtual_key;
  std::uint8_t usage;
};

// 104 pairs, searched in order, the first match winning; Enter appears twice and only its
// first row (usage 0x28) is ever found.
extern const std::array<KeyUsage, 104> KeyUsageTable;

// The usage of a virtual key (the whole 24-bit value is compared), or 0 when the mouse has no
// usage for it (among others the side-neutral Shift, Ctrl and Alt, F13 and up, media keys).
std::uint8_t UsageOfVirtualKey(std::uint32_t virtual_key);

}  // namespace z900::device
