#include "macro/macro_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "macro/macro_rows.h"
#include "platform/memory_key_store.h"
#include "support/only_on.h"
#include "support/system_files.h"
#include "support/temp_folder.h"

namespace z900::macro {
namespace {

using platform::BinaryValue;
using platform::KeyStoreStatus;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

MacroRecord Macro(std::uint32_t id, std::u16string_view name,
                  std::vector<MacroRow> rows = {KeyRow(kRowKeyDown, 'A'), KeyRow(kRowKeyUp, 'A')}) {
  const MacroBuild build = BuildMacroRecord(rows, id, name, u"1");
  EXPECT_EQ(build.status, BuildStatus::kBuilt);
  return build.record;
}

std::u16string Key(std::u16string_view subkey) {
  return std::u16string(kMacroBaseKey) + std::u16string(subkey);
}

// The macro store on the system's store of a Z900_HOME folder (a folder tree on Linux, the
// registry on Windows).
class MacroStoreTest : public ::testing::Test {
 protected:
  // Stores raw bytes as the default value of a subkey, as another program might.
  void Put(std::u16string_view subkey, platform::KeyValue value) {
    ASSERT_EQ(store.CreateKey(Key(subkey)), KeyStoreStatus::kOk);
    ASSERT_EQ(store.WriteValue(Key(subkey), u"", value), KeyStoreStatus::kOk);
  }

