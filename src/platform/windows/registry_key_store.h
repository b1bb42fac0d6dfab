#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "platform/key_store.h"

namespace z900::platform {

// The key store in the Windows registry: key paths below `root`'s key, values as registry
// values of the same type. Names compare as the registry compares them, without regard to case.
class RegistryKeyStore final : public KeyStore {
 public:
  // The keys below `prefix` (empty: the hive itself) of the hive `hive`, seen through `view`
  // (KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0).
  RegistryKeyStore(HKEY hive, std::wstring prefix, REGSAM view);

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

 private:
  // The key's full name below the hive, or nullopt when the path is refused.
  std::optional<std::wstring> FullName(std::u16string_view path) const;
  // Opens the key with `access`; the status says why not.
  KeyStoreStatus Open(std::u16string_view path, REGSAM access, HKEY& key) const;

  HKEY hive_;
  std::wstring prefix_;
  REGSAM view_;
};

// The key of the current user that holds the key store of a Z900_HOME folder, named after the
// store's root folder: "Software\Z900 homes\C:/Users/Ann/z900/registry".
std::wstring HomeStoreKey(const std::filesystem::path& root);

// The key of the utility's settings, under which it keeps the profile table and its macros.
inline constexpr wchar_t kUtilityKey[] = L"Software\\TALVO\\Z900";

}  // namespace z900::platform
