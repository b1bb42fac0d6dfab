#include "macro/macro_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "platform/text.h"

namespace z900::macro {
namespace {

using platform::KeyStore;
using platform::KeyStoreStatus;

constexpr std::uint32_t kIdMask = 0xFFFFFF;

std::u16string MacroKey(std::uint32_t id) {
  return std::u16string(kMacroBaseKey) + MacroSubkeyName(id);
}

void SetWhy(std::string* why, std::string text) {
  if (why != nullptr) *why = std::move(text);
}

std::string StoreError(std::string_view what, KeyStoreStatus status) {
  return std::string(what) + ": " + std::string(platform::DescribeKeyStoreStatus(status));
}

// The id a subkey name stands for, when it is eight hex digits.
std::optional<std::uint32_t> IdOfSubkey(std::u16string_view name) {
  if (name.size() != 8) return std::nullopt;
  return ParseMacroId(platform::Utf16ToUtf8(name));
}

}  // namespace

std::u16string MacroSubkeyName(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", id);
  return std::u16string(text, text + std::strlen(text));
}

std::optional<std::uint32_t> ParseMacroId(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t id = 0;
  for (char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
    id = id << 4 | static_cast<std::uint32_t>(digit);
  }
  return id;
}

std::vector<std::optional<MacroListEntry>> ListMacroPositions(KeyStore& store,
                                                              std::size_t read_limit) {
  std::vector<std::u16string> subkeys;
  if (store.EnumerateSubkeys(kMacroBaseKey, subkeys) != KeyStoreStatus::kOk) return {};
  std::vector<std::optional<MacroListEntry>> positions(subkeys.size());
  for (std::size_t i = 0; i < subkeys.size() && i < read_limit; ++i) {
    platform::KeyValue value;
    if (store.ReadValue(std::u16string(kMacroBaseKey) + subkeys[i], u"", value) !=
            KeyStoreStatus::kOk ||
        value.type != platform::ValueType::kBinary || value.data.size() < kMacroHeaderSize) {
      continue;
    }
    MacroRecord header{};
    std::memcpy(&header, value.data.data(), kMacroHeaderSize);
    if (PassesListingTest(header)) positions[i] = MacroListEntry{header.id, MacroName(header)};
  }
  return positions;
}

std::vector<MacroListEntry> ListMacros(KeyStore& store) {
  std::vector<MacroListEntry> macros;
  for (std::optional<MacroListEntry>& entry : ListMacroPositions(store)) {
    if (entry) macros.push_back(std::move(*entry));
  }
  return macros;
}

std::optional<MacroRecord> LoadMacro(KeyStore& store, std::uint32_t id, std::string* why) {
  platform::KeyValue value;
  const KeyStoreStatus status = store.ReadValue(MacroKey(id), u"", value);
  if (status == KeyStoreStatus::kNotFound) {
    SetWhy(why, "no macro " + platform::Utf16ToUtf8(MacroSubkeyName(id)) + " is stored");
    return std::nullopt;
  }
  if (status != KeyStoreStatus::kOk) {
    SetWhy(why, StoreError("macro " + platform::Utf16ToUtf8(MacroSubkeyName(id)), status));
    return std::nullopt;
  }
  if (value.type != platform::ValueType::kBinary) {
    SetWhy(why, "the stored macro is not binary data");
    return std::nullopt;
  }
  std::string reason;
  std::optional<MacroRecord> record = MacroRecordFromBytes(value.data, reason);
  if (!record) SetWhy(why, "the stored macro is damaged: " + reason);
  return record;
}

namespace {

// Writes the record under the subkey of `key_id`.
bool WriteRecord(KeyStore& store, std::uint32_t key_id, const MacroRecord& record,
                 std::string* why) {
  std::string reason;
  if (!IsWellFormed(record, reason)) {
    SetWhy(why, "the macro is not saved: " + reason);
    return false;
  }
  const std::u16string key = MacroKey(key_id);
  KeyStoreStatus status = store.CreateKey(key);
  if (status == KeyStoreStatus::kOk) {
    status = store.WriteValue(key, u"", platform::BinaryValue(MacroRecordBytes(record)));
  }
  if (status != KeyStoreStatus::kOk) {
    SetWhy(why, StoreError("the macro is not saved", status));
    return false;
  }
  return true;
}

}  // namespace

bool SaveMacro(KeyStore& store, const MacroRecord& record, std::string* why) {
  return WriteRecord(store, record.id, record, why);
}

bool DeleteMacro(KeyStore& store, std::uint32_t id, std::string* why) {
  const KeyStoreStatus status = store.DeleteKey(MacroKey(id));
  if (status == KeyStoreStatus::kNotFound) {
    SetWhy(why, "no macro " + platform::Utf16ToUtf8(MacroSubkeyName(id)) + " is stored");
    return false;
  }
  if (status != KeyStoreStatus::kOk) {
    SetWhy(why, StoreError("the macro is not deleted", status));
    return false;
  }
  return true;
}

RenameResult RenameMacro(KeyStore& store, std::uint32_t id, std::u16string_view name,
                         std::string* why) {
  if (store.OpenKey(MacroKey(id)) != KeyStoreStatus::kOk) {
    SetWhy(why, "no macro " + platform::Utf16ToUtf8(MacroSubkeyName(id)) + " is stored");
    return RenameResult::kNotStored;
  }
  std::optional<MacroRecord> record = LoadMacro(store, id, why);
  if (!record) return RenameResult::kFailed;
  SetMacroName(*record, name);
  // Back where it came from, also when the id inside the record differs from the subkey's:
  // saving under that id could replace another macro.
  return WriteRecord(store, id, *record, why) ? RenameResult::kRenamed : RenameResult::kFailed;
}

bool IsMacroIdTaken(KeyStore& store, std::uint32_t id) {
  if (store.OpenKey(MacroKey(id)) == KeyStoreStatus::kOk) return true;
  const std::vector<MacroListEntry> macros = ListMacros(store);
  return std::any_of(macros.begin(), macros.end(),
                     [id](const MacroListEntry& entry) { return entry.id == id; });
}

std::uint32_t NewMacroId(KeyStore& store, std::uint64_t tick_ms,
                         std::span<const std::uint32_t> ids_in_use) {
  std::set<std::uint32_t> taken(ids_in_use.begin(), ids_in_use.end());
  taken.insert(0);
  std::vector<std::u16string> subkeys;
  if (store.EnumerateSubkeys(kMacroBaseKey, subkeys) == KeyStoreStatus::kOk) {
    for (const std::u16string& subkey : subkeys) {
      if (auto id = IdOfSubkey(subkey)) taken.insert(*id);
    }
  }
  for (const MacroListEntry& entry : ListMacros(store)) taken.insert(entry.id);
  std::uint32_t id = static_cast<std::uint32_t>(tick_ms) & kIdMask;
  // 2^24 ids and far fewer macros: a free one is always near.
  while (taken.contains(id)) id = (id + 1) & kIdMask;
  return id;
}

}  // namespace z900::macro
