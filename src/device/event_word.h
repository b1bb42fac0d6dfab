#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// The event word the mouse reports when a button carrying a host action is pressed.
namespace z900::device {

// Bits 30, 15 and 14 mark every host-action event.
inline constexpr std::uint32_t kEventMarker = 0x4000C000;

constexpr bool IsHostActionEvent(std::uint32_t word) {
  return (word & kEventMarker) == kEventMarker;
}

// A device code of the host-action class: byte 0 = 4, byte 2 = 0xC0 + action kind.
constexpr bool IsHostActionCode(std::uint32_t code) {
  return (code & 0xFF) == 4 && ((code >> 16) & 0xF0) == 0xC0;
}

// The event word a press of a button with this code yields: the action kind (low four bits of
// byte 2) in bits 8 … 11 and byte 3 (the button index) in bits 0 … 3. Codes the mouse carries
// out by itself yield no event.
constexpr std::optional<std::uint32_t> EventWordOfDeviceCode(std::uint32_t code) {
  if (!IsHostActionCode(code)) return std::nullopt;
  return kEventMarker | ((code >> 16) & 0x0F) << 8 | ((code >> 24) & 0x0F);
}

// Action kind and button index of a host-action event word.
constexpr int EventActionKind(std::uint32_t word) { return static_cast<int>((word >> 8) & 0x0F); }
constexpr int EventButtonIndex(std::uint32_t word) { return static_cast<int>(word & 0x0F); }

// The interrupt report in which the mouse sends an event word on its vendor interface:
// report ID 0xBA, tag 0xEE, the word least significant byte first, zeros.
inline constexpr std::uint8_t kEventReportTag = 0xEE;

constexpr std::array<std::uint8_t, 32> EncodeEventReport(std::uint32_t word) {
  std::array<std::uint8_t, 32> report{};
  report[0] = 0xBA;
  report[1] = kEventReportTag;
  for (int i = 0; i < 4; ++i) report[2 + i] = static_cast<std::uint8_t>(word >> (8 * i));
  return report;
}

// The event word of an interrupt report, or nullopt for any other report.
constexpr std::optional<std::uint32_t> DecodeEventReport(std::span<const std::uint8_t> report) {
  if (report.size() < 6 || report[0] != 0xBA || report[1] != kEventReportTag) return std::nullopt;
  return static_cast<std::uint32_t>(report[2]) | static_cast<std::uint32_t>(report[3]) << 8 |
         static_cast<std::uint32_t>(report[4]) << 16 | static_cast<std::uint32_t>(report[5]) << 24;
}

}  // namespace z900::device
