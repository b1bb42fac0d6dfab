#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"

// The keyed store the utility keeps its settings and macros in: keys named by paths such as
// "Software\TALVO\Z900\Macro\00123456", each holding named values and subkeys.
namespace z900::platform {

// Type of a stored value; the numbers are those of the registry value types.
enum class ValueType : std::uint32_t {
  kString = 1,  // UTF-16LE text with a terminating zero unit
  kBinary = 3,
  kDword = 4,  // exactly four bytes, little-endian
};

struct KeyValue {
  ValueType type = ValueType::kBinary;
  std::vector<std::uint8_t> data;

  bool operator==(const KeyValue&) const = default;
};

KeyValue BinaryValue(std::vector<std::uint8_t> data);
KeyValue DwordValue(std::uint32_t value);
KeyValue StringValue(std::u16string_view text);
// The number of a DWORD value; nullopt for another type or size.
std::optional<std::uint32_t> DwordOf(const KeyValue& value);
// The text of a string value up to its first zero unit; nullopt for another type or an odd size.
std::optional<std::u16string> StringOf(const KeyValue& value);

enum class KeyStoreStatus {
  kOk,
  kNotFound,    // the key or the value does not exist
  kBadName,     // a key path or value name that the store refuses
  kBadValue,    // a value that may not be written (size limit, DWORD not four bytes)
  kUnreadable,  // the stored value is damaged and is not trusted
  kHasSubkeys,  // a key with subkeys cannot be deleted
  kNotAFile,    // something else (a folder, a FIFO) stands where the value's file belongs
  kFailed,      // the storage itself failed (permissions, disk full, …)
};

// A short English text for messages, e.g. "not found".
std::string_view DescribeKeyStoreStatus(KeyStoreStatus status);

// Largest value the store writes or reads.
inline constexpr std::size_t kMaxValueSize = std::size_t{1} << 20;

// Key paths are components joined by backslashes; the empty path is the root, and one trailing
// backslash is allowed. A component must not be empty, ".", "..", contain '/' or a zero unit,
// begin with '.' or '@' (reserved for the store's own files), hold an unpaired surrogate, or
// take more than kMaxNameBytes bytes in UTF-8. A value name may be empty (the key's default
// value) and may hold any unit but '/' and zero, with the same surrogate and length rules.
// How names compare is the store's own rule: exactly (case matters) in the folder store of
// Linux and in MemoryKeyStore; without regard to case in the Windows registry, which keeps the
// case a key was created with. The utility's names never differ in case alone (a macro's key is
// its id in lower-case hexadecimal), so both rules find the same keys and values for it.
inline constexpr std::size_t kMaxNameBytes = 200;

// Splits a key path into its components; nullopt when the path is refused.
std::optional<std::vector<std::u16string>> SplitKeyPath(std::u16string_view path);
bool IsValidValueName(std::u16string_view name);
// Whether a value may be written: a known type, at most kMaxValueSize bytes, four bytes for a
// DWORD and an even size for a string.
bool IsWritableValue(const KeyValue& value);

// Every operation opens and closes what it needs within the call; nothing is held between
// calls, so several programs may share one store.
class KeyStore {
 public:
  virtual ~KeyStore() = default;
  // kOk when the key exists.
  virtual KeyStoreStatus OpenKey(std::u16string_view path) = 0;
  // Creates the key and its missing parents; kOk when it exists already.
  virtual KeyStoreStatus CreateKey(std::u16string_view path) = 0;
  // The names of the key's direct subkeys, in ascending order of their UTF-16 code units.
  virtual KeyStoreStatus EnumerateSubkeys(std::u16string_view path,
                                          std::vector<std::u16string>& names) = 0;
  virtual KeyStoreStatus ReadValue(std::u16string_view path, std::u16string_view name,
                                   KeyValue& value) = 0;
  // Writes a value of an existing key. The write is atomic: afterwards the value holds either
  // its old or its new content, also when the program dies during the write.
  virtual KeyStoreStatus WriteValue(std::u16string_view path, std::u16string_view name,
                                    const KeyValue& value) = 0;
  virtual KeyStoreStatus DeleteValue(std::u16string_view path, std::u16string_view name) = 0;
  // Keeps a value that is about to be replaced because it is damaged: its stored form stays,
  // untouched, under the name + DamagedCopySuffix() (a number added when that is taken), which
  // `kept_name` receives. The value itself stays as it is until it is written.
  virtual KeyStoreStatus KeepDamagedValue(std::u16string_view path, std::u16string_view name,
                                          std::u16string& kept_name) = 0;
  // Removes a key with its values; refused (kHasSubkeys) while it has subkeys, and for the root.
  virtual KeyStoreStatus DeleteKey(std::u16string_view path) = 0;
};

// The store of this platform, rooted at `root` (ProgramPaths::registry_root): on Linux a folder
// tree there; on Windows the registry of the machine for an empty root, else a key of the
// current user named after the root (the store beside a Z900_HOME folder, for tests).
std::unique_ptr<KeyStore> CreateSystemKeyStore(const std::filesystem::path& root);

// Where the store rooted at `root` lies, for the user: its folder, or its registry key.
std::string DescribeKeyStoreLocation(const std::filesystem::path& root);

// The folder that holds the values of `key` in the store rooted at `root`, for watching it for
// other programs' changes; empty where keys are no folders (the registry) or the name is refused.
std::filesystem::path KeyStoreFolder(const std::filesystem::path& root, std::u16string_view key);

}  // namespace z900::platform
