#include "platform/key_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "platform/memory_key_store.h"
#include "platform/text.h"
#include "support/temp_folder.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Status = KeyStoreStatus;

constexpr std::u16string_view kBase = u"Software\\TALVO\\Z900";

// The store of this system for a Z900_HOME folder (the folder tree on Linux, a registry key of
// the current user on Windows).
struct SystemKeyStore {};

// The same rules hold for every store; each test runs against both.
template <typename Store>
class KeyStoreContractTest : public ::testing::Test {
 protected:
  KeyStore& store() { return *store_; }

 private:
  test::TempFolder folder_;
  std::unique_ptr<KeyStore> store_ = MakeStore();
  std::unique_ptr<KeyStore> MakeStore() {
    if constexpr (std::is_same_v<Store, SystemKeyStore>) {
      return CreateSystemKeyStore(folder_.path() / "registry");
    } else {
      return std::make_unique<Store>();
    }
  }
};

using StoreTypes = ::testing::Types<MemoryKeyStore, SystemKeyStore>;
TYPED_TEST_SUITE(KeyStoreContractTest, StoreTypes);

TYPED_TEST(KeyStoreContractTest, KeysAreCreatedWithTheirParentsAndEnumerateInOrder) {
  KeyStore& store = this->store();
  EXPECT_EQ(store.OpenKey(kBase), Status::kNotFound);
  std::vector<std::u16string> names{u"stale"};
  EXPECT_EQ(store.EnumerateSubkeys(kBase, names), Status::kNotFound);
  for (std::u16string_view id : {u"00ff0000", u"00000010", u"000a0000", u"00000002"}) {
    ASSERT_EQ(store.CreateKey(std::u16string(kBase) + u"\\Macro\\" + std::u16string(id)),
              Status::kOk);
  }
  EXPECT_EQ(store.CreateKey(u"Software\\TALVO\\Z900\\Macro\\"), Status::kOk);  // exists already
  EXPECT_EQ(store.OpenKey(u"Software\\TALVO"), Status::kOk);
  ASSERT_EQ(store.EnumerateSubkeys(u"Software\\TALVO\\Z900\\Macro\\", names), Status::kOk);
  EXPECT_THAT(names, ElementsAre(u"00000002", u"00000010", u"000a0000", u"00ff0000"));
  ASSERT_EQ(store.EnumerateSubkeys(u"", names), Status::kOk);
  EXPECT_THAT(names, ElementsAre(u"Software"));
}

TYPED_TEST(KeyStoreContractTest, ValuesKeepTheirTypeAndBytes) {
  KeyStore& store = this->store();
  ASSERT_EQ(store.CreateKey(kBase), Status::kOk);
  const KeyValue binary = BinaryValue({1, 2, 3, 0, 255});
  const KeyValue empty = BinaryValue({});
  ASSERT_EQ(store.WriteValue(kBase, u"", binary), Status::kOk);
  ASSERT_EQ(store.WriteValue(kBase, u"ConfigInfo", empty), Status::kOk);
  ASSERT_EQ(store.WriteValue(kBase, u"FirstRun", DwordValue(0x01020304)), Status::kOk);
  ASSERT_EQ(store.WriteValue(kBase, u"Title", StringValue(u"Zürich ✓")), Status::kOk);

  KeyValue read;
  ASSERT_EQ(store.ReadValue(kBase, u"", read), Status::kOk);
  EXPECT_EQ(read, binary);
  ASSERT_EQ(store.ReadValue(kBase, u"ConfigInfo", read), Status::kOk);
  EXPECT_EQ(read, empty);
  ASSERT_EQ(store.ReadValue(kBase, u"FirstRun", read), Status::kOk);
  EXPECT_EQ(DwordOf(read), 0x01020304u);
  EXPECT_EQ(StringOf(read), std::nullopt);
  ASSERT_EQ(store.ReadValue(kBase, u"Title", read), Status::kOk);
  EXPECT_EQ(StringOf(read), u"Zürich ✓");

  // Overwrite, then delete.
  ASSERT_EQ(store.WriteValue(kBase, u"", DwordValue(7)), Status::kOk);
  ASSERT_EQ(store.ReadValue(kBase, u"", read), Status::kOk);
  EXPECT_EQ(DwordOf(read), 7u);
  EXPECT_EQ(store.DeleteValue(kBase, u"FirstRun"), Status::kOk);
  EXPECT_EQ(store.ReadValue(kBase, u"FirstRun", read), Status::kNotFound);
  EXPECT_EQ(store.DeleteValue(kBase, u"FirstRun"), Status::kNotFound);
  // Values are not subkeys.
  std::vector<std::u16string> names;
  ASSERT_EQ(store.EnumerateSubkeys(kBase, names), Status::kOk);
  EXPECT_THAT(names, IsEmpty());
}

TYPED_TEST(KeyStoreContractTest, WritesNeedAnExistingKeyAndAStorableValue) {
  KeyStore& store = this->store();
  KeyValue read;
  EXPECT_EQ(store.WriteValue(kBase, u"", BinaryValue({1})), Status::kNotFound);
  EXPECT_EQ(store.ReadValue(kBase, u"", read), Status::kNotFound);
  ASSERT_EQ(store.CreateKey(kBase), Status::kOk);
  EXPECT_EQ(store.WriteValue(kBase, u"", KeyValue{ValueType::kDword, {1, 2}}), Status::kBadValue);
  EXPECT_EQ(store.WriteValue(kBase, u"", KeyValue{ValueType::kString, {1}}), Status::kBadValue);
  EXPECT_EQ(store.WriteValue(kBase, u"", KeyValue{static_cast<ValueType>(9), {}}),
            Status::kBadValue);
  EXPECT_EQ(store.WriteValue(kBase, u"", BinaryValue(std::vector<std::uint8_t>(kMaxValueSize + 1))),
            Status::kBadValue);
  EXPECT_EQ(store.ReadValue(kBase, u"", read), Status::kNotFound);
}

