#pragma once

#include <cstdint>
#include <span>

namespace z900::platform {

// CRC-32 (IEEE 802.3, reflected, as zlib computes it) of the bytes; guards stored files
// against damage.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

}  // namespace z900::platform
