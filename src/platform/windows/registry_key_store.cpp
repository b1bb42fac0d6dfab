#include "platform/windows/registry_key_store.h"

#include <algorithm>
#include <string>

#include "platform/crc32.h"
#include "platform/file_io.h"
#include "platform/windows/wide_text.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

// The longest key name the registry takes is 255 units; value names may have 16383.
constexpr DWORD kMaxKeyNameUnits = 256;
constexpr wchar_t kHomesKey[] = L"Software\\Z900 homes";

// Closes a key when it goes out of scope.
class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (key_ != nullptr) ::RegCloseKey(key_);
  }
  HKEY get() const { return key_; }
  HKEY* out() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

KeyStoreStatus StatusOf(LSTATUS result) {
  switch (result) {
    case ERROR_SUCCESS:
      return KeyStoreStatus::kOk;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return KeyStoreStatus::kNotFound;
    default:
      return KeyStoreStatus::kFailed;
  }
}

// The registry's value types that a KeyValue can hold.
bool IsKnownType(DWORD type) { return type == REG_SZ || type == REG_BINARY || type == REG_DWORD; }

std::wstring ValueName(std::u16string_view name) { return Utf16ToWide(name); }

// Reads a value whole, whatever its type; the status says why not.
KeyStoreStatus ReadRaw(HKEY key, const std::wstring& name, DWORD& type,
                       std::vector<std::uint8_t>& data) {
  for (;;) {
    DWORD size = 0;
    LSTATUS result = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) return StatusOf(result);
    if (size > kMaxValueSize) return KeyStoreStatus::kUnreadable;
    data.resize(size);
    result = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
    if (result == ERROR_MORE_DATA) continue;  // it grew meanwhile
    if (result != ERROR_SUCCESS) return StatusOf(result);
    data.resize(size);
    return KeyStoreStatus::kOk;
  }
}

}  // namespace

RegistryKeyStore::RegistryKeyStore(HKEY hive, std::wstring prefix, REGSAM view)
    : hive_(hive), prefix_(std::move(prefix)), view_(view) {}

std::optional<std::wstring> RegistryKeyStore::FullName(std::u16string_view path) const {
  const auto components = SplitKeyPath(path);
  if (!components) return std::nullopt;
  std::wstring name = prefix_;
  for (const std::u16string& component : *components) {
    if (component.size() >= kMaxKeyNameUnits) return std::nullopt;
    if (!name.empty()) name += L'\\';
    name += Utf16ToWide(component);
  }
  return name;
}

KeyStoreStatus RegistryKeyStore::Open(std::u16string_view path, REGSAM access, HKEY& key) const {
  const std::optional<std::wstring> name = FullName(path);
  if (!name) return KeyStoreStatus::kBadName;
  return StatusOf(::RegOpenKeyExW(hive_, name->c_str(), 0, access | view_, &key));
}

KeyStoreStatus RegistryKeyStore::OpenKey(std::u16string_view path) {
  Key key;
  return Open(path, KEY_READ, *key.out());
}

KeyStoreStatus RegistryKeyStore::CreateKey(std::u16string_view path) {
  const std::optional<std::wstring> name = FullName(path);
  if (!name) return KeyStoreStatus::kBadName;
  Key key;
  // Creates the missing parents too; an existing key is opened.
  return StatusOf(::RegCreateKeyExW(hive_, name->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_READ | KEY_WRITE | view_, nullptr, key.out(), nullptr));
}

KeyStoreStatus RegistryKeyStore::EnumerateSubkeys(std::u16string_view path,
                                                  std::vector<std::u16string>& names) {
  Key key;
  if (const KeyStoreStatus status = Open(path, KEY_READ, *key.out());
      status != KeyStoreStatus::kOk) {
    return status;
  }
  std::vector<std::u16string> found;
  for (DWORD index = 0;; ++index) {
    wchar_t name[kMaxKeyNameUnits];
    DWORD length = kMaxKeyNameUnits;
    const LSTATUS result =
        ::RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return KeyStoreStatus::kFailed;
    std::u16string subkey = WideToUtf16(std::wstring_view(name, length));
    // Names that no key path can reach (another program's) are not listed.
    const auto components = SplitKeyPath(subkey);
    if (components && components->size() == 1 && (*components)[0] == subkey) {
      found.push_back(std::move(subkey));
    }
  }
  std::sort(found.begin(), found.end());
  names = std::move(found);
  return KeyStoreStatus::kOk;
}

KeyStoreStatus RegistryKeyStore::ReadValue(std::u16string_view path, std::u16string_view name,
                                           KeyValue& value) {
  if (!IsValidValueName(name)) return KeyStoreStatus::kBadName;
  Key key;
  if (const KeyStoreStatus status = Open(path, KEY_QUERY_VALUE, *key.out());
      status != KeyStoreStatus::kOk) {
    return status;
  }
  DWORD type = 0;
  std::vector<std::uint8_t> data;
  if (const KeyStoreStatus status = ReadRaw(key.get(), ValueName(name), type, data);
      status != KeyStoreStatus::kOk) {
    return status;
  }
  KeyValue read{static_cast<ValueType>(type), std::move(data)};
  // Another program's value of a type we do not keep, or of an impossible size.
  if (!IsKnownType(type) || !IsWritableValue(read)) return KeyStoreStatus::kUnreadable;
  value = std::move(read);
  return KeyStoreStatus::kOk;
}

