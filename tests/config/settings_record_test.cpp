#include "config/settings_record.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "config/function_catalogue.h"
#include "support/config_fixture.h"

namespace z900::config {
namespace {

using ::testing::ElementsAre;

std::uint32_t Word(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

std::u16string TextAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  std::u16string text;
  for (std::size_t at = offset; bytes[at] != 0 || bytes[at + 1] != 0; at += 2) {
    text += static_cast<char16_t>(bytes[at] | bytes[at + 1] << 8);
  }
  return text;
}

i18n::LanguageStrings KeyNames() {
  i18n::LanguageStrings strings;
  for (std::size_t k = 0; k < i18n::kStringKeyCount; ++k) {
    const auto key = static_cast<i18n::StringKey>(k);
    strings.Set(key, platform::Utf8ToUtf16(i18n::StringKeyName(key)));
  }
  return strings;
}

TEST(SettingsRecordTest, DefaultRecordBytes) {
  auto record = std::make_unique<SettingsRecord>();
  std::memset(record.get(), 0x5A, sizeof *record);  // nothing of an earlier record survives
  BuildDefaultSettings(*record, KeyNames());
  const std::vector<std::uint8_t> bytes = RecordBytes(*record);
  ASSERT_EQ(bytes.size(), 50896u);

  EXPECT_THAT(std::vector(bytes.begin(), bytes.begin() + 4), ElementsAre(0xBA, 0xBA, 0x80, 0x80));
  // Both modes identical, byte for byte.
  EXPECT_EQ(std::memcmp(&bytes[4], &bytes[25156], 25152), 0);
  // Button 6 of mode 1: entry at 4 + 3144 × 13, display name 544 further on.
  EXPECT_EQ(Word(bytes, 40876), 12u);
  EXPECT_EQ(TextAt(bytes, 41420), u"str_onekeystart");
  std::vector<std::uint32_t> types;
  for (int button = 0; button < 8; ++button) types.push_back(Word(bytes, 4 + 3144 * button));
  EXPECT_THAT(types, ElementsAre(1, 2, 4, 8, 16, 12, 11, 22));
  EXPECT_EQ(TextAt(bytes, 4 + 3144 * 3 + 544), u"str_pre");
  EXPECT_EQ(Word(bytes, 4 + 4), 0u);  // macro reference
  // Per mode: stages, stage count 0, slow breathing, activity off, 1000 Hz; then the reserved
  // word and the empty profile name.
  std::vector<std::uint32_t> tail;
  for (std::size_t at = 50308; at < 50380; at += 4) tail.push_back(Word(bytes, at));
  EXPECT_THAT(tail, ElementsAre(800, 1600, 3200, 4000, 800, 1600, 3200, 4000, 0, 0, 3, 3, 0, 0,
                                1000, 1000, 0, 0));
  EXPECT_TRUE(std::all_of(bytes.begin() + 50376, bytes.end(), [](auto b) { return b == 0; }));
  EXPECT_TRUE(CheckSettingsRecord(*record));
}

TEST(SettingsRecordTest, StoredBytesShorterThanARecordLeaveZerosLongerAreRefused) {
  const std::vector<std::uint8_t> head = {0xBE, 0xBE, 0, 0, 1, 0, 0, 0};
  const std::optional<ProfileTable> table = TableFromBytes(head);
  ASSERT_TRUE(table);
  EXPECT_EQ(table->entries[0].magic, kProfileEntryMagic);
  EXPECT_EQ(table->entries[0].selected, 1);
  EXPECT_EQ(table->entries[4].magic, 0u);
  EXPECT_FALSE(TableFromBytes(std::vector<std::uint8_t>(8181)));
  EXPECT_FALSE(SettingsFromBytes(std::vector<std::uint8_t>(50897)));

  ProfileTable ids{};
  MacroIdOf(ids.entries[1], 1, 6) = 0x00ABCDEF;
  EXPECT_EQ(Word(TableBytes(ids), 1636 + 1572 + 4 * 13), 0x00ABCDEFu);
}

TEST(SettingsRecordTest, HostActionParametersLieAtTheirOffsets) {
  ButtonAssignment assignment{};
  ASSERT_TRUE(SetHostAction(assignment, 0x02C50004, u"/home/user/My Files"));
  std::vector<std::uint8_t> bytes(sizeof assignment);
  std::memcpy(bytes.data(), &assignment, sizeof assignment);
  EXPECT_EQ(Word(bytes, 16), 0x02C50004u);
  EXPECT_EQ(TextAt(bytes, 20), u"/home/user/My Files");
  EXPECT_EQ(HostActionPath(assignment), u"/home/user/My Files");

  // A path beyond the field's 259 units is refused and changes nothing.
  EXPECT_FALSE(SetHostAction(assignment, 0x00C20004, std::u16string(260, u'x')));
  EXPECT_EQ(HostActionOf(assignment).device_code, 0x02C50004u);
  EXPECT_TRUE(SetHostAction(assignment, 0x00C20004, std::u16string(259, u'x')));
  EXPECT_EQ(HostActionPath(assignment).size(), 259u);
}

TEST(SettingsRecordTest, RecordChecksFindTheFirstBrokenRule) {
  struct Case {
    const char* what;
    std::function<void(SettingsRecord&)> change;
    Violation violation;
    int mode;
  };
  const Case cases[] = {
      {"defaults", [](SettingsRecord&) {}, Violation::kNone, 0},
      {"no click in mode 1", [](SettingsRecord& r) { ButtonOf(r, 1, 1).function_type = 65; },
       Violation::kNoLeftClick, 1},
      {"wheel up on button 3", [](SettingsRecord& r) { ButtonOf(r, 0, 3).function_type = 11; },
       Violation::kMisplacedWheel, 0},
      {"no stage", [](SettingsRecord& r) { std::memset(r.dpi_stages[1], 0, 16); },
       Violation::kNoDpiStage, 1},
      {"descending", [](SettingsRecord& r) { r.dpi_stages[0][0] = 4000; }, Violation::kBadDpiStages,
       0},
      {"gap", [](SettingsRecord& r) { r.dpi_stages[0][1] = 0; }, Violation::kBadDpiStages, 0},
      {"1000 dpi", [](SettingsRecord& r) { r.dpi_stages[1][3] = 1000; }, Violation::kBadDpiStages,
       1},
      {"effect 2", [](SettingsRecord& r) { r.lighting_effect[1] = 2; }, Violation::kBadLighting, 1},
      {"250 Hz", [](SettingsRecord& r) { r.report_rate[0] = 250; }, Violation::kBadReportRate, 0},
  };
  for (const Case& c : cases) {
    auto record = std::make_unique<SettingsRecord>();
    BuildDefaultSettings(*record, {});
    c.change(*record);
    const RecordCheck check = CheckSettingsRecord(*record);
    EXPECT_EQ(check.violation, c.violation) << c.what;
    EXPECT_EQ(check.mode, c.mode) << c.what;
  }
}

TEST(SettingsRecordTest, TheLastLeftClickCannotBeChangedAway) {
  auto record = std::make_unique<SettingsRecord>();
  BuildDefaultSettings(*record, {});
  EXPECT_FALSE(KeepsLeftClick(*record, 0, 1, 65));
  EXPECT_TRUE(KeepsLeftClick(*record, 0, 1, kTypeClick));
  EXPECT_TRUE(KeepsLeftClick(*record, 0, 2, 65));
  ButtonOf(*record, 0, 2).function_type = kTypeClick;
  EXPECT_TRUE(KeepsLeftClick(*record, 0, 1, 65));
  EXPECT_FALSE(KeepsLeftClick(*record, 1, 1, 65));  // the other mode keeps its own rule

  EXPECT_TRUE(WheelTypeFits(kTypeWheelUp, 7));
  EXPECT_FALSE(WheelTypeFits(kTypeWheelUp, 8));
  EXPECT_TRUE(WheelTypeFits(kTypeWheelDown, 8));
  EXPECT_FALSE(WheelTypeFits(kTypeWheelDown, 1));
}

TEST(SettingsRecordTest, ExactlyOneSelectedProfile) {
  ProfileTable table{};
  EXPECT_FALSE(HasOneSelectedProfile(table));
  table.entries[3].selected = 1;
  EXPECT_TRUE(HasOneSelectedProfile(table));
  table.entries[0].selected = 7;
  EXPECT_FALSE(HasOneSelectedProfile(table));
}

class RefreshMacroNamesTest : public test::ConfigTest {};

TEST_F(RefreshMacroNamesTest, MacroButtonsTakeTheStoredNamesOfTheirMacros) {
  BuildDefaultSettings(context.settings, context.strings);
  StoreMacro(0x111111, u"Renamed");
  StoreMacro(0x222222, u"Second");
  ProfileEntry entry{};
  MacroIdOf(entry, 0, 2) = 0x111111;
  MacroIdOf(entry, 1, 5) = 0x222222;
  MacroIdOf(entry, 0, 3) = 0x333333;  // deleted since
  platform::WriteFixedText(ButtonOf(context.settings, 0, 3).display_name, u"Old name");

  RefreshMacroNames(context.settings, entry, store);

  auto name = [this](int mode, int button) {
    return platform::ReadFixedText(ButtonOf(context.settings, mode, button).display_name);
  };
  // The function type is not looked at: button 2 is still a right click.
  EXPECT_EQ(name(0, 2), u"Renamed");
  EXPECT_EQ(name(1, 5), u"Second");
  EXPECT_EQ(name(0, 3), u"Old name");
  EXPECT_EQ(name(0, 1), u"str_click");
}

}  // namespace
}  // namespace z900::config