  test::TempFolder folder;
  std::unique_ptr<platform::KeyStore> system_store =
      platform::CreateSystemKeyStore(folder.path() / "registry");
  platform::KeyStore& store = *system_store;
};

TEST_F(MacroStoreTest, SavedMacrosListInAscendingSubkeyOrderAndLoadBack) {
  EXPECT_THAT(ListMacros(store), IsEmpty());  // no base key yet
  ASSERT_TRUE(SaveMacro(store, Macro(0xFF0001, u"Last")));
  ASSERT_TRUE(SaveMacro(store, Macro(0x000002, u"First")));
  ASSERT_TRUE(SaveMacro(store, Macro(0x00A000, u"Middle")));
  EXPECT_THAT(ListMacros(store),
              ElementsAre(MacroListEntry{0x000002, u"First"}, MacroListEntry{0x00A000, u"Middle"},
                          MacroListEntry{0xFF0001, u"Last"}));
  EXPECT_EQ(store.OpenKey(u"Software\\TALVO\\Z900\\Macro\\0000a000"), KeyStoreStatus::kOk);

  const MacroRecord saved = Macro(0x00A000, u"Middle");
  const std::optional<MacroRecord> loaded = LoadMacro(store, 0x00A000);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(MacroRecordBytes(*loaded), MacroRecordBytes(saved));
  // Only the first `size` bytes are stored.
  platform::KeyValue value;
  ASSERT_EQ(store.ReadValue(Key(u"0000a000"), u"", value), KeyStoreStatus::kOk);
  EXPECT_EQ(value.type, platform::ValueType::kBinary);
  EXPECT_EQ(value.data.size(), 72u);

  std::string why;
  EXPECT_FALSE(LoadMacro(store, 0x123, &why));
  EXPECT_EQ(why, "no macro 00000123 is stored");
}

TEST_F(MacroStoreTest, ListingSkipsWhatIsNoMacroAndTrustsTheIdInside) {
  ASSERT_TRUE(SaveMacro(store, Macro(0x10, u"Good")));
  std::vector<std::uint8_t> other_id = MacroRecordBytes(Macro(0x99, u"Moved"));
  Put(u"00000020", BinaryValue(other_id));                             // its id says 0x99
  Put(u"00000030", platform::DwordValue(5));                           // not binary
  Put(u"00000040", BinaryValue(std::vector<std::uint8_t>(63, 0xE8)));  // shorter than a header
  Put(u"00000050", BinaryValue(std::vector<std::uint8_t>(64, 0)));     // fails the listing test
  ASSERT_EQ(store.CreateKey(Key(u"00000060")), KeyStoreStatus::kOk);   // no value
  Put(u"00000070", BinaryValue(MacroRecordBytes(Macro(0x70, u"Damaged"))));
  test::DamageStoredValue(folder.path() / "registry", Key(u"00000070"), u"");
  // The looser listing test: a short size with the magic's upper half, or a size of 68 or more
  // with any magic.
  MacroRecord small = Macro(0x80, u"Small");
  small.size = 10;
  std::vector<std::uint8_t> small_bytes(64 + 8);
  std::memcpy(small_bytes.data(), &small, small_bytes.size());
  Put(u"00000080", BinaryValue(small_bytes));
  MacroRecord foreign = Macro(0x90, u"Foreign");
  foreign.magic = 0x12345678;
  Put(u"00000090", BinaryValue(MacroRecordBytes(foreign)));

  EXPECT_THAT(ListMacros(store),
              ElementsAre(MacroListEntry{0x10, u"Good"}, MacroListEntry{0x99, u"Moved"},
                          MacroListEntry{0x80, u"Small"}, MacroListEntry{0x90, u"Foreign"}));
}

TEST_F(MacroStoreTest, LoadRefusesValuesThatCannotBeRecords) {
  Put(u"00000001", BinaryValue({1, 2}));
  Put(u"00000002", platform::StringValue(u"text"));
  std::vector<std::uint8_t> overlong = MacroRecordBytes(Macro(3, u"x"));
  overlong[60] = 200;  // 200 events in 72 bytes
  Put(u"00000003", BinaryValue(overlong));
  std::string why;
  EXPECT_FALSE(LoadMacro(store, 1, &why));
  EXPECT_THAT(why, HasSubstr("damaged"));
  EXPECT_FALSE(LoadMacro(store, 2, &why));
  EXPECT_THAT(why, HasSubstr("not binary"));
  EXPECT_FALSE(LoadMacro(store, 3, &why));
  EXPECT_THAT(why, HasSubstr("event count 200"));
}

TEST_F(MacroStoreTest, SaveRefusesRecordsThatAreNotWellFormed) {
  const std::pair<const char*, void (*)(MacroRecord&)> cases[] = {
      {"size below 68", [](MacroRecord& r) { r.size = 64; }},
      {"other magic", [](MacroRecord& r) { r.magic = 0xE9E80010; }},
      {"events past size", [](MacroRecord& r) { r.event_count = 3; }},
      {"larger than a record", [](MacroRecord& r) { r.size = sizeof(MacroRecord) + 4; }},
  };
  for (const auto& [label, spoil] : cases) {
    MacroRecord record = Macro(0x42, u"x");
    spoil(record);
    std::string why;
    EXPECT_FALSE(SaveMacro(store, record, &why)) << label;
    EXPECT_THAT(why, HasSubstr("not saved")) << label;
  }
  EXPECT_EQ(store.OpenKey(Key(u"00000042")), KeyStoreStatus::kNotFound);
  // The upper half of the magic is enough to be written.
  MacroRecord variant = Macro(0x42, u"x");
  variant.magic = 0xE8E80099;
  EXPECT_TRUE(SaveMacro(store, variant));
}

TEST_F(MacroStoreTest, AnInterruptedSaveLeavesTheStoredMacroIntact) {
  Z900_LINUX_ONLY("a value written in steps that a crash can stop (the registry writes it in one)");
  ASSERT_TRUE(SaveMacro(store, Macro(0x31, u"Before")));
  const auto crashing = test::StoreThatStopsBeforeReplacing(folder.path() / "registry");
  std::string why;
  EXPECT_FALSE(SaveMacro(*crashing, Macro(0x31, u"After", {KeyRow(kRowKeyDown, 'B')}), &why));
  EXPECT_THAT(why, HasSubstr("not saved"));
  const std::optional<MacroRecord> loaded = LoadMacro(store, 0x31);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(MacroRecordBytes(*loaded), MacroRecordBytes(Macro(0x31, u"Before")));
}

TEST_F(MacroStoreTest, RenameAndDelete) {
  ASSERT_TRUE(SaveMacro(store, Macro(0x51, u"Old")));
  EXPECT_EQ(RenameMacro(store, 0x51, u"A rather long new name"), RenameResult::kRenamed);
  std::optional<MacroRecord> loaded = LoadMacro(store, 0x51);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(MacroName(*loaded), u"A rather long new n");
  EXPECT_EQ(loaded->event_count, 2u);
  EXPECT_EQ(RenameMacro(store, 0x52, u"x"), RenameResult::kNotStored);
  EXPECT_EQ(store.OpenKey(Key(u"00000052")), KeyStoreStatus::kNotFound);

  // A record filed under another subkey is renamed where it lies; the macro its id names is
  // left alone.
  ASSERT_TRUE(SaveMacro(store, Macro(0x99, u"Owner of 99")));
  Put(u"00000053", BinaryValue(MacroRecordBytes(Macro(0x99, u"Stray"))));
  EXPECT_EQ(RenameMacro(store, 0x53, u"Renamed"), RenameResult::kRenamed);
  EXPECT_EQ(MacroName(*LoadMacro(store, 0x53)), u"Renamed");
  EXPECT_EQ(MacroName(*LoadMacro(store, 0x99)), u"Owner of 99");

  EXPECT_TRUE(DeleteMacro(store, 0x51));
  EXPECT_FALSE(LoadMacro(store, 0x51));
  std::string why;
  EXPECT_FALSE(DeleteMacro(store, 0x51, &why));
  EXPECT_EQ(why, "no macro 00000051 is stored");
  EXPECT_THAT(ListMacros(store),
              ElementsAre(MacroListEntry{0x99, u"Renamed"}, MacroListEntry{0x99, u"Owner of 99"}));
}

TEST_F(MacroStoreTest, FailedWritesAreReported) {
  platform::MemoryKeyStore memory;
  ASSERT_TRUE(SaveMacro(memory, Macro(1, u"x")));
  memory.set_fail_writes(true);
  std::string why;
  EXPECT_FALSE(SaveMacro(memory, Macro(1, u"y"), &why));
  EXPECT_THAT(why, HasSubstr("could not be written"));
  EXPECT_EQ(RenameMacro(memory, 1, u"z"), RenameResult::kFailed);
  EXPECT_FALSE(DeleteMacro(memory, 1));
  EXPECT_EQ(MacroName(*LoadMacro(memory, 1)), u"x");
}

TEST_F(MacroStoreTest, NewIdsNeverReplaceAStoredMacro) {
  // The tick's low 24 bits, skipping ids in use by subkey, by the record inside, or by macros
  // the editor has not stored yet; 0 is never an id.
  EXPECT_EQ(NewMacroId(store, 0x5000123), 0x000123u);
  ASSERT_TRUE(SaveMacro(store, Macro(0x000123, u"a")));
  Put(u"00000124", BinaryValue(MacroRecordBytes(Macro(0x000200, u"b"))));
  const std::uint32_t unsaved[] = {0x000125};
  EXPECT_EQ(NewMacroId(store, 0x1000123, unsaved), 0x000126u);
  EXPECT_EQ(NewMacroId(store, 0x0000200), 0x000201u);
  EXPECT_EQ(NewMacroId(store, 0x1000000), 0x000001u);
  const std::uint32_t top[] = {0xFFFFFF};
  EXPECT_EQ(NewMacroId(store, 0xFFFFFF, top), 0x000001u);
  EXPECT_TRUE(IsMacroIdTaken(store, 0x000124));
  EXPECT_TRUE(IsMacroIdTaken(store, 0x000200));
  EXPECT_FALSE(IsMacroIdTaken(store, 0x000201));
}

}  // namespace
}  // namespace z900::macro
