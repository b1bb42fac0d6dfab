#include "macro/macro_record.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/text.h"

namespace z900::macro {

std::optional<MacroRecord> MacroRecordFromBytes(std::span<const std::uint8_t> bytes,
                                                std::string& why) {
  if (bytes.size() < kMacroHeaderSize) {
    why = "it holds " + std::to_string(bytes.size()) + " bytes, fewer than the 64 of a header";
    return std::nullopt;
  }
  if (bytes.size() > sizeof(MacroRecord)) {
    why = "it holds " + std::to_string(bytes.size()) + " bytes, more than the " +
          std::to_string(sizeof(MacroRecord)) + " a macro may take (" +
          std::to_string(kMaxMacroEvents) + " events)";
    return std::nullopt;
  }
  std::optional<MacroRecord> record(std::in_place);
  std::memset(&*record, 0, sizeof(MacroRecord));
  std::memcpy(&*record, bytes.data(), bytes.size());
  const std::size_t room = (bytes.size() - kMacroHeaderSize) / 4;
  if (record->event_count > room) {
    why = "its event count " + std::to_string(record->event_count) + " runs past its " +
          std::to_string(bytes.size()) + " bytes (room for " + std::to_string(room) + ")";
    return std::nullopt;
  }
  return record;
}

std::vector<std::uint8_t> MacroRecordBytes(const MacroRecord& record) {
  const std::size_t size = std::min<std::size_t>(record.size, sizeof(MacroRecord));
  std::vector<std::uint8_t> bytes(size);
  std::memcpy(bytes.data(), &record, size);
  return bytes;
}

bool IsWellFormed(const MacroRecord& record, std::string& why) {
  if (record.size < kMinRecordSize) {
    why = "its size " + std::to_string(record.size) + " is below 68 (a header and one event)";
    return false;
  }
  if (record.size > sizeof(MacroRecord)) {
    why = "its size " + std::to_string(record.size) + " is more than a macro may take";
    return false;
  }
  if ((record.magic >> 16) != (kMacroMagic >> 16)) {
    why = "it is not a macro record";
    return false;
  }
  if (record.event_count > (record.size - kMacroHeaderSize) / 4) {
    why = "its " + std::to_string(record.event_count) + " events do not fit in its size " +
          std::to_string(record.size);
    return false;
  }
  return true;
}

std::optional<MacroRecord> ParseMacroFile(std::span<const std::uint8_t> bytes, std::string& why) {
  if (bytes.size() < kMinRecordSize) {
    why = "it holds " + std::to_string(bytes.size()) +
          " bytes; a macro record has at least 68 (a header and one event)";
    return std::nullopt;
  }
  std::optional<MacroRecord> record = MacroRecordFromBytes(bytes, why);
  if (!record) return std::nullopt;
  char hex[16];
  if (record->magic != kMacroMagic) {
    std::snprintf(hex, sizeof hex, "%08x", record->magic);
    why = std::string("it is not a macro record (magic 0x") + hex + ", expected 0xe8e80010)";
    return std::nullopt;
  }
  if (record->size != bytes.size()) {
    why = "its size field says " + std::to_string(record->size) + " bytes but it holds " +
          std::to_string(bytes.size());
    return std::nullopt;
  }
  if (record->id > 0xFFFFFF) {
    std::snprintf(hex, sizeof hex, "%x", record->id);
    why = std::string("its id 0x") + hex + " has more than 24 bits";
    return std::nullopt;
  }
  if (record->loop_count == 0 || record->loop_count > 65534) {
    why = "its loop count " + std::to_string(record->loop_count) + " is outside 1 … 65534";
    return std::nullopt;
  }
  for (std::size_t i = 0; i < record->event_count; ++i) {
    const std::uint8_t kind = EventKind(record->events[i]);
    if (kind != kEventKeyDown && kind != kEventKeyUp && kind != kEventDelay) {
      std::snprintf(hex, sizeof hex, "%02x", kind);
      why = "event " + std::to_string(i + 1) + " has the kind 0x" + hex +
            ", which is none of key down (0xc0), key up (0xe0) and delay (0xa0)";
      return std::nullopt;
    }
  }
  record->reserved = 0;
  SetMacroName(*record, MacroName(*record));
  std::fill(std::begin(record->events) + record->event_count, std::end(record->events), 0u);
  return record;
}

std::u16string MacroName(const MacroRecord& record) { return platform::ReadFixedText(record.name); }

std::u16string_view CutMacroName(std::u16string_view name) {
  if (name.size() > kMaxNameUnits) {
    name = name.substr(0, kMaxNameUnits);
    // Half a surrogate pair is no character: cut before it.
    if (name.back() >= 0xD800 && name.back() < 0xDC00) name.remove_suffix(1);
  }
  return name;
}

void SetMacroName(MacroRecord& record, std::u16string_view name) {
  platform::WriteFixedText(record.name, CutMacroName(name));
}

}  // namespace z900::macro
