#include "config/apply_to_mouse.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "config/function_catalogue.h"
#include "device/command_set.h"
#include "device/device_macro.h"
#include "device/memory_map.h"
#include "sim/sim_faults.h"
#include "support/config_fixture.h"

namespace z900::config {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

using Bytes = std::vector<std::uint8_t>;

// The address of a memory write's payload (A5, address most significant byte first, …).
std::uint32_t AddressOf(const Bytes& payload) {
  return static_cast<std::uint32_t>(payload[1] << 24 | payload[2] << 16 | payload[3] << 8 |
                                    payload[4]);
}

Bytes SlotWrite(std::uint32_t address, std::uint32_t code) {
  return {0xBA,
          0xA5,
          static_cast<std::uint8_t>(address >> 24),
          static_cast<std::uint8_t>(address >> 16),
          static_cast<std::uint8_t>(address >> 8),
          static_cast<std::uint8_t>(address),
          4,
          static_cast<std::uint8_t>(code),
          static_cast<std::uint8_t>(code >> 8),
          static_cast<std::uint8_t>(code >> 16),
          static_cast<std::uint8_t>(code >> 24)};
}

class ApplyToMouseTest : public test::ConfigTest {
 protected:
  // Profile 1 loaded with the defaults, its file on disk, nothing on the wire yet.
  void SetUp() override {
    LoadProfiles(context, page, ports);
    ASSERT_EQ(page.selected_profile, 0);
    mouse.ClearWireLog();
    ui.calls.clear();
  }

  ProfileEntry& Entry() { return context.profiles.entries[0]; }

  void AssignMacro(int mode, int button, std::uint32_t id) {
    ButtonOf(context.settings, mode, button).function_type = kTypeMacro;
    MacroIdOf(Entry(), mode, button) = id;
  }

  // Delivered reports that start with these payload bytes, each cut to `length` bytes.
  std::vector<Bytes> SentWith(std::initializer_list<std::uint8_t> start, std::size_t length) {
    std::vector<Bytes> found;
    for (const Bytes& report : Sent()) {
      if (std::equal(start.begin(), start.end(), report.begin() + 1)) {
        found.emplace_back(report.begin() + 1, report.begin() + 1 + static_cast<long>(length));
      }
    }
    return found;
  }

  // Targets of the memory writes in order; the chunks of one macro block count once, as the
  // block's address.
  std::vector<std::uint32_t> WriteTargets() {
    std::vector<std::uint32_t> targets;
    for (const Bytes& report : SentWith({0xA5}, 6)) {
      std::uint32_t address = AddressOf(report);
      if (address >= 0x1000) address &= 0xF000;
      if (targets.empty() || targets.back() != address || address < 0x1000) {
        targets.push_back(address);
      }
    }
    return targets;
  }

  Bytes EncodedBlock(std::uint32_t id) {
    const std::optional<macro::MacroRecord> record = macro::LoadMacro(store, id);
    EXPECT_TRUE(record);
    device::DeviceMacro block;
    EXPECT_TRUE(device::EncodeMacro(macro::MacroRecordBytes(*record), block));
    return Bytes(block.Block().begin(), block.Block().end());
  }

