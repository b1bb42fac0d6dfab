#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "device/memory_map.h"

// The mouse's own macro format, and the encoder from the stored macro record to it.
namespace z900::device {

// What the encoder reads of a stored macro record (little-endian fields at these offsets).
inline constexpr std::uint32_t kMacroRecordMagic = 0xE8E80010;
inline constexpr std::size_t kMacroMagicOffset = 4;
inline constexpr std::size_t kMacroLoopCountOffset = 16;
inline constexpr std::size_t kMacroEventCountOffset = 60;
inline constexpr std::size_t kMacroEventsOffset = 64;

// Event words of a record: the kind in the top byte, the value in the low 24 bits.
inline constexpr std::uint8_t kMacroKeyDown = 0xC0;  // value: virtual-key code
inline constexpr std::uint8_t kMacroKeyUp = 0xE0;    // value: virtual-key code
inline constexpr std::uint8_t kMacroDelay = 0xA0;    // value: milliseconds

// Key events one macro slot holds: 4 + 3 × 1363 = 4093 bytes.
inline constexpr std::size_t kMaxDeviceKeyEvents = 1363;
// Largest pause after a key event: 15 bits of 10-ms units.
inline constexpr std::uint32_t kMaxPauseUnits = 0x7FFF;
inline constexpr std::uint32_t kMaxPauseMs = 10 * kMaxPauseUnits;  // 327670

// One encoded macro slot: length (2 bytes), loop count (2 bytes), then three bytes per key
// event — a control word (bit 0 press, bits 1 … 15 the pause after it in 10-ms units) and the
// HID usage. Only the first length() bytes go to the mouse.
struct DeviceMacro {
  std::array<std::uint8_t, kMacroSlotSize> bytes{};

  std::uint16_t length() const { return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8); }
  std::span<const std::uint8_t> Block() const { return std::span(bytes).first(length()); }
};

enum class EncodeError {
  kNone,
  kTruncated,         // shorter than the header, or the events run past the bytes
  kNotAMacroRecord,   // magic is not 0xE8E80010
  kKeyNotEncodable,   // a key the mouse has no usage for
  kUnknownEventKind,  // a kind other than key down, key up and delay
  kTooManyKeyEvents,  // more than 1363 key events
};

struct EncodeResult {
  EncodeError error = EncodeError::kNone;
  std::size_t event_index = 0;  // the event at fault
  std::uint32_t event = 0;      // its word
  // Pauses of 327680 ms or more, each shortened to the longest the mouse plays (327670 ms).
  std::size_t capped_pauses = 0;

  explicit operator bool() const { return error == EncodeError::kNone; }
};

// Encodes the bytes of a stored macro record into `out`. Every field is checked against the
// bytes before it is read, so any input is safe. A delay before the first key event has no
// place in the format and is left out. On failure `out` must not be written to the mouse.
EncodeResult EncodeMacro(std::span<const std::uint8_t> record, DeviceMacro& out);

}  // namespace z900::device
