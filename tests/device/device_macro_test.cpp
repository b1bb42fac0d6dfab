#include "device/device_macro.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "device/key_usage_table.h"
#include "platform/byte_order.h"
#include "platform/virtual_key.h"

namespace z900::device {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace platform;  // kVk…

std::uint32_t Down(std::uint32_t key) { return std::uint32_t{kMacroKeyDown} << 24 | key; }
std::uint32_t Up(std::uint32_t key) { return std::uint32_t{kMacroKeyUp} << 24 | key; }
std::uint32_t Delay(std::uint32_t ms) { return std::uint32_t{kMacroDelay} << 24 | ms; }

// The stored bytes of a record with these events.
Bytes Record(std::uint32_t loop_count, const std::vector<std::uint32_t>& events,
             std::uint32_t magic = kMacroRecordMagic) {
  Bytes bytes(kMacroEventsOffset + 4 * events.size());
  StoreLe32(bytes, 0, static_cast<std::uint32_t>(bytes.size()));
  StoreLe32(bytes, kMacroMagicOffset, magic);
  StoreLe32(bytes, kMacroLoopCountOffset, loop_count);
  StoreLe32(bytes, kMacroEventCountOffset, static_cast<std::uint32_t>(events.size()));
  for (std::size_t i = 0; i < events.size(); ++i)
    StoreLe32(bytes, kMacroEventsOffset + 4 * i, events[i]);
  return bytes;
}

// n key events: presses and releases of A in turn.
std::vector<std::uint32_t> KeyEvents(std::size_t n) {
  std::vector<std::uint32_t> events;
  for (std::size_t i = 0; i < n; ++i) events.push_back(i % 2 == 0 ? Down('A') : Up('A'));
  return events;
}

struct EncodeCase {
  const char* label;
  Bytes record;
  EncodeError error;
  Bytes block;  // the expected block when the encoding succeeds
  std::size_t event_index = 0;
  std::size_t capped_pauses = 0;
};

TEST(EncodeMacroTest, Cases) {
  Bytes wrong_count = Record(1, {Down('A'), Up('A')});
  StoreLe32(wrong_count, kMacroEventCountOffset, 3);
  const EncodeCase cases[] = {
      {"worked example",
       Record(1, {Down('A'), Delay(120), Up('A')}),
       EncodeError::kNone,
       {0x0A, 0x00, 0x01, 0x00, 0x19, 0x00, 0x04, 0x00, 0x00, 0x04}},
      {"no events", Record(7, {}), EncodeError::kNone, {0x04, 0x00, 0x07, 0x00}},
      {"single-key marker passes",
       Record(0xFFFE, {Down('B')}),
       EncodeError::kNone,
       {0x07, 0x00, 0xFE, 0xFF, 0x01, 0x00, 0x05}},
      {"loop count keeps its low 16 bits",
       Record(0x12345, {}),
       EncodeError::kNone,
       {0x04, 0x00, 0x45, 0x23}},
      {"second delay replaces the first",
       Record(1, {Down('A'), Delay(50), Delay(200), Up('A')}),
       EncodeError::kNone,
       {0x0A, 0x00, 0x01, 0x00, 0x29, 0x00, 0x04, 0x00, 0x00, 0x04}},
      {"9 ms is no pause",
       Record(1, {Up('A'), Delay(9)}),
       EncodeError::kNone,
       {0x07, 0x00, 0x01, 0x00, 0x00, 0x00, 0x04}},
      {"327670 ms is the longest pause",
       Record(1, {Down('A'), Delay(327670)}),
       EncodeError::kNone,
       {0x07, 0x00, 0x01, 0x00, 0xFF, 0xFF, 0x04}},
      {"longer pauses are capped, not wrapped",
       Record(1, {Up('A'), Delay(327680), Up('B'), Delay(0xFFFFFF)}),
       EncodeError::kNone,
       {0x0A, 0x00, 0x01, 0x00, 0xFE, 0xFF, 0x04, 0xFE, 0xFF, 0x05},
       0,
       2},
      {"leading delay has no place",
       Record(1, {Delay(500), Down('A')}),
       EncodeError::kNone,
       {0x07, 0x00, 0x01, 0x00, 0x01, 0x00, 0x04}},
      {"side-specific keys",
       Record(1, {Down(kVkLShift), Down(kVkRShift), Up(kVkRControl)}),
       EncodeError::kNone,
       {0x0D, 0x00, 0x01, 0x00, 0x01, 0x00, 0xE1, 0x01, 0x00, 0xE5, 0x00, 0x00, 0xE4}},
      {"side-neutral Shift",
       Record(1, {Down('A'), Down(kVkShift)}),
       EncodeError::kKeyNotEncodable,
       {},
       1},
      {"key value beyond one byte", Record(1, {Down(0x141)}), EncodeError::kKeyNotEncodable, {}},
      {"unknown kind", Record(1, {Down('A'), 0x80000041}), EncodeError::kUnknownEventKind, {}, 1},
      {"wrong magic", Record(1, {Down('A')}, 0xE8E80011), EncodeError::kNotAMacroRecord, {}},
      {"short header", Bytes(63, 0), EncodeError::kTruncated, {}},
      {"events past the bytes", wrong_count, EncodeError::kTruncated, {}, 2},
      {"1363 key events fit", Record(1, KeyEvents(1363)), EncodeError::kNone, {}},
      {"1364 key events do not",
       Record(1, KeyEvents(1364)),
       EncodeError::kTooManyKeyEvents,
       {},
       1363},
  };
  for (const EncodeCase& c : cases) {
    SCOPED_TRACE(c.label);
    DeviceMacro out;
    out.bytes.fill(0xEE);
    const EncodeResult result = EncodeMacro(c.record, out);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(static_cast<bool>(result), c.error == EncodeError::kNone);
    if (!result) {
      EXPECT_EQ(result.event_index, c.event_index);
      continue;
    }
    EXPECT_EQ(result.capped_pauses, c.capped_pauses);
    if (!c.block.empty()) {
      EXPECT_EQ(Bytes(out.Block().begin(), out.Block().end()), c.block);
    }
    // The rest of the slot is cleared.
    EXPECT_TRUE(std::all_of(out.bytes.begin() + out.length(), out.bytes.end(),
                            [](std::uint8_t b) { return b == 0; }));
  }
}

TEST(EncodeMacroTest, FullBlockLayout) {
  DeviceMacro out;
  ASSERT_TRUE(EncodeMacro(Record(3, KeyEvents(1363)), out));
  EXPECT_EQ(out.length(), 4093);
  EXPECT_EQ(out.Block().size(), 4093u);
  // The last event: a press of A (1363 is odd), usage 0x04.
  EXPECT_EQ(out.bytes[4 + 3 * 1362], 0x01);
  EXPECT_EQ(out.bytes[4 + 3 * 1362 + 2], 0x04);
  EXPECT_EQ(out.bytes[4093], 0x00);
}

TEST(KeyUsageTableTest, HoldsTheTableInOrderAndFindsTheFirstMatch) {
  ASSERT_EQ(KeyUsageTable.size(), 104u);
  EXPECT_EQ(KeyUsageTable[0].virtual_key, kVkEscape);
  EXPECT_EQ(KeyUsageTable[12].virtual_key, kVkF12);
  EXPECT_EQ(KeyUsageTable[13].virtual_key, kVkA);
  EXPECT_EQ(KeyUsageTable[48].virtual_key, kVk0);
  EXPECT_EQ(KeyUsageTable[49].virtual_key, kVkTab);
  EXPECT_EQ(KeyUsageTable[78].virtual_key, kVkNumpad1);
  EXPECT_EQ(KeyUsageTable[100].virtual_key, kVkRShift);
  EXPECT_EQ(KeyUsageTable[103].virtual_key, kVkApps);
  // Every usage appears once: a typo in the table would show as a repeat.
  std::set<std::uint8_t> usages;
  for (const KeyUsage& row : KeyUsageTable) usages.insert(row.usage);
  EXPECT_EQ(usages.size(), 104u);

  const std::pair<std::uint32_t, std::uint8_t> lookups[] = {
      {kVkReturn, 0x28},  // the second Enter row (0x58) is never found
      {'A', 0x04},
      {'Z', 0x1D},
      {'1', 0x1E},
      {'9', 0x26},
      {'0', 0x27},
      {kVkF1, 0x3A},
      {kVkF12, 0x45},
      {kVkNumpad0, 0x62},
      {kVkNumpad9, 0x61},
      {kVkOem3, 0x35},
      {kVkOemPlus, 0x2E},
      {kVkUp, 0x52},
      {kVkDown, 0x51},
      {kVkDecimal, 0x63},
      {kVkLWin, 0xE3},
      {kVkApps, 0x65},
      {kVkShift, 0},
      {kVkControl, 0},
      {kVkMenu, 0},
      {kVkF13, 0},
      {kVkVolumeUp, 0},
      {0x141, 0},
      {0, 0},
  };
  for (const auto& [key, usage] : lookups) EXPECT_EQ(UsageOfVirtualKey(key), usage) << key;
}

}  // namespace
}  // namespace z900::device
