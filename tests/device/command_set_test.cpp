#include "device/command_set.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "device/memory_map.h"
#include "support/sim_fixture.h"

namespace z900::device {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Bytes = std::vector<std::uint8_t>;

class CommandSetTest : public test::SimMouseTest {
 protected:
  // Sends a payload without awaiting anything, as the DPI and report-rate commands go out.
  bool SendOnly(std::span<const std::uint8_t> payload) {
    return channel.SendReport(payload, handle);
  }
  Bytes Report(std::initializer_list<std::uint8_t> head) {
    Bytes report(32, 0);
    std::copy(head.begin(), head.end(), report.begin());
    return report;
  }
};

struct ReportCase {
  const char* name;
  std::function<bool(CommandSetTest&)> send;
  Bytes expected_head;
};

class CompleteReportTest : public CommandSetTest,
                           public ::testing::WithParamInterface<ReportCase> {};

TEST_P(CompleteReportTest, SendsExactlyTheseThirtyTwoBytes) {
  ASSERT_TRUE(GetParam().send(*this));
  ASSERT_EQ(Sent().size(), 1u);
  Bytes expected(32, 0);
  std::copy(GetParam().expected_head.begin(), GetParam().expected_head.end(), expected.begin());
  EXPECT_EQ(Sent()[0], expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CompleteReportTest,
    ::testing::Values(
        ReportCase{"QueryMode",
                   [](CommandSetTest& m) {
                     int mode = 0;
                     return QueryMode(m.channel, m.handle, mode);
                   },
                   {0xBA, 0xA2}},
        ReportCase{
            "ReadMemoryOfRates",
            [](CommandSetTest& m) { return ReadMemory(m.channel, m.handle, 0x14).has_value(); },
            {0xBA, 0xA4, 0x00, 0x00, 0x00, 0x14, 0x04}},
        ReportCase{"WriteButtonSlotMode0Button3",
                   [](CommandSetTest& m) {
                     return WriteButtonSlot(m.channel, m.handle, 0, 3, 0x00040003);
                   },
                   {0xBA, 0xA5, 0x00, 0x00, 0x04, 0x08, 0x04, 0x03, 0x00, 0x04, 0x00}},
        ReportCase{"ClearMacroSlot0",
                   [](CommandSetTest& m) { return ClearMacroSlot(m.channel, m.handle, 0); },
                   {0xBA, 0xA5, 0x00, 0x00, 0x10, 0x00, 0x02, 0x00, 0x00}},
        ReportCase{"SendSettingLighting",
                   [](CommandSetTest& m) { return SendSetting(m.channel, m.handle, 4, 2); },
                   {0xBA, 0xA6, 0x04, 0x02}},
        ReportCase{"DpiStagesMode0",
                   [](CommandSetTest& m) {
                     const std::array<std::uint8_t, 2> stages = {0, 2};  // 800, 3200
                     return m.channel.SendReport(*BuildDpiStageCommand(0, stages), m.handle);
                   },
                   {0xBA, 0xA6, 0x02, 0x20, 0x02}},
        ReportCase{"ReportRate1000And125",
                   [](CommandSetTest& m) {
                     return m.channel.SendReport(BuildReportRateCommand(1, 8), m.handle);
                   },
                   {0xBA, 0xA6, 0x03, 0x01, 0x08}}),
    [](const auto& p) { return p.param.name; });

TEST_F(CommandSetTest, QueryModeStoresTheAnswerAndKeepsTheModeOnFailure) {
  mouse.SetMode(1);
  int mode = 0;
  ASSERT_TRUE(QueryMode(channel, handle, mode));
  EXPECT_EQ(mode, 1);
  ASSERT_FALSE(mouse.wire_log().empty());
  EXPECT_THAT(std::span(mouse.wire_log().back().bytes).first(2), ElementsAre(0x01, 0x01));

  mouse.SetMode(7);  // stored unchanged; slot writes then refuse
  ASSERT_TRUE(QueryMode(channel, handle, mode));
  EXPECT_EQ(mode, 7);
  EXPECT_FALSE(WriteButtonSlot(channel, handle, mode, 1, 0x00010003));

  mouse.SetFaults({.no_ack = true});
  mode = 0;
  EXPECT_FALSE(QueryMode(channel, handle, mode));
  EXPECT_EQ(mode, 0);
}

TEST_F(CommandSetTest, FirmwareAndMemoryAnswersOfTheFactoryMouse) {
  EXPECT_EQ(QueryFirmwareVersion(channel, handle), 12);
  EXPECT_EQ(ReadMemory(channel, handle, kFirmwareAddress), 12u);
  EXPECT_EQ(ReadMemory(channel, handle, kReportRateAddress), 0x0101u);
}

TEST_F(CommandSetTest, ReadMemoryIsLittleEndianFromTheAddress) {
  ASSERT_TRUE(channel.SendReport(BuildReportRateCommand(1, 8), handle));
  const std::optional<std::uint32_t> value = ReadMemory(channel, handle, 0x14);
  ASSERT_TRUE(value);
  EXPECT_EQ(*value & 0xFFFF, 0x0801u);
}

TEST_F(CommandSetTest, ButtonSlotsFollowTheTableWithButtonsFiveAndSixCrossed) {
  const std::array<std::uint32_t, 9> mode1_addresses = {0x600, 0x604, 0x608, 0x610, 0x618,
                                                        0x614, 0x624, 0x628, 0x60C};
  for (int button = 1; button <= 9; ++button) {
    ASSERT_TRUE(WriteButtonSlot(channel, handle, 1, button, 0xC0DE0000u + button));
    EXPECT_EQ(mouse.ReadWord(mode1_addresses[button - 1]), 0xC0DE0000u + button) << button;
  }
  EXPECT_EQ(mouse.ReadWord(0x61C), 0u);
  EXPECT_EQ(mouse.ReadWord(0x620), 0u);
}

TEST_F(CommandSetTest, ClearMacroSlotZeroesOnlyTheLengthField) {
  const Bytes block(8, 0xEE);
  ASSERT_TRUE(WriteMemoryBlock(channel, handle, 0xE000, block));
  ASSERT_TRUE(ClearMacroSlot(channel, handle, 13));
  EXPECT_EQ(mouse.ReadWord(0xE000), 0xEEEE0000u);
  EXPECT_EQ(mouse.ReadWord(0xE004), 0xEEEEEEEEu);
}

// Each row: block length, then the length byte and virtual send time of every report.
struct ChunkCase {
  const char* name;
  std::size_t length;
  std::vector<std::uint8_t> length_bytes;
  std::vector<std::uint64_t> send_times;
  std::uint64_t done_at;
};

class WriteMemoryBlockTest : public CommandSetTest,
                             public ::testing::WithParamInterface<ChunkCase> {};

TEST_P(WriteMemoryBlockTest, ChunksAndWaits) {
  const ChunkCase& c = GetParam();
  Bytes data(c.length);
  std::iota(data.begin(), data.end(), std::uint8_t{0});
  ASSERT_TRUE(WriteMemoryBlock(channel, handle, 0x1000, data));

  const auto reports = Sent();
  std::vector<std::uint8_t> lengths;
  std::uint32_t expected_address = 0x1000;
  std::size_t offset = 0;
  for (const Bytes& report : reports) {
    lengths.push_back(report[6]);
    EXPECT_EQ(report[1], 0xA5);
    const std::uint32_t address = report[2] << 24 | report[3] << 16 | report[4] << 8 | report[5];
    EXPECT_EQ(address, expected_address);
    EXPECT_TRUE(std::equal(report.begin() + 7, report.begin() + 7 + report[6],
                           data.begin() + static_cast<std::ptrdiff_t>(offset)));
    expected_address += report[6];
    offset += report[6];
  }
  EXPECT_EQ(lengths, c.length_bytes);
  EXPECT_EQ(SendTimes(), c.send_times);
  EXPECT_EQ(clock.NowMs(), c.done_at);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), mouse.state().memory.begin() + 0x1000));
}

