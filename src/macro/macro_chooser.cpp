#include "macro/macro_chooser.h"

namespace z900::macro {

std::optional<std::size_t> PresetRow(std::uint32_t preset_position, std::size_t row_count) {
  if (preset_position == 0 || preset_position > row_count) return std::nullopt;
  return preset_position - 1;
}

std::optional<MacroChoice> ChosenMacro(const std::vector<MacroListEntry>& macros,
                                       std::optional<std::size_t> selected) {
  if (!selected || *selected >= macros.size()) return std::nullopt;
  return MacroChoice{macros[*selected].id, static_cast<std::uint32_t>(*selected + 1)};
}

}  // namespace z900::macro
