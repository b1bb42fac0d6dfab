#include "platform/memory_key_store.h"

#include <algorithm>
#include <string>

namespace z900::platform {
namespace {

// The key's canonical name, or nullopt when the path is refused.
std::optional<std::u16string> Canonical(std::u16string_view path) {
  const auto components = SplitKeyPath(path);
  if (!components) return std::nullopt;
  std::u16string joined;
  for (const auto& component : *components) {
    if (!joined.empty()) joined += u'\\';
    joined += component;
  }
  return joined;
}

// The name of a direct subkey of `parent`, or nullopt when `key` is none.
std::optional<std::u16string_view> ChildName(std::u16string_view parent, std::u16string_view key) {
  if (parent.empty()) {
    if (key.empty() || key.find(u'\\') != std::u16string_view::npos) return std::nullopt;
    return key;
  }
  if (key.size() <= parent.size() + 1 || !key.starts_with(parent) || key[parent.size()] != u'\\') {
    return std::nullopt;
  }
  const std::u16string_view rest = key.substr(parent.size() + 1);
  if (rest.find(u'\\') != std::u16string_view::npos) return std::nullopt;
  return rest;
}

}  // namespace

MemoryKeyStore::MemoryKeyStore() { keys_.emplace(u"", Values{}); }

KeyStoreStatus MemoryKeyStore::OpenKey(std::u16string_view path) {
  const auto key = Canonical(path);
  if (!key) return KeyStoreStatus::kBadName;
  return keys_.contains(*key) ? KeyStoreStatus::kOk : KeyStoreStatus::kNotFound;
}

KeyStoreStatus MemoryKeyStore::CreateKey(std::u16string_view path) {
  const auto components = SplitKeyPath(path);
  if (!components) return KeyStoreStatus::kBadName;
  if (OpenKey(path) == KeyStoreStatus::kOk) return KeyStoreStatus::kOk;
  if (fail_writes_) return KeyStoreStatus::kFailed;
  std::u16string joined;
  for (const auto& component : *components) {
    if (!joined.empty()) joined += u'\\';
    joined += component;
    keys_.try_emplace(joined);
  }
  return KeyStoreStatus::kOk;
}

KeyStoreStatus MemoryKeyStore::EnumerateSubkeys(std::u16string_view path,
                                                std::vector<std::u16string>& names) {
  const auto key = Canonical(path);
  if (!key) return KeyStoreStatus::kBadName;
  if (!keys_.contains(*key)) return KeyStoreStatus::kNotFound;
  names.clear();
  for (const auto& [other, values] : keys_) {
    if (auto child = ChildName(*key, other)) names.emplace_back(*child);
  }
  std::sort(names.begin(), names.end());
  return KeyStoreStatus::kOk;
}

KeyStoreStatus MemoryKeyStore::FindKey(std::u16string_view path, std::u16string_view name,
                                       Values*& values) {
  const auto key = Canonical(path);
  if (!key || !IsValidValueName(name)) return KeyStoreStatus::kBadName;
  const auto found = keys_.find(*key);
  if (found == keys_.end()) return KeyStoreStatus::kNotFound;
  values = &found->second;
  return KeyStoreStatus::kOk;
}

KeyStoreStatus MemoryKeyStore::FindValue(std::u16string_view path, std::u16string_view name,
                                         Values*& values, Values::iterator& stored) {
  if (const KeyStoreStatus status = FindKey(path, name, values); status != KeyStoreStatus::kOk) {
    return status;
  }
  stored = values->find(name);
  return stored == values->end() ? KeyStoreStatus::kNotFound : KeyStoreStatus::kOk;
}

KeyStoreStatus MemoryKeyStore::ReadValue(std::u16string_view path, std::u16string_view name,
                                         KeyValue& value) {
  Values* values = nullptr;
  Values::iterator stored;
  if (const KeyStoreStatus status = FindValue(path, name, values, stored);
      status != KeyStoreStatus::kOk) {
    return status;
  }
  value = stored->second;
  return KeyStoreStatus::kOk;
}

KeyStoreStatus MemoryKeyStore::WriteValue(std::u16string_view path, std::u16string_view name,
                                          const KeyValue& value) {
  Values* values = nullptr;
  if (const KeyStoreStatus status = FindKey(path, name, values); status != KeyStoreStatus::kOk) {
    return status;
  }
  if (!IsWritableValue(value)) return KeyStoreStatus::kBadValue;
  if (fail_writes_) return KeyStoreStatus::kFailed;
  values->insert_or_assign(std::u16string(name), value);
  return KeyStoreStatus::kOk;
}

KeyStoreStatus MemoryKeyStore::DeleteValue(std::u16string_view path, std::u16string_view name) {
  Values* values = nullptr;
  Values::iterator stored;
  if (const KeyStoreStatus status = FindValue(path, name, values, stored);
      status != KeyStoreStatus::kOk) {
    return status;
  }
  if (fail_writes_) return KeyStoreStatus::kFailed;
  values->erase(stored);
  return KeyStoreStatus::kOk;
}

KeyStoreStatus MemoryKeyStore::KeepDamagedValue(std::u16string_view path, std::u16string_view name,
                                                std::u16string& kept_name) {
  Values* values = nullptr;
  Values::iterator stored;
  if (const KeyStoreStatus status = FindValue(path, name, values, stored);
      status != KeyStoreStatus::kOk) {
    return status;
  }
  if (fail_writes_) return KeyStoreStatus::kFailed;
  const std::string suffix = DamagedCopySuffix();
  const std::u16string base = std::u16string(name) + std::u16string(suffix.begin(), suffix.end());
  std::u16string candidate = base;
  for (int number = 2; values->contains(candidate); ++number) {
    const std::string count = "-" + std::to_string(number);
    candidate = base + std::u16string(count.begin(), count.end());
  }
  const KeyValue copy = stored->second;
  values->emplace(candidate, copy);
  kept_name = candidate;
  return KeyStoreStatus::kOk;
}

KeyStoreStatus MemoryKeyStore::DeleteKey(std::u16string_view path) {
  const auto key = Canonical(path);
  if (!key || key->empty()) return KeyStoreStatus::kBadName;
  const auto found = keys_.find(*key);
  if (found == keys_.end()) return KeyStoreStatus::kNotFound;
  for (const auto& [other, values] : keys_) {
    if (ChildName(*key, other)) return KeyStoreStatus::kHasSubkeys;
  }
  if (fail_writes_) return KeyStoreStatus::kFailed;
  keys_.erase(found);
  return KeyStoreStatus::kOk;
}

}  // namespace z900::platform