// A full chunk is acknowledged 120 + 10 ms after it goes out, a tail of r bytes 5r + 30 + 10.
INSTANTIATE_TEST_SUITE_P(
    Blocks, WriteMemoryBlockTest,
    ::testing::Values(
        ChunkCase{"HundredBytes", 100, {24, 24, 24, 24, 4}, {0, 130, 260, 390, 520}, 580},
        ChunkCase{"ExactlyOneChunk", 24, {24}, {0}, 130},
        ChunkCase{"OnlyATail", 23, {23}, {0}, 155}),
    [](const auto& p) { return p.param.name; });

// A tail carries 6 + r payload bytes; a full chunk the whole 31, so its trace line shows all
// 32 bytes of the report.
TEST_F(CommandSetTest, TracedPayloadLengthOfChunksAndTails) {
  for (const auto& [length, payload] : {std::pair<std::size_t, std::size_t>{23, 29}, {24, 31}}) {
    std::vector<std::string> lines;
    channel.SetTrace([&](std::string_view line) { lines.emplace_back(line); });
    ASSERT_TRUE(WriteMemoryBlock(channel, handle, 0x2000, Bytes(length, 0x5A)));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].size(), std::string("Send: ").size() + 3 * (1 + payload)) << length;
  }
}

TEST_F(CommandSetTest, StopsAtTheFirstChunkWithoutAcknowledgement) {
  mouse.SetFaults({.unplug_after = 2});
  const Bytes data(100, 1);
  EXPECT_FALSE(WriteMemoryBlock(channel, handle, 0x1000, data));
  EXPECT_EQ(Sent().size(), 2u);
}