  Bytes MouseMemory(std::uint32_t address, std::size_t length) {
    const auto& memory = mouse.state().memory;
    return Bytes(memory.begin() + address, memory.begin() + static_cast<long>(address + length));
  }
};

TEST_F(ApplyToMouseTest, DefaultsGoOutInOrderInOneSecondAndAreStored) {
  context.current_mode = 1;
  const std::uint64_t start = clock.NowMs();
  const ApplyReport report = ApplyToMouse(context, page, ports, false);

  const std::uint32_t codes[] = {0x00010003, 0x00020003, 0x00040003, 0x00100003,
                                 0x00080003, 0x01CC0004, 0xFFFFFFFF, 0xFFFFFFFF};
  std::vector<Bytes> expected;
  for (int mode = 0; mode < 2; ++mode) {
    const std::uint8_t m = static_cast<std::uint8_t>(mode);
    expected.push_back({0xBA, 0xA6, static_cast<std::uint8_t>(2 + 3 * m), 0x40, 1, 2, 3});
    for (int button = 1; button <= 8; ++button) {
      expected.push_back(SlotWrite(*device::ButtonSlotAddress(mode, button), codes[button - 1]));
    }
    expected.push_back({0xBA, 0xA6, static_cast<std::uint8_t>(4 + 2 * m), 2});
    expected.push_back({0xBA, 0xA4, 0, 0, 0, 0x14, 4});
    expected.push_back({0xBA, 0xA6, 3, 1, 1});
  }
  for (Bytes& report_bytes : expected) report_bytes.resize(32);
  EXPECT_THAT(Sent(), ElementsAreArray(expected));

  EXPECT_EQ(clock.NowMs() - start, 1000u);
  EXPECT_EQ(report.elapsed_ms, 1000u);
  EXPECT_EQ(report.slots_written, 16);
  EXPECT_EQ(report.FailedCommands(), 0);
  EXPECT_EQ(context.current_mode, 1);
  EXPECT_EQ(context.settings.stage_count[0], 4);
  EXPECT_EQ(context.settings.stage_count[1], 4);

  // The table in ConfigInfo and the record, with its trailer byte, in the profile file.
  platform::KeyValue value;
  ASSERT_EQ(store.ReadValue(kConfigKey, kConfigInfoValue, value), platform::KeyStoreStatus::kOk);
  EXPECT_EQ(value.data, TableBytes(context.profiles));
  Bytes file;
  ASSERT_FALSE(platform::ReadWholeFile(ProfilePath(0), 1 << 20, file));
  Bytes record = RecordBytes(context.settings);
  record.push_back(0);
  EXPECT_EQ(file, record);
  EXPECT_EQ(report.save, SaveOutcome::kSaved);
  EXPECT_TRUE(report.table_stored);
  EXPECT_TRUE(ui.calls.empty());
}

TEST_F(ApplyToMouseTest, StagesAndLightingOfEachMode) {
  SettingsRecord& record = context.settings;
  const std::int32_t mode1_stages[4] = {1600, 4000, 0, 0};
  std::memcpy(record.dpi_stages[1], mode1_stages, sizeof mode1_stages);
  std::memset(record.dpi_stages[0], 0, sizeof record.dpi_stages[0]);  // no stage: nothing sent
  record.lighting_follows_activity[0] = 1;
  record.lighting_effect[0] = kLightingAlways;
  record.lighting_effect[1] = kLightingOff;

  ApplyToMouse(context, page, ports, false);

  EXPECT_THAT(SentWith({0xA6, 0x02}, 8), ElementsAre());
  EXPECT_THAT(SentWith({0xA6, 0x05}, 8),
              ElementsAre(Bytes{0xA6, 0x05, 0x21, 0x03, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(record.stage_count[0], 0);
  EXPECT_EQ(record.stage_count[1], 2);
  EXPECT_THAT(SentWith({0xA6, 0x04}, 3), ElementsAre(Bytes{0xA6, 0x04, 0x01}));
  EXPECT_THAT(SentWith({0xA6, 0x06}, 3), ElementsAre(Bytes{0xA6, 0x06, 0x00}));
  EXPECT_EQ(LightingCode(record, 1), 0);
  record.lighting_effect[1] = kLightingSlow;
  EXPECT_EQ(LightingCode(record, 1), 2);
  record.lighting_effect[1] = kLightingFast;
  EXPECT_EQ(LightingCode(record, 1), 3);
}

TEST_F(ApplyToMouseTest, ReportRateCarriesTheOtherModesCode) {
  struct Case {
    const char* what;
    std::uint8_t mouse_mode0, mouse_mode1;
    bool read_fails;
    Bytes first, second;
  };
  // Mode 0 at 500 Hz (code 2), mode 1 at 125 Hz (code 8).
  const Case cases[] = {
      {"the mouse reports 0x0801", 0x01, 0x08, false, {0xA6, 3, 2, 8}, {0xA6, 3, 2, 8}},
      {"the mouse reports 0x0101", 0x01, 0x01, false, {0xA6, 3, 2, 1}, {0xA6, 3, 2, 8}},
      {"the read fails: the record's own rates",
       0x01,
       0x01,
       true,
       {0xA6, 3, 2, 8},
       {0xA6, 3, 2, 8}},
  };
  for (const Case& c : cases) {
    const Bytes rates = {c.mouse_mode0, c.mouse_mode1, 0, 0};
    ASSERT_TRUE(device::WriteMemoryBlock(channel, page.mouse_handle, 0x14, rates));
    mouse.ClearWireLog();
    sim::SimFaults faults;
    faults.fail_reads = c.read_fails;
    faults.only_command = device::kCmdReadMemory;
    mouse.SetFaults(faults);
    context.settings.report_rate[0] = 500;
    context.settings.report_rate[1] = 125;

    const ApplyReport report = ApplyToMouse(context, page, ports, false);

    EXPECT_THAT(SentWith({0xA6, 0x03}, 4), ElementsAre(c.first, c.second)) << c.what;
    EXPECT_EQ(report.settings_failed, c.read_fails ? 2 : 0) << c.what;
    mouse.SetFaults({});
  }
}

TEST_F(ApplyToMouseTest, MacroButtonsGetSlotsInVisitOrder) {
  const std::uint32_t ids[] = {0x101, 0x102, 0x103, 0x104, 0x105};
  for (int n = 0; n < 5; ++n) StoreMacro(ids[n], u"m", n + 1);  // blocks of different lengths
  AssignMacro(0, 2, ids[0]);
  AssignMacro(0, 4, ids[1]);
  AssignMacro(0, 5, ids[2]);
  AssignMacro(1, 3, ids[3]);
  AssignMacro(1, 8, ids[4]);

  const ApplyReport report = ApplyToMouse(context, page, ports, false);

  // Each block goes out just before its button's slot, in the order of the visit.
  EXPECT_THAT(WriteTargets(), ElementsAre(0x400, 0x1000, 0x404, 0x408, 0x2000, 0x410, 0x3000, 0x418,
                                          0x414, 0x424, 0x428, 0x600, 0x604, 0x4000, 0x608, 0x610,
                                          0x618, 0x614, 0x624, 0x5000, 0x628));
  std::size_t bytes = 0;
  for (int n = 0; n < 5; ++n) {
    const Bytes block = EncodedBlock(ids[n]);
    EXPECT_EQ(MouseMemory(device::MacroSlotAddress(n), block.size()), block) << n;
    bytes += block.size();
  }
  EXPECT_EQ(mouse.ReadWord(0x404), 0x00000005u);
  EXPECT_EQ(mouse.ReadWord(0x410), 0x00010005u);
  EXPECT_EQ(mouse.ReadWord(0x418), 0x00020005u);
  EXPECT_EQ(mouse.ReadWord(0x608), 0x00030005u);
  EXPECT_EQ(mouse.ReadWord(0x628), 0x00040005u);
  EXPECT_EQ(page.macro_slot_codes[1][7], 0x00040005u);
  EXPECT_EQ(report.macros_written, 5);
  EXPECT_EQ(report.macro_bytes, bytes);
}

TEST_F(ApplyToMouseTest, FifteenthMacroButtonKeepsItsOldCode) {
  StoreMacro(0x77, u"same");  // one macro on fifteen buttons: written fourteen times
  for (int button = 1; button <= 8; ++button) AssignMacro(0, button, 0x77);
  for (int button = 1; button <= 7; ++button) AssignMacro(1, button, 0x77);

  const ApplyReport report = ApplyToMouse(context, page, ports, false);

  EXPECT_EQ(report.macros_written, 14);
  EXPECT_EQ(report.macros_failed, 1);
  EXPECT_EQ(mouse.ReadWord(0x624), 0u);           // mode 1, button 7: the code of no write yet
  EXPECT_EQ(mouse.ReadWord(0x614), 0x000D0005u);  // mode 1, button 6: the last slot
  const std::vector<std::uint32_t> targets = WriteTargets();
  EXPECT_EQ(std::count(targets.begin(), targets.end(), 0xE000u), 1);
  EXPECT_EQ(std::count(targets.begin(), targets.end(), 0xF000u), 0);
}

TEST_F(ApplyToMouseTest, MacroThatCannotBeWrittenGetsTheCodeOfItsLastWrite) {
  StoreMacro(0x55, u"first");
  StoreMacro(0x66, u"second");
  AssignMacro(0, 3, 0x55);
  AssignMacro(0, 4, 0x66);
  ApplyToMouse(context, page, ports, false);
  ASSERT_EQ(mouse.ReadWord(0x410), 0x00010005u);

  // The first macro is deleted: the second now takes slot 0, and button 3 keeps its code.
  ASSERT_TRUE(macro::DeleteMacro(store, 0x55));
  mouse.ClearWireLog();
  const ApplyReport report = ApplyToMouse(context, page, ports, false);
  EXPECT_EQ(mouse.ReadWord(0x408), 0x00000005u);
  EXPECT_EQ(mouse.ReadWord(0x410), 0x00000005u);
  EXPECT_EQ(report.macros_failed, 1);
  EXPECT_EQ(MouseMemory(0x1000, EncodedBlock(0x66).size()), EncodedBlock(0x66));
}

TEST_F(ApplyToMouseTest, ButtonsWithoutADeviceCodeKeepTheirSlots) {
  ButtonOf(context.settings, 0, 3).function_type = 86;
  ButtonOf(context.settings, 0, 4).function_type = 87;
  ButtonOf(context.settings, 1, 2).function_type = 99;
  ASSERT_TRUE(device::WriteButtonSlot(channel, page.mouse_handle, 0, 3, 0x12345678));
  mouse.ClearWireLog();

  const ApplyReport report = ApplyToMouse(context, page, ports, false);

  const std::vector<std::uint32_t> targets = WriteTargets();
  for (std::uint32_t kept : {0x408u, 0x410u, 0x604u}) {
    EXPECT_EQ(std::count(targets.begin(), targets.end(), kept), 0) << kept;
  }
  EXPECT_EQ(mouse.ReadWord(0x408), 0x12345678u);
  EXPECT_EQ(report.slots_kept, 3);
  EXPECT_EQ(report.slots_written, 13);
}

TEST_F(ApplyToMouseTest, ProgressWindowPositionsAndPause) {
  context.current_mode = 0;
  const ApplyReport report = ApplyToMouse(context, page, ports, true);
  EXPECT_THAT(ui.progress, ElementsAre(0, 10, 10, 15, 20, 25, 30, 35, 40, 45, 10, 50, 55, 60, 65,
                                       70, 75, 80, 85, 100));
  EXPECT_THAT(ui.calls, ElementsAre("progress open", "progress close"));
  EXPECT_EQ(report.elapsed_ms, 1700u);
  EXPECT_EQ(context.current_mode, 0);
}

// A long macro does not hold the bar still: it moves on with the chunks, by the time they take.
TEST_F(ApplyToMouseTest, ProgressMovesWithEveryChunkOfAMacro) {
  StoreMacro(0x101, u"long", 400);
  AssignMacro(0, 4, 0x101);
  const ApplyReport report = ApplyToMouse(context, page, ports, true);
  ASSERT_EQ(report.macros_written, 1);
  ASSERT_GT(report.macro_bytes, 1000u);

  // Mode 0's share ends where mode 1 starts again at 10.
  const auto mode1 = std::is_sorted_until(ui.progress.begin(), ui.progress.end());
  ASSERT_NE(mode1, ui.progress.end());
  EXPECT_EQ(*mode1, 10);
  const std::vector<int> mode0(ui.progress.begin() + 1, mode1);
  EXPECT_GT(mode0.back(), 80) << "the macro is most of the write";
  for (std::size_t i = 1; i < mode0.size(); ++i) {
    EXPECT_LE(mode0[i] - mode0[i - 1], 1) << "a jump at " << i;
  }
  EXPECT_EQ(ui.progress.back(), 100);
}

// An apply that the mouse did not take in full leaves the mark for the next start; one that it
// took clears it. The failures are told in the language's words.
TEST_F(ApplyToMouseTest, AnIncompleteWriteIsMarkedAndToldUntilAWriteSucceeds) {
  context.strings.Set(i18n::StringKey::str_apply_unacked, u"%s unacknowledged");
  context.strings.Set(i18n::StringKey::str_apply_macros, u"%s macros without slot");
  context.strings.Set(i18n::StringKey::str_apply_pending, u"apply again");
  EXPECT_FALSE(RunPendingWrite(context, page, ports));

  const std::pair<const char*, std::string> faults[] = {{"no-ack,only=0xa5", "16 unacknowledged"},
                                                        {"unplug-after=30", "20 unacknowledged"}};
  for (const auto& [setting, told] : faults) {
    SCOPED_TRACE(setting);
    std::string why;
    mouse.SetFaults(*sim::ParseFaults(setting, why));
    const ApplyReport failed = ApplyToMouse(context, page, ports, false);
    EXPECT_TRUE(failed.WriteIncomplete());
    EXPECT_TRUE(WritePending(store));
    EXPECT_EQ(platform::Utf16ToUtf8(ApplyFailureText(context, failed)), told + "\napply again");

    mouse.SetFaults({});
    mouse.Plug();
    channel.CloseDevice(page.mouse_handle);
    ASSERT_TRUE(channel.OpenDevice(page.mouse_handle));
    mouse.ClearWireLog();
    const std::optional<ApplyReport> again = RunPendingWrite(context, page, ports);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->WriteIncomplete());
    EXPECT_EQ(SentWith({0xA5}, 1).size(), 16u);
    EXPECT_FALSE(WritePending(store));
    EXPECT_FALSE(RunPendingWrite(context, page, ports));
  }

  // A macro that is gone is told, but applying again would not help.
  AssignMacro(0, 4, 0x404);
  const ApplyReport missing = ApplyToMouse(context, page, ports, false);
  EXPECT_FALSE(missing.WriteIncomplete());
  EXPECT_FALSE(WritePending(store));
  EXPECT_EQ(platform::Utf16ToUtf8(ApplyFailureText(context, missing)), "1 macros without slot");
}

TEST_F(ApplyToMouseTest, SilentMouseStillGetsTableAndFileStored) {
  sim::SimFaults faults;
  faults.no_ack = true;
  mouse.SetFaults(faults);
  context.settings.report_rate[0] = 125;

  const ApplyReport report = ApplyToMouse(context, page, ports, false);

  EXPECT_EQ(report.slots_failed, 16);
  EXPECT_EQ(report.settings_failed, 4);  // two lighting commands, two rate reads
  EXPECT_TRUE(report.table_stored);
  EXPECT_EQ(report.save, SaveOutcome::kSaved);
  Bytes file;
  ASSERT_FALSE(platform::ReadWholeFile(ProfilePath(0), 1 << 20, file));
  EXPECT_EQ(file[50364], 125);
}

}  // namespace
}  // namespace z900::config
