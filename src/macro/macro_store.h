#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "macro/macro_record.h"
#include "platform/key_store.h"

// The macros in the key store: one subkey per macro under the base key, named by the id as
// eight lower-case hex digits, whose default value holds the record's bytes (binary).
namespace z900::macro {

inline constexpr std::u16string_view kMacroBaseKey = u"Software\\TALVO\\Z900\\Macro\\";

// "%08x" of the id.
std::u16string MacroSubkeyName(std::uint32_t id);
// An id written in hex as MacroSubkeyName writes it (1 … 8 digits, optionally after "0x").
std::optional<std::uint32_t> ParseMacroId(std::string_view text);

struct MacroListEntry {
  std::uint32_t id = 0;  // read from the record, not from the subkey's name
  std::u16string name;
  bool operator==(const MacroListEntry&) const = default;
};

// One element per subkey of the base key, in the store's order: the macro of that subkey, or
// nullopt where its value is missing, unreadable, not binary, shorter than a header or fails the
// listing test. Only the first `read_limit` subkeys are read; the elements after them are
// nullopt. Empty when the base key does not exist.
std::vector<std::optional<MacroListEntry>> ListMacroPositions(
    platform::KeyStore& store, std::size_t read_limit = static_cast<std::size_t>(-1));

// Every listable macro in the store's order (ascending subkey name); subkeys whose value is
// missing, unreadable, not binary, shorter than a header or failing the listing test are
// skipped. Empty when the base key does not exist.
std::vector<MacroListEntry> ListMacros(platform::KeyStore& store);

// The stored record of a macro; nullopt, with the reason in `why`, when it is not stored or
// its value cannot be a record (see MacroRecordFromBytes). Magic and size are not checked.
std::optional<MacroRecord> LoadMacro(platform::KeyStore& store, std::uint32_t id,
                                     std::string* why = nullptr);

// Stores a well-formed record under its own id, creating the keys it needs. The write is
// atomic: a failure leaves the stored record as it was.
bool SaveMacro(platform::KeyStore& store, const MacroRecord& record, std::string* why = nullptr);

// Removes the macro's subkey.
bool DeleteMacro(platform::KeyStore& store, std::uint32_t id, std::string* why = nullptr);

enum class RenameResult { kRenamed, kNotStored, kFailed };
// Loads, renames (cut to 19 units) and saves a stored macro.
RenameResult RenameMacro(platform::KeyStore& store, std::uint32_t id, std::u16string_view name,
                         std::string* why = nullptr);

// Whether an id names a stored macro: by its subkey, or by the id inside a listed record.
bool IsMacroIdTaken(platform::KeyStore& store, std::uint32_t id);

// The id of a new macro: the low 24 bits of the tick count, or, when a stored macro or one of
// `ids_in_use` (macros not stored yet) has it, the next free id after it. Never 0.
std::uint32_t NewMacroId(platform::KeyStore& store, std::uint64_t tick_ms,
                         std::span<const std::uint32_t> ids_in_use = {});

}  // namespace z900::macro