KeyStoreStatus RegistryKeyStore::WriteValue(std::u16string_view path, std::u16string_view name,
                                            const KeyValue& value) {
  if (!IsValidValueName(name)) return KeyStoreStatus::kBadName;
  if (!IsWritableValue(value)) return KeyStoreStatus::kBadValue;
  Key key;
  if (const KeyStoreStatus status = Open(path, KEY_SET_VALUE, *key.out());
      status != KeyStoreStatus::kOk) {
    return status;
  }
  // The registry replaces a value in one step: readers see the old or the new bytes.
  const LSTATUS result =
      ::RegSetValueExW(key.get(), ValueName(name).c_str(), 0, static_cast<DWORD>(value.type),
                       value.data.data(), static_cast<DWORD>(value.data.size()));
  return result == ERROR_SUCCESS ? KeyStoreStatus::kOk : KeyStoreStatus::kFailed;
}

KeyStoreStatus RegistryKeyStore::DeleteValue(std::u16string_view path, std::u16string_view name) {
  if (!IsValidValueName(name)) return KeyStoreStatus::kBadName;
  Key key;
  if (const KeyStoreStatus status = Open(path, KEY_SET_VALUE, *key.out());
      status != KeyStoreStatus::kOk) {
    return status;
  }
  return StatusOf(::RegDeleteValueW(key.get(), ValueName(name).c_str()));
}

KeyStoreStatus RegistryKeyStore::KeepDamagedValue(std::u16string_view path,
                                                  std::u16string_view name,
                                                  std::u16string& kept_name) {
  if (!IsValidValueName(name)) return KeyStoreStatus::kBadName;
  Key key;
  if (const KeyStoreStatus status = Open(path, KEY_QUERY_VALUE | KEY_SET_VALUE, *key.out());
      status != KeyStoreStatus::kOk) {
    return status;
  }
  DWORD type = 0;
  std::vector<std::uint8_t> data;
  if (const KeyStoreStatus status = ReadRaw(key.get(), ValueName(name), type, data);
      status != KeyStoreStatus::kOk) {
    return status;
  }
  // The value as it is stored, type and all, under a name of its own that is not taken yet.
  const std::u16string base = std::u16string(name) + WideToUtf16(Utf8ToWide(DamagedCopySuffix()));
  for (int number = 1; number < 100; ++number) {
    const std::u16string candidate =
        number == 1 ? base : base + WideToUtf16(L"-" + std::to_wstring(number));
    DWORD existing = 0;
    if (::RegQueryValueExW(key.get(), ValueName(candidate).c_str(), nullptr, &existing, nullptr,
                           nullptr) == ERROR_SUCCESS) {
      continue;
    }
    if (::RegSetValueExW(key.get(), ValueName(candidate).c_str(), 0, type, data.data(),
                         static_cast<DWORD>(data.size())) != ERROR_SUCCESS) {
      return KeyStoreStatus::kFailed;
    }
    kept_name = candidate;
    return KeyStoreStatus::kOk;
  }
  return KeyStoreStatus::kFailed;
}

KeyStoreStatus RegistryKeyStore::DeleteKey(std::u16string_view path) {
  const auto components = SplitKeyPath(path);
  if (!components || components->empty()) return KeyStoreStatus::kBadName;
  Key key;
  if (const KeyStoreStatus status = Open(path, KEY_READ, *key.out());
      status != KeyStoreStatus::kOk) {
    return status;
  }
  DWORD subkeys = 0;
  if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return KeyStoreStatus::kFailed;
  }
  if (subkeys > 0) return KeyStoreStatus::kHasSubkeys;
  // A key without subkeys goes in one step, its values with it.
  return StatusOf(::RegDeleteKeyExW(hive_, FullName(path)->c_str(), view_, 0));
}

std::wstring HomeStoreKey(const fs::path& root) {
  std::wstring name = root.native();
  std::replace(name.begin(), name.end(), L'\\', L'/');
  if (name.size() > 200) {
    // Too long for one key name: its end, told apart by a checksum of the whole.
    const std::string utf8 = WideToUtf8(root.native());
    wchar_t checksum[16];
    ::swprintf(checksum, 16, L"%08x",
               Crc32(std::span(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size())));
    name = name.substr(name.size() - 180) + L"#" + checksum;
  }
  return std::wstring(kHomesKey) + L"\\" + name;
}

std::unique_ptr<KeyStore> CreateSystemKeyStore(const fs::path& root) {
  if (!root.empty()) {
    return std::make_unique<RegistryKeyStore>(HKEY_CURRENT_USER, HomeStoreKey(root), 0);
  }
  // One place for every build of the utility: the system keeps a 32-bit program's keys under
  // HKEY_LOCAL_MACHINE\Software in the registry's 32-bit view, so a 64-bit build reads and
  // writes that view too, and finds what a 32-bit installation kept. Only settings that lie in
  // the 64-bit view alone are taken from there.
  REGSAM view = KEY_WOW64_32KEY;
  HKEY probe = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUtilityKey, 0, KEY_READ | KEY_WOW64_32KEY, &probe) ==
      ERROR_SUCCESS) {
    ::RegCloseKey(probe);
  } else if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUtilityKey, 0, KEY_READ | KEY_WOW64_64KEY,
                             &probe) == ERROR_SUCCESS) {
    ::RegCloseKey(probe);
    view = KEY_WOW64_64KEY;
  }
  return std::make_unique<RegistryKeyStore>(HKEY_LOCAL_MACHINE, std::wstring(), view);
}

std::string DescribeKeyStoreLocation(const fs::path& root) {
  if (root.empty()) return "HKEY_LOCAL_MACHINE";
  return "HKEY_CURRENT_USER\\" + WideToUtf8(HomeStoreKey(root));
}

// Registry keys are no folders; another program's change to them is not watched.
fs::path KeyStoreFolder(const fs::path& /*root*/, std::u16string_view /*key*/) { return {}; }

}  // namespace z900::platform
