#include "platform/key_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <regex>

#include "platform/linux/directory_key_store.h"
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

// The same rules hold for every store; each test runs against both.
template <typename Store>
class KeyStoreContractTest : public ::testing::Test {
 protected:
  KeyStore& store() { return store_; }

 private:
  test::TempFolder folder_;
  Store store_ = MakeStore();
  Store MakeStore() {
    if constexpr (std::is_same_v<Store, DirectoryKeyStore>) {
      return DirectoryKeyStore(folder_.path() / "registry");
    } else {
      return Store();
    }
  }
};

using StoreTypes = ::testing::Types<MemoryKeyStore, DirectoryKeyStore>;
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

// What only the folder tree has: files on disk.
class DirectoryKeyStoreTest : public ::testing::Test {
 protected:
  fs::path root() const { return folder.path() / "registry"; }
  test::TempFolder folder;
};

TEST_F(DirectoryKeyStoreTest, LaysKeysOutAsFoldersAndValuesAsFiles) {
  DirectoryKeyStore store(root());
  ASSERT_EQ(store.CreateKey(u"Software\\TALVO\\Z900\\Macro\\0000abcd"), Status::kOk);
  ASSERT_EQ(store.WriteValue(u"Software\\TALVO\\Z900\\Macro\\0000abcd", u"", BinaryValue({9})),
            Status::kOk);
  ASSERT_EQ(store.WriteValue(u"Software\\TALVO\\Z900", u"FirstRun", DwordValue(1)), Status::kOk);
  const fs::path macro_file = root() / "Software/TALVO/Z900/Macro/0000abcd/@";
  EXPECT_TRUE(fs::is_regular_file(macro_file));
  EXPECT_TRUE(fs::is_regular_file(root() / "Software/TALVO/Z900/@FirstRun"));
  EXPECT_EQ(store.ValueFile(u"Software\\TALVO\\Z900\\Macro\\0000abcd", u""), macro_file);
  // magic, version 1, type 3, length 1, the byte, CRC-32
  std::vector<std::uint8_t> bytes;
  ASSERT_FALSE(ReadWholeFile(macro_file, 1024, bytes));
  ASSERT_EQ(bytes.size(), 21u);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 17),
            (std::vector<std::uint8_t>{'Z', '9', 'K', 'V', 1, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 9}));

  // A second store on the same folder (another program) sees the same keys.
  DirectoryKeyStore other(root());
  KeyValue value;
  ASSERT_EQ(other.ReadValue(u"Software\\TALVO\\Z900", u"FirstRun", value), Status::kOk);
  EXPECT_EQ(DwordOf(value), 1u);
}

