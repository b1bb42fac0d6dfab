#include "macro/macro_rows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "device/device_macro.h"
#include "platform/virtual_key.h"

namespace z900::macro {
namespace {

using ::testing::ElementsAre;

MacroRow Down(std::uint32_t key) { return KeyRow(kRowKeyDown, key); }
MacroRow Up(std::uint32_t key) { return KeyRow(kRowKeyUp, key); }
MacroRow Delay(std::uint32_t ms) { return DelayRow(ms); }

std::vector<std::uint32_t> Events(const MacroRecord& record) {
  return {record.events, record.events + record.event_count};
}

// The encoder reads the record where the record keeps its fields.
static_assert(offsetof(MacroRecord, magic) == device::kMacroMagicOffset);
static_assert(offsetof(MacroRecord, loop_count) == device::kMacroLoopCountOffset);
static_assert(offsetof(MacroRecord, event_count) == device::kMacroEventCountOffset);
static_assert(offsetof(MacroRecord, events) == device::kMacroEventsOffset);
static_assert(kMacroMagic == device::kMacroRecordMagic);
static_assert(kEventKeyDown == device::kMacroKeyDown && kEventKeyUp == device::kMacroKeyUp &&
              kEventDelay == device::kMacroDelay);

TEST(MacroRowTest, RowsCarryKindValueAndText) {
  EXPECT_EQ(Down('A').tag, 0x03000041u);
  EXPECT_EQ(Down('A').text, u"A");
  EXPECT_EQ(Up(platform::kVkLControl).text, u"L_Ctrl");
  EXPECT_EQ(Up(platform::kVkShift).text, u"");
  EXPECT_EQ(Delay(120).text, u"120  ms");
  EXPECT_EQ(Delay(120).tag, 0x04000078u);
  const MacroRow long_pause = DelayRow(0x1000005);  // more than 24 bits of milliseconds
  EXPECT_EQ(long_pause.value(), 5u);
  EXPECT_EQ(long_pause.text, u"16777221  ms");
  EXPECT_EQ(RowTag(kRowMacro, 0x12345678), 0x12345678u);
}

TEST(BuildMacroRecordTest, MergesDelaysDropsLeadingOnesAndSizesTheRecord) {
  std::vector<MacroRow> rows = {Delay(100), Down('A'), Delay(200), Delay(300), Up('A')};
  const MacroBuild build = BuildMacroRecord(rows, 0x123456, u"Test", u"5");
  ASSERT_EQ(build.status, BuildStatus::kBuilt);
  EXPECT_THAT(rows, ElementsAre(Delay(100), Down('A'), Delay(500), Up('A')));
  EXPECT_EQ(build.merged_row, 2u);
  const MacroRecord& record = build.record;
  EXPECT_EQ(record.size, 80u);
  EXPECT_EQ(record.magic, kMacroMagic);
  EXPECT_EQ(record.id, 0x123456u);
  EXPECT_EQ(record.reserved, 0u);
  EXPECT_EQ(record.loop_count, 5u);
  EXPECT_EQ(MacroName(record), u"Test");
  EXPECT_EQ(record.event_count, 3u);
  EXPECT_THAT(Events(record), ElementsAre(0xC0000041, 0xA00001F4, 0xE0000041));
  // The byte image: header, three events, and one zeroed word for the dropped delay.
  const std::vector<std::uint8_t> bytes = MacroRecordBytes(record);
  ASSERT_EQ(bytes.size(), 80u);
  EXPECT_THAT(std::vector<std::uint8_t>(bytes.begin() + 76, bytes.end()), ElementsAre(0, 0, 0, 0));
  EXPECT_THAT(std::vector<std::uint8_t>(bytes.begin() + 20 + 8, bytes.begin() + 60),
              ::testing::Each(0));  // the name field after "Test" and its terminator
}

TEST(BuildMacroRecordTest, DelayMergeCases) {
  struct Case {
    const char* label;
    std::vector<MacroRow> rows;
    std::vector<MacroRow> merged;
  };
  const Case cases[] = {
      {"two long delays cap",
       {Down('A'), Delay(200000), Delay(200000)},
       {Down('A'), Delay(327670)}},
      {"a run collapses into one row",
       {Down('A'), Delay(1), Delay(2), Delay(3), Delay(4), Up('A')},
       {Down('A'), Delay(10), Up('A')}},
      {"the cap applies to the running sum",
       {Down('A'), Delay(327000), Delay(1000), Delay(5)},
       {Down('A'), Delay(327670)}},
      {"separate runs merge separately",
       {Down('A'), Delay(1), Delay(1), Up('A'), Delay(2), Delay(2)},
       {Down('A'), Delay(2), Up('A'), Delay(4)}},
      {"a single delay row stays", {Down('A'), Delay(16777215)}, {Down('A'), Delay(16777215)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<MacroRow> rows = c.rows;
    const MacroBuild build = BuildMacroRecord(rows, 1, u"", u"1");
    EXPECT_EQ(build.status, BuildStatus::kBuilt);
    EXPECT_EQ(rows, c.merged);
    EXPECT_EQ(build.record.size, 64 + 4 * c.merged.size());
  }
}

TEST(BuildMacroRecordTest, LoopCountFromTheText) {
  const std::pair<std::u16string_view, std::uint32_t> texts[] = {
      {u"0", 1},
      {u"", 1},
      {u"12a", 1},
      {u"a", 1},
      {u" 5", 1},
      {u"-3", 1},
      {u"1", 1},
      {u"70000", 65533},
      {u"65534", 65533},
      {u"65533", 65533},
      {u"99999999999999999999", 65533},
      {u"007", 7},
  };
  for (const auto& [text, count] : texts) {
    std::vector<MacroRow> rows = {Down('A'), Up('A')};
    EXPECT_EQ(BuildMacroRecord(rows, 1, u"", text).record.loop_count, count)
        << ::testing::PrintToString(std::u16string(text));
  }
  // One key-down event is the single-key macro, whatever the text says.
  std::vector<MacroRow> single = {Delay(40), Down('A')};
  EXPECT_EQ(BuildMacroRecord(single, 1, u"", u"300").record.loop_count, 65534u);
  std::vector<MacroRow> single_up = {Up('A')};
  EXPECT_EQ(BuildMacroRecord(single_up, 1, u"", u"300").record.loop_count, 300u);
}

TEST(BuildMacroRecordTest, NothingToSaveAndTooMuchToSave) {
  std::vector<MacroRow> rows;
  EXPECT_EQ(BuildMacroRecord(rows, 1, u"x", u"1").status, BuildStatus::kNothingToSave);
  rows.assign(kMaxMacroEvents + 1, Down('A'));
  EXPECT_EQ(BuildMacroRecord(rows, 1, u"x", u"1").status, BuildStatus::kTooManyRows);
  rows.resize(kMaxMacroEvents);
  const MacroBuild full = BuildMacroRecord(rows, 1, u"x", u"1");
  EXPECT_EQ(full.status, BuildStatus::kBuilt);
  EXPECT_EQ(full.record.size, sizeof(MacroRecord));
}

TEST(InsertRowsTest, KeysAndDelaysGoBeforeTheSelectedRow) {
  const std::vector<MacroRow> start = {Down('A'), Up('A'), Delay(327500), Down('C'), Up('C')};
  struct Case {
    const char* what;
    std::function<RowInsert(std::vector<MacroRow>&)> insert;
    RowInsert result;
    std::vector<MacroRow> rows;
  };
  const Case cases[] = {
      {"key B before row 3",
       [](auto& rows) { return InsertKeyRows(rows, 2, 'B'); },
       RowInsert::kInserted,
       {Down('A'), Up('A'), Down('B'), Up('B'), Delay(327500), Down('C'), Up('C')}},
      {"no captured key", [](auto& rows) { return InsertKeyRows(rows, 2, 0); }, RowInsert::kNothing,
       start},
      {"delay while the first row is selected",
       [](auto& rows) { return InsertDelayRow(rows, 0, 100); }, RowInsert::kNothing, start},
      {"delay under a delay, capped",
       [](auto& rows) { return InsertDelayRow(rows, 3, 300); },
       RowInsert::kMerged,
       {Down('A'), Up('A'), Delay(327670), Down('C'), Up('C')}},
      {"delay onto the selected delay",
       [](auto& rows) { return InsertDelayRow(rows, 2, 100); },
       RowInsert::kMerged,
       {Down('A'), Up('A'), Delay(327600), Down('C'), Up('C')}},
      {"delay between keys, low 24 bits",
       [](auto& rows) { return InsertDelayRow(rows, 1, 0x1000000 + 40); },
       RowInsert::kInserted,
       {Down('A'), Delay(40), Up('A'), Delay(327500), Down('C'), Up('C')}},
      {"no row selected", [](auto& rows) { return InsertKeyRows(rows, 5, 'B'); },
       RowInsert::kNothing, start},
  };
  for (const Case& c : cases) {
    std::vector<MacroRow> rows = start;
    EXPECT_EQ(c.insert(rows), c.result) << c.what;
    EXPECT_EQ(rows, c.rows) << c.what;
  }
}

// Every row the editor lets the user add can be stored, so a save never drops them.
TEST(InsertRowsTest, AMacroStopsGrowingAtTheStoresLimit) {
  std::vector<MacroRow> rows;
  for (std::size_t i = 0; i + 2 < kMaxMacroRows; i += 2) {
    rows.push_back(Down('A'));
    rows.push_back(Up('A'));
  }
  ASSERT_EQ(rows.size(), kMaxMacroRows - 2);
  EXPECT_EQ(InsertKeyRows(rows, 1, 'B'), RowInsert::kInserted);
  ASSERT_EQ(rows.size(), kMaxMacroRows);
  const std::vector<MacroRow> full = rows;
  EXPECT_EQ(InsertKeyRows(rows, 1, 'B'), RowInsert::kFull);
  EXPECT_EQ(InsertDelayRow(rows, 1, 10), RowInsert::kFull);
  EXPECT_EQ(rows, full);
  EXPECT_EQ(MacroFullMessage(),
            "a macro holds at most 4080 rows; delete some before inserting more");

  const MacroBuild build = BuildMacroRecord(rows, 7, u"long", u"1");
  ASSERT_EQ(build.status, BuildStatus::kBuilt);
  EXPECT_EQ(build.record.event_count, kMaxMacroRows);
  EXPECT_EQ(LoadMacroToList(build.record).rows, full);
}

TEST(BuildMacroRecordTest, LongNamesAreCutTo19UnitsWithoutSplittingACharacter) {
  std::vector<MacroRow> rows = {Down('A')};
  EXPECT_EQ(MacroName(BuildMacroRecord(rows, 1, u"A name of more than nineteen", u"1").record),
            u"A name of more than");
  // The 19th unit would be the first half of an emoji.
  const std::u16string emoji_at_end = u"123456789012345678😀";
  EXPECT_EQ(MacroName(BuildMacroRecord(rows, 1, emoji_at_end, u"1").record), u"123456789012345678");
  EXPECT_EQ(MacroName(BuildMacroRecord(rows, 1, u"12345678901234567😀", u"1").record),
            u"12345678901234567😀");
}

TEST(LoadMacroToListTest, RowsAndLoopText) {
  std::vector<MacroRow> rows = {Down(platform::kVkLShift), Delay(120), Down('1'), Up('1'),
                                Up(platform::kVkLShift)};
  MacroRecord record = BuildMacroRecord(rows, 1, u"x", u"42").record;
  LoadedMacro loaded = LoadMacroToList(record);
  EXPECT_EQ(loaded.rows, rows);
  EXPECT_EQ(loaded.loop_text, u"42");
  EXPECT_EQ(loaded.stopped_at, std::nullopt);
  EXPECT_EQ(loaded.rows[0].text, u"L_Shift");
  EXPECT_EQ(loaded.rows[1].text, u"120  ms");

  std::vector<MacroRow> single = {Down('A')};
  loaded = LoadMacroToList(BuildMacroRecord(single, 1, u"x", u"9").record);
  EXPECT_EQ(loaded.loop_text, u"1");

  // An event of another kind ends the rows there.
  record.events[2] = 0x80000041;
  loaded = LoadMacroToList(record);
  EXPECT_EQ(loaded.rows, std::vector<MacroRow>(rows.begin(), rows.begin() + 2));
  EXPECT_EQ(loaded.stopped_at, 2u);

  // A key the name table lacks keeps its code with an empty name.
  record.events[0] = MakeMacroEvent(kEventKeyDown, platform::kVkSnapshot);
  EXPECT_EQ(LoadMacroToList(record).rows[0], (MacroRow{0x0300002C, u""}));
}

TEST(MacroRecordFromBytesTest, RefusesBytesThatCannotBeARecord) {
  std::vector<MacroRow> rows = {Down('A'), Up('A')};
  const std::vector<std::uint8_t> good =
      MacroRecordBytes(BuildMacroRecord(rows, 7, u"n", u"1").record);
  std::string why;
  ASSERT_TRUE(MacroRecordFromBytes(good, why)) << why;

  std::vector<std::uint8_t> short_events = good;
  short_events.resize(68);  // event_count still says 2
  std::vector<std::uint8_t> huge_count = good;
  huge_count[63] = 0xFF;
  const std::pair<const char*, std::vector<std::uint8_t>> cases[] = {
      {"fewer than 64 bytes", std::vector<std::uint8_t>(good.begin(), good.begin() + 63)},
      {"larger than a record", std::vector<std::uint8_t>(sizeof(MacroRecord) + 1)},
      {"events past the end", short_events},
      {"huge event count", huge_count},
  };
  for (const auto& [label, bytes] : cases) {
    why.clear();
    EXPECT_FALSE(MacroRecordFromBytes(bytes, why)) << label;
    EXPECT_NE(why, "") << label;
  }
}

TEST(ParseMacroFileTest, AcceptsAStoredRecordAndRefusesWhatIsNone) {
  std::vector<MacroRow> rows = {Delay(5), Down('A'), Up('A')};
  MacroRecord built = BuildMacroRecord(rows, 0xABCDEF, u"Import", u"3").record;
  const std::vector<std::uint8_t> good = MacroRecordBytes(built);
  std::string why;
  std::optional<MacroRecord> parsed = ParseMacroFile(good, why);
  ASSERT_TRUE(parsed) << why;
  EXPECT_EQ(MacroRecordBytes(*parsed), good);

  // Junk where nobody reads is cleared; a name without terminator is cut.
  std::vector<std::uint8_t> junk = good;
  junk[12] = 0x55;            // reserved
  junk[good.size() - 1] = 9;  // the word of the dropped delay
  for (std::size_t i = 20; i < 60; i += 2) junk[i] = 'x';
  parsed = ParseMacroFile(junk, why);
  ASSERT_TRUE(parsed) << why;
  EXPECT_EQ(parsed->reserved, 0u);
  EXPECT_EQ(MacroRecordBytes(*parsed).back(), 0);
  EXPECT_EQ(MacroName(*parsed), std::u16string(19, u'x'));

  auto with = [&good](std::size_t offset, std::uint32_t value) {
    std::vector<std::uint8_t> bytes = good;
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
  };
  std::vector<std::uint8_t> longer = good;
  longer.push_back(0);
  // Each refusal says what is wrong.
  const std::pair<std::vector<std::uint8_t>, const char*> cases[] = {
      {std::vector<std::uint8_t>(good.begin(), good.begin() + 64), "at least 68"},
      {with(4, 0xE8E80011), "magic 0xe8e80011"},
      {with(0, 72), "size field says 72"},
      {longer, "size field says 76"},
      {with(60, 4), "event count 4"},
      {with(8, 0x1000000), "24 bits"},
      {with(16, 0), "loop count 0"},
      {with(16, 65535), "loop count 65535"},
      {with(68, 0x80000041), "event 2 has the kind 0x80"},
  };
  for (const auto& [bytes, expected] : cases) {
    why.clear();
    EXPECT_FALSE(ParseMacroFile(bytes, why)) << expected;
    EXPECT_THAT(why, ::testing::HasSubstr(expected));
  }
}

// The whole path from the rows to the mouse's block.
TEST(BuildMacroRecordTest, BuiltRecordEncodesToTheWorkedExample) {
  std::vector<MacroRow> rows = {Down('A'), Delay(120), Up('A')};
  const MacroRecord record = BuildMacroRecord(rows, 1, u"x", u"1").record;
  device::DeviceMacro block;
  ASSERT_TRUE(device::EncodeMacro(MacroRecordBytes(record), block));
  EXPECT_THAT(std::vector<std::uint8_t>(block.Block().begin(), block.Block().end()),
              ElementsAre(0x0A, 0x00, 0x01, 0x00, 0x19, 0x00, 0x04, 0x00, 0x00, 0x04));
}

}  // namespace
}  // namespace z900::macro
