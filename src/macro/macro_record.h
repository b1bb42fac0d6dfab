#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// The stored form of a macro: a 64-byte header and its event words.
namespace z900::macro {

inline constexpr std::uint32_t kMacroMagic = 0xE8E80010;
inline constexpr std::size_t kMacroHeaderSize = 64;
// Records are at least a header and one event.
inline constexpr std::uint32_t kMinRecordSize = kMacroHeaderSize + 4;
// Events a record may carry; keeps a record within 16 KiB. The recorder stops at 999 keys
// (1997 rows) and the mouse plays at most 1363 key events.
inline constexpr std::size_t kMaxMacroEvents = 4080;
// Text units of a name; the field holds 20 with the terminating zero.
inline constexpr std::size_t kMaxNameUnits = 19;

// Event kinds, the top byte of an event word; the low 24 bits are the value.
inline constexpr std::uint8_t kEventKeyDown = 0xC0;  // value: virtual-key code
inline constexpr std::uint8_t kEventKeyUp = 0xE0;    // value: virtual-key code
inline constexpr std::uint8_t kEventDelay = 0xA0;    // value: milliseconds

constexpr std::uint32_t MakeMacroEvent(std::uint8_t kind, std::uint32_t value) {
  return static_cast<std::uint32_t>(kind) << 24 | (value & 0xFFFFFF);
}
constexpr std::uint8_t EventKind(std::uint32_t event) {
  return static_cast<std::uint8_t>(event >> 24);
}
constexpr std::uint32_t EventValue(std::uint32_t event) { return event & 0xFFFFFF; }

// The stored record; its first `size` bytes are what the store holds. Everything is
// little-endian, as on every platform the utility runs on.
struct MacroRecord {
  std::uint32_t size;        // 64 + 4 × the rows the macro had when saved
  std::uint32_t magic;       // kMacroMagic
  std::uint32_t id;          // low 24 bits used
  std::uint32_t reserved;    // written as 0, read by nobody
  std::uint32_t loop_count;  // 1 … 65533, or 65534 for a macro of one key press
  char16_t name[kMaxNameUnits + 1];
  std::uint32_t event_count;
  std::uint32_t events[kMaxMacroEvents];
};
static_assert(std::endian::native == std::endian::little);
static_assert(std::is_trivially_copyable_v<MacroRecord>);
static_assert(sizeof(MacroRecord) == 16384);
static_assert(offsetof(MacroRecord, size) == 0);
static_assert(offsetof(MacroRecord, magic) == 4);
static_assert(offsetof(MacroRecord, id) == 8);
static_assert(offsetof(MacroRecord, reserved) == 12);
static_assert(offsetof(MacroRecord, loop_count) == 16);
static_assert(offsetof(MacroRecord, name) == 20);
static_assert(offsetof(MacroRecord, event_count) == 60);
static_assert(offsetof(MacroRecord, events) == kMacroHeaderSize);

// Reads stored bytes into a record (the rest zeroed). Refused, with the reason in `why`: fewer
// than 64 bytes, more than a record may take, or an event count that runs past the bytes.
// Nothing else is checked here; magic and size are the caller's concern.
std::optional<MacroRecord> MacroRecordFromBytes(std::span<const std::uint8_t> bytes,
                                                std::string& why);

// The first `size` bytes of the record (at most the whole record).
std::vector<std::uint8_t> MacroRecordBytes(const MacroRecord& record);

// A record the store may write: size at least 68, magic 0xE8E8xxxx, and every event inside
// `size`. The reason goes to `why` when it is not.
bool IsWellFormed(const MacroRecord& record, std::string& why);

// The looser test a stored record must pass to be listed.
constexpr bool PassesListingTest(const MacroRecord& record) {
  return record.size >= kMinRecordSize || (record.magic >> 16) == (kMacroMagic >> 16);
}

// Reads a record file from outside the store (an import): the bytes must be exactly `size`
// long, carry the exact magic, an id of 24 bits, a loop count of 1 … 65534 and only key-down,
// key-up and delay events that fit in `size`. The name is re-terminated and the reserved and
// unused bytes are zeroed. Nullopt, with the reason in `why`, for anything else.
std::optional<MacroRecord> ParseMacroFile(std::span<const std::uint8_t> bytes, std::string& why);

// The name field's text.
std::u16string MacroName(const MacroRecord& record);
// The part of a name that a record holds: 19 units at most, never cut inside a surrogate pair.
std::u16string_view CutMacroName(std::u16string_view name);
// Sets the name, cut as CutMacroName cuts it.
void SetMacroName(MacroRecord& record, std::u16string_view name);

}  // namespace z900::macro
