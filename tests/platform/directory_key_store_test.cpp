#include "platform/linux/directory_key_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/text.h"
#include "support/temp_folder.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using Status = KeyStoreStatus;

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
