#pragma once

#include <filesystem>

#include "platform/file_io.h"
#include "platform/key_store.h"

namespace z900::platform {

// The key store as a folder tree: every key is a folder, every value one file "@NAME" ("@"
// alone for the default value) holding its type, its bytes and a CRC-32. The format is in
// docs/key_store.md.
class DirectoryKeyStore final : public KeyStore {
 public:
  // `probe` is handed to every value write (see WriteFileAtomically); tests use it to stop a
  // write just before it would replace the old value.
  explicit DirectoryKeyStore(std::filesystem::path root, AtomicWriteProbe probe = {});

  KeyStoreStatus OpenKey(std::u16string_view path) override;
  KeyStoreStatus CreateKey(std::u16string_view path) override;
  KeyStoreStatus EnumerateSubkeys(std::u16string_view path,
                                  std::vector<std::u16string>& names) override;
  KeyStoreStatus ReadValue(std::u16string_view path, std::u16string_view name,
                           KeyValue& value) override;
  KeyStoreStatus WriteValue(std::u16string_view path, std::u16string_view name,
                            const KeyValue& value) override;
  KeyStoreStatus DeleteValue(std::u16string_view path, std::u16string_view name) override;
  KeyStoreStatus KeepDamagedValue(std::u16string_view path, std::u16string_view name,
                                  std::u16string& kept_name) override;
  KeyStoreStatus DeleteKey(std::u16string_view path) override;

  // The file that holds a value, or an empty path when the names are refused.
  std::filesystem::path ValueFile(std::u16string_view path, std::u16string_view name) const;

 private:
  std::optional<std::filesystem::path> KeyFolder(std::u16string_view path) const;

  std::filesystem::path root_;
  AtomicWriteProbe probe_;
};

// The bytes of a value file, and the value read back from them (nullopt when they are damaged).
std::vector<std::uint8_t> EncodeValueFile(const KeyValue& value);
std::optional<KeyValue> DecodeValueFile(std::span<const std::uint8_t> bytes);

}  // namespace z900::platform