TYPED_TEST(KeyStoreContractTest, NamesThatCouldLeaveTheStoreAreRefused) {
  KeyStore& store = this->store();
  ASSERT_EQ(store.CreateKey(kBase), Status::kOk);
  const std::u16string too_long(kMaxNameBytes + 1, u'k');
  const std::u16string lone_surrogate(1, static_cast<char16_t>(0xD800));
  for (std::u16string_view path :
       {std::u16string_view(u".."), std::u16string_view(u"Software\\..\\..\\etc"),
        std::u16string_view(u"Software\\.\\TALVO"), std::u16string_view(u"\\Software"),
        std::u16string_view(u"Software\\\\TALVO"), std::u16string_view(u"Software/../x"),
        std::u16string_view(u"a/b"), std::u16string_view(u"@"), std::u16string_view(u".hidden"),
        std::u16string_view(u"x\0y", 3), std::u16string_view(too_long),
        std::u16string_view(lone_surrogate)}) {
    SCOPED_TRACE(::testing::PrintToString(std::u16string(path)));
    std::vector<std::u16string> names;
    KeyValue value;
    EXPECT_EQ(store.CreateKey(path), Status::kBadName);
    EXPECT_EQ(store.OpenKey(path), Status::kBadName);
    EXPECT_EQ(store.EnumerateSubkeys(path, names), Status::kBadName);
    EXPECT_EQ(store.WriteValue(path, u"", BinaryValue({1})), Status::kBadName);
    EXPECT_EQ(store.ReadValue(path, u"", value), Status::kBadName);
    EXPECT_EQ(store.DeleteKey(path), Status::kBadName);
  }
  for (std::u16string_view name : {std::u16string_view(u"../x"), std::u16string_view(u"a/b"),
                                   std::u16string_view(u"x\0y", 3)}) {
    EXPECT_EQ(store.WriteValue(kBase, name, BinaryValue({1})), Status::kBadName);
  }
  // A value name may hold what a key name may not.
  EXPECT_EQ(store.WriteValue(kBase, u"..", BinaryValue({1})), Status::kOk);
  EXPECT_EQ(store.WriteValue(kBase, u"a\\b", BinaryValue({2})), Status::kOk);
  KeyValue value;
  ASSERT_EQ(store.ReadValue(kBase, u"a\\b", value), Status::kOk);
  EXPECT_EQ(value.data, std::vector<std::uint8_t>{2});
}

TYPED_TEST(KeyStoreContractTest, DeleteKeyRemovesItsValuesButNotAKeyWithSubkeys) {
  KeyStore& store = this->store();
  const std::u16string macro = std::u16string(kBase) + u"\\Macro\\00000001";
  ASSERT_EQ(store.CreateKey(macro), Status::kOk);
  ASSERT_EQ(store.WriteValue(macro, u"", BinaryValue({1, 2})), Status::kOk);
  EXPECT_EQ(store.DeleteKey(kBase), Status::kHasSubkeys);
  EXPECT_EQ(store.DeleteKey(u""), Status::kBadName);
  EXPECT_EQ(store.DeleteKey(macro), Status::kOk);
  EXPECT_EQ(store.OpenKey(macro), Status::kNotFound);
  EXPECT_EQ(store.DeleteKey(macro), Status::kNotFound);
  std::vector<std::u16string> names;
  ASSERT_EQ(store.EnumerateSubkeys(std::u16string(kBase) + u"\\Macro", names), Status::kOk);
  EXPECT_THAT(names, IsEmpty());
  // Created again, it starts without the old values.
  ASSERT_EQ(store.CreateKey(macro), Status::kOk);
  KeyValue value;
  EXPECT_EQ(store.ReadValue(macro, u"", value), Status::kNotFound);
}

TYPED_TEST(KeyStoreContractTest, DamagedValuesAreKeptBesideUnderTheirDate) {
  KeyStore& store = this->store();
  ASSERT_EQ(store.CreateKey(kBase), Status::kOk);
  std::u16string kept;
  EXPECT_EQ(store.KeepDamagedValue(kBase, u"ConfigInfo", kept), Status::kNotFound);
  ASSERT_EQ(store.WriteValue(kBase, u"ConfigInfo", BinaryValue({7})), Status::kOk);
  std::u16string again;
  ASSERT_EQ(store.KeepDamagedValue(kBase, u"ConfigInfo", kept), Status::kOk);
  ASSERT_EQ(store.KeepDamagedValue(kBase, u"ConfigInfo", again), Status::kOk);
  const std::string name = Utf16ToUtf8(kept);
  EXPECT_TRUE(std::regex_match(name, std::regex(R"(ConfigInfo\.damaged-\d{8}-\d{6})"))) << name;
  // Within one second the second copy takes a number.
  if (Utf16ToUtf8(again).starts_with(name)) {
    EXPECT_EQ(again, kept + u"-2");
  }
  for (std::u16string_view value_name : {std::u16string_view(u"ConfigInfo"),
                                         std::u16string_view(kept), std::u16string_view(again)}) {
    KeyValue value;
    ASSERT_EQ(store.ReadValue(kBase, value_name, value), Status::kOk);
    EXPECT_EQ(value, BinaryValue({7}));
  }
}

}  // namespace
}  // namespace z900::platform
