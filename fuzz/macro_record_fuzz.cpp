// Arbitrary bytes as a macro record: as an imported file, as a stored value, and as the input of
// the device encoder. Nothing may read outside the bytes, and what the import accepts must
// survive its own round trip and encode or fail cleanly.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "device/device_macro.h"
#include "macro/macro_record.h"
#include "macro/macro_rows.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace z900;
  const std::span<const std::uint8_t> bytes(data, size);
  static device::DeviceMacro block;
  device::EncodeMacro(bytes, block);

  std::string why;
  if (const auto stored = macro::MacroRecordFromBytes(bytes, why)) {
    macro::LoadMacroToList(*stored);
    macro::MacroName(*stored);
  }
  if (const auto imported = macro::ParseMacroFile(bytes, why)) {
    const std::vector<std::uint8_t> again = macro::MacroRecordBytes(*imported);
    if (!macro::ParseMacroFile(again, why)) std::abort();  // accepted once, accepted again
    device::EncodeMacro(again, block);
    macro::LoadedMacro loaded = macro::LoadMacroToList(*imported);
    macro::BuildMacroRecord(loaded.rows, imported->id, macro::MacroName(*imported),
                            loaded.loop_text);
  }
  return 0;
}
