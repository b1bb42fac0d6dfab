#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "macro/macro_store.h"

// The macro chooser's logic: the stored macros in the store's order (the order of the
// assignment menus, so positions agree), the preset row and the result of OK.
namespace z900::macro {

struct MacroChoice {
  std::uint32_t id = 0;
  std::uint32_t position = 0;  // counted from 1
  bool operator==(const MacroChoice&) const = default;
};

// The row that a preset position (counted from 1) selects: none for 0 and for a position past
// the last row.
std::optional<std::size_t> PresetRow(std::uint32_t preset_position, std::size_t row_count);

// What OK reports for the selected row; nullopt when no row is selected.
std::optional<MacroChoice> ChosenMacro(const std::vector<MacroListEntry>& macros,
                                       std::optional<std::size_t> selected);

}  // namespace z900::macro
