#pragma once

#include <cstdint>
#include <optional>
#include <span>

// Virtual-key codes and the Linux input key codes of the same key positions (those of a US
// keyboard: the virtual key 'A' is the key left of 'S', whatever it types).
namespace z900::platform {

struct VirtualKeyPosition {
  std::uint32_t virtual_key;
  std::uint32_t evdev_code;  // KEY_* of linux/input-event-codes.h; X keycodes are this + 8
};

// Every pair; a code that appears twice maps by its first row.
std::span<const VirtualKeyPosition> VirtualKeyPositions();

std::optional<std::uint32_t> EvdevCodeOfVirtualKey(std::uint32_t virtual_key);
std::optional<std::uint32_t> VirtualKeyOfEvdevCode(std::uint32_t evdev_code);

}  // namespace z900::platform
