#pragma once

#include <map>
#include <string>

#include "platform/key_store.h"

namespace z900::platform {

// A key store held in memory, with the same rules as the platform's store; for tests.
class MemoryKeyStore final : public KeyStore {
 public:
  MemoryKeyStore();

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

  // While set, every write and delete fails with kFailed and changes nothing.
  void set_fail_writes(bool fail) { fail_writes_ = fail; }

 private:
  using Values = std::map<std::u16string, KeyValue, std::less<>>;
  // The values of the key at `path`, checking both names.
  KeyStoreStatus FindKey(std::u16string_view path, std::u16string_view name, Values*& values);
  // The same, and the stored value itself.
  KeyStoreStatus FindValue(std::u16string_view path, std::u16string_view name, Values*& values,
                           Values::iterator& stored);
  // Keys by their components joined with '\'; the root is the empty text.
  std::map<std::u16string, Values, std::less<>> keys_;
  bool fail_writes_ = false;
};

}  // namespace z900::platform