TEST_F(DirectoryKeyStoreTest, DamagedValueFilesAreUnreadable) {
  DirectoryKeyStore store(root());
  const std::u16string key = u"Software\\TALVO\\Z900";
  ASSERT_EQ(store.CreateKey(key), Status::kOk);
  ASSERT_EQ(store.WriteValue(key, u"ConfigInfo", BinaryValue({1, 2, 3, 4, 5, 6, 7, 8})),
            Status::kOk);
  const fs::path file = store.ValueFile(key, u"ConfigInfo");
  std::vector<std::uint8_t> good;
  ASSERT_FALSE(ReadWholeFile(file, 1024, good));

  auto flipped = good;
  flipped[18] ^= 0x01;  // a data byte
  auto bad_magic = good;
  bad_magic[0] = 'X';
  auto bad_type = EncodeValueFile(KeyValue{ValueType::kDword, {1, 2, 3, 4}});
  bad_type[8] = 9;  // CRC no longer matches either
  const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases = {
      {"empty", {}},
      {"truncated", std::vector<std::uint8_t>(good.begin(), good.end() - 5)},
      {"longer",
       [&] {
         auto longer = good;
         longer.push_back(0);
         return longer;
       }()},
      {"flipped data byte", flipped},
      {"wrong magic", bad_magic},
      {"unknown type", bad_type},
  };
  for (const auto& [label, bytes] : cases) {
    SCOPED_TRACE(label);
    ASSERT_FALSE(WriteFileAtomically(file, bytes));
    KeyValue value;
    EXPECT_EQ(store.ReadValue(key, u"ConfigInfo", value), Status::kUnreadable);
  }
  EXPECT_EQ(DecodeValueFile(good), BinaryValue({1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(DirectoryKeyStoreTest, FoldersAndFifosInPlaceOfAValueAreNeitherReadNorReplaced) {
  const std::u16string key = u"Software\\TALVO\\Z900";
  DirectoryKeyStore store(root());
  ASSERT_EQ(store.CreateKey(key), Status::kOk);
  fs::create_directory(store.ValueFile(key, u"Folder"));
  ASSERT_EQ(::mkfifo(store.ValueFile(key, u"Fifo").c_str(), 0600), 0);
  for (std::u16string_view name : {u"Folder", u"Fifo"}) {
    KeyValue value;
    EXPECT_EQ(store.ReadValue(key, name, value), Status::kNotAFile);
    EXPECT_EQ(store.WriteValue(key, name, DwordValue(1)), Status::kNotAFile);
    std::u16string kept;
    EXPECT_EQ(store.KeepDamagedValue(key, name, kept), Status::kNotAFile);
  }
  EXPECT_TRUE(fs::is_directory(store.ValueFile(key, u"Folder")));
  EXPECT_TRUE(fs::is_fifo(store.ValueFile(key, u"Fifo")));
}

TEST_F(DirectoryKeyStoreTest, ADamagedValueIsKeptByteForByte) {
  const std::u16string key = u"Software\\TALVO\\Z900";
  DirectoryKeyStore store(root());
  ASSERT_EQ(store.CreateKey(key), Status::kOk);
  const std::vector<std::uint8_t> damaged = {'Z', '9', 'K', 'V', 9, 9, 9};
  ASSERT_FALSE(WriteFileAtomically(store.ValueFile(key, u"ConfigInfo"), damaged));
  std::u16string kept;
  ASSERT_EQ(store.KeepDamagedValue(key, u"ConfigInfo", kept), Status::kOk);
  std::vector<std::uint8_t> bytes;
  ASSERT_FALSE(ReadWholeFile(store.ValueFile(key, kept), 100, bytes));
  EXPECT_EQ(bytes, damaged);
  // The value itself is untouched until it is written anew.
  ASSERT_FALSE(ReadWholeFile(store.ValueFile(key, u"ConfigInfo"), 100, bytes));
  EXPECT_EQ(bytes, damaged);
}

TEST_F(DirectoryKeyStoreTest, AnInterruptedWriteLeavesTheOldValue) {
  const std::u16string key = u"Software\\TALVO\\Z900\\Macro\\00000001";
  bool crash = false;
  DirectoryKeyStore store(root(), [&crash] { return !crash; });
  ASSERT_EQ(store.CreateKey(key), Status::kOk);
  ASSERT_EQ(store.WriteValue(key, u"", BinaryValue({1, 2, 3})), Status::kOk);
  crash = true;
  EXPECT_EQ(store.WriteValue(key, u"", BinaryValue(std::vector<std::uint8_t>(5000, 7))),
            Status::kFailed);
  KeyValue value;
  ASSERT_EQ(DirectoryKeyStore(root()).ReadValue(key, u"", value), Status::kOk);
  EXPECT_EQ(value.data, (std::vector<std::uint8_t>{1, 2, 3}));
  // No temporary file is left beside the value.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry :
       fs::directory_iterator(store.ValueFile(key, u"").parent_path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
}

TEST_F(DirectoryKeyStoreTest, EnumerationSkipsWhatIsNoKey) {
  DirectoryKeyStore store(root());
  ASSERT_EQ(store.CreateKey(u"Base\\b"), Status::kOk);
  ASSERT_EQ(store.WriteValue(u"Base", u"a", BinaryValue({1})), Status::kOk);  // file "@a"
  fs::create_directory(root() / "Base" / ".deleted-1-2");  // left by a crash during a delete
  fs::create_directory(root() / "Base" / "@odd");
  std::ofstream(root() / "Base" / "plain-file") << "x";
  fs::create_directory_symlink(folder.path(), root() / "Base" / "link");
  fs::create_directory(root() / "Base" / std::string("bad\xff"));
  std::vector<std::u16string> names;
  ASSERT_EQ(store.EnumerateSubkeys(u"Base", names), Status::kOk);
  EXPECT_THAT(names, ElementsAre(u"b"));
}

TEST(KeyValueTest, TypedAccessorsRefuseOtherTypes) {
  EXPECT_EQ(DwordValue(0x11223344).data, (std::vector<std::uint8_t>{0x44, 0x33, 0x22, 0x11}));
  EXPECT_EQ(StringValue(u"Hi").data, (std::vector<std::uint8_t>{'H', 0, 'i', 0, 0, 0}));
  EXPECT_EQ(DwordOf(BinaryValue({1, 2, 3, 4})), std::nullopt);
  EXPECT_EQ(DwordOf(KeyValue{ValueType::kDword, {1, 2, 3}}), std::nullopt);
  EXPECT_EQ(StringOf(KeyValue{ValueType::kString, {'a', 0, 'b'}}), std::nullopt);
  EXPECT_EQ(StringOf(KeyValue{ValueType::kString, {'a', 0}}), u"a");  // no terminator
}

}  // namespace
}  // namespace z900::platform