// Every refusal sends nothing.
struct RefusalCase {
  const char* name;
  std::function<bool(CommandSetTest&)> call;
};

class RefusalTest : public CommandSetTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, SendsNothing) {
  EXPECT_FALSE(GetParam().call(*this));
  EXPECT_TRUE(mouse.wire_log().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusalTest,
    ::testing::Values(
        RefusalCase{"SlotButton0",
                    [](auto& m) { return WriteButtonSlot(m.channel, m.handle, 0, 0, 1); }},
        RefusalCase{"SlotButton10",
                    [](auto& m) { return WriteButtonSlot(m.channel, m.handle, 0, 10, 1); }},
        RefusalCase{"SlotMode2",
                    [](auto& m) { return WriteButtonSlot(m.channel, m.handle, 2, 1, 1); }},
        RefusalCase{"SlotModeMinus1",
                    [](auto& m) { return WriteButtonSlot(m.channel, m.handle, -1, 1, 1); }},
        RefusalCase{"ClearSlot14", [](auto& m) { return ClearMacroSlot(m.channel, m.handle, 14); }},
        RefusalCase{"ClearSlotMinus1",
                    [](auto& m) { return ClearMacroSlot(m.channel, m.handle, -1); }},
        RefusalCase{"ReadAt0x10000",
                    [](auto& m) { return ReadMemory(m.channel, m.handle, 0x10000).has_value(); }},
        RefusalCase{"BlockEmpty",
                    [](auto& m) { return WriteMemoryBlock(m.channel, m.handle, 0x1000, {}); }},
        RefusalCase{
            "BlockBelow0x1000NotMultipleOf4",
            [](auto& m) { return WriteMemoryBlock(m.channel, m.handle, 0x0FFC, Bytes(6)); }},
        RefusalCase{
            "BlockReachingTheEnd",
            [](auto& m) { return WriteMemoryBlock(m.channel, m.handle, 0xFFF0, Bytes(16)); }},
        RefusalCase{"QueryWithoutHandle",
                    [](auto& m) {
                      int mode = 0;
                      return QueryMode(m.channel, DeviceHandle(), mode);
                    }}),
    [](const auto& p) { return p.param.name; });

TEST_F(CommandSetTest, BlockBelow0x1000InWholeWordsAndJustBeforeTheEndAreAllowed) {
  EXPECT_TRUE(WriteMemoryBlock(channel, handle, 0x0FFC, Bytes(8, 1)));
  EXPECT_TRUE(WriteMemoryBlock(channel, handle, 0xFFEF, Bytes(16, 1)));
}

TEST(DpiStageCommandTest, BuildsCountAndIndexes) {
  const std::array<std::uint8_t, 2> mode1 = {1, 3};  // 1600 and 4000
  EXPECT_THAT(*BuildDpiStageCommand(1, mode1), ElementsAre(0xA6, 0x05, 0x21, 0x03, 0, 0, 0, 0));
  const std::array<std::uint8_t, 4> all = {3, 2, 1, 0};
  EXPECT_THAT(*BuildDpiStageCommand(0, all), ElementsAre(0xA6, 0x02, 0x43, 2, 1, 0, 0, 0));
  EXPECT_FALSE(BuildDpiStageCommand(0, {}));
  const std::array<std::uint8_t, 5> too_many = {0, 1, 2, 3, 0};
  EXPECT_FALSE(BuildDpiStageCommand(0, too_many));
  const std::array<std::uint8_t, 1> bad_index = {4};
  EXPECT_FALSE(BuildDpiStageCommand(0, bad_index));
  EXPECT_FALSE(BuildDpiStageCommand(2, mode1));
}

}  // namespace
}  // namespace z900::device
