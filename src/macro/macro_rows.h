#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "macro/macro_record.h"

// A macro as the editor and the recorder hold it: an ordered list of rows, each a 32-bit tag
// (the row kind in the top byte, a 24-bit value below) and a display text.
namespace z900::macro {

inline constexpr std::uint8_t kRowMacro = 0;    // the macro list: value = id, text = name
inline constexpr std::uint8_t kRowKeyUp = 2;    // value = virtual-key code
inline constexpr std::uint8_t kRowKeyDown = 3;  // value = virtual-key code
inline constexpr std::uint8_t kRowDelay = 4;    // value = milliseconds

// Largest delay a merge of adjacent delay rows gives.
inline constexpr std::uint32_t kMaxMergedDelayMs = 327670;
// Loop count of a macro that is exactly one key-down event.
inline constexpr std::uint32_t kSingleKeyLoopCount = 65534;
inline constexpr std::uint32_t kMaxLoopCount = 65533;

// Rows a macro holds at most: each is one event of its record, and the store keeps a record
// within 16 KiB. The editor refuses an insert beyond it, so nothing is ever lost on saving.
inline constexpr std::size_t kMaxMacroRows = kMaxMacroEvents;

struct MacroRow {
  std::uint32_t tag = 0;
  std::u16string text;

  std::uint8_t kind() const { return static_cast<std::uint8_t>(tag >> 24); }
  std::uint32_t value() const { return tag & 0xFFFFFF; }
  bool operator==(const MacroRow&) const = default;
};

// kind × 2^24 + the low 24 bits of the value; kind 0 keeps the value whole.
constexpr std::uint32_t RowTag(std::uint8_t kind, std::uint32_t value) {
  return kind == kRowMacro ? value : static_cast<std::uint32_t>(kind) << 24 | (value & 0xFFFFFF);
}

// A key-down or key-up row named from the macro key-name table.
MacroRow KeyRow(std::uint8_t kind, std::uint32_t virtual_key);
// A delay row: value = the low 24 bits of `ms`, text = "%d  ms" of the whole number.
MacroRow DelayRow(std::uint64_t ms);
std::u16string DelayText(std::uint64_t ms);

// The loop count a loop-count text stores: 1 unless the whole text is a decimal number above
// 0, at most 65533.
std::uint32_t LoopCountOfText(std::u16string_view text);

enum class RowInsert {
  kInserted,  // new rows stand at the index
  kMerged,    // the delay was added to a delay row
  kNothing,   // nothing to insert there
  kFull,      // the macro holds kMaxMacroRows rows already; the rows are unchanged
};

// The editor's insert of a key before the selected row `index`: its key-down row there and its
// key-up row after it. Nothing for key 0 or when no row stands at the index.
RowInsert InsertKeyRows(std::vector<MacroRow>& rows, std::size_t index, std::uint32_t virtual_key);
// The editor's insert of a delay of `ms` (its low 24 bits) before row `index`: added to the
// delay row just above, else to a delay row at the index (either capped at 327670 ms), else
// a new delay row at the index. Nothing before the first row or when no row stands there.
RowInsert InsertDelayRow(std::vector<MacroRow>& rows, std::size_t index, std::uint32_t ms);
// Why an insert was refused, for the user.
std::string MacroFullMessage();

enum class BuildStatus {
  kBuilt,
  kNothingToSave,  // no rows: the stored record, if any, stays as it is
  kTooManyRows,    // more rows than a record holds; nothing to store
};

struct MacroBuild {
  BuildStatus status = BuildStatus::kNothingToSave;
  MacroRecord record{};
  // The row that the last merge of delay rows produced; the editor selects it.
  std::optional<std::size_t> merged_row;
};

// Builds the record to save from the rows. First merges every run of adjacent delay rows into
// its first row (the sum, capped at 327670 ms) in `rows` itself; delay rows before the first key
// row are counted in `size` but not stored. Reserved and unused bytes are zero; the name is cut
// to 19 units.
MacroBuild BuildMacroRecord(std::vector<MacroRow>& rows, std::uint32_t id, std::u16string_view name,
                            std::u16string_view loop_text);

struct LoadedMacro {
  std::vector<MacroRow> rows;
  std::u16string loop_text;
  // The event at which loading stopped because its kind is none of the three; nullopt when
  // every event was read.
  std::optional<std::size_t> stopped_at;
};

// The rows and the loop-count text of a record ("1" for a single-key macro).
LoadedMacro LoadMacroToList(const MacroRecord& record);

}  // namespace z900::macro
