#include "device/key_usage_table.h"

#include "platform/virtual_key.h"

namespace z900::device {
namespace {

using namespace platform;  // the kVk… codes

// Rows of a run of consecutive virtual keys and usages.
template <std::size_t N>
constexpr void Run(std::array<KeyUsage, 104>& table, std::size_t& at, std::uint32_t first_key,
                   std::uint8_t first_usage) {
  for (std::size_t i = 0; i < N; ++i) {
    table[at++] = {first_key + static_cast<std::uint32_t>(i),
                   static_cast<std::uint8_t>(first_usage + i)};
  }
}

constexpr std::array<KeyUsage, 104> BuildTable() {
  std::array<KeyUsage, 104> table{};
  std::size_t at = 0;
  table[at++] = {kVkEscape, 0x29};
  Run<12>(table, at, kVkF1, 0x3A);
  Run<26>(table, at, kVkA, 0x04);
  Run<9>(table, at, kVk1, 0x1E);
  table[at++] = {kVk0, 0x27};
  const KeyUsage singles[] = {
      {kVkTab, 0x2B},      {kVkCapital, 0x39}, {kVkReturn, 0x28},   {kVkBack, 0x2A},
      {kVkSpace, 0x2C},    {kVkOem4, 0x2F},    {kVkOem6, 0x30},     {kVkOem5, 0x31},
      {kVkOem1, 0x33},     {kVkOem7, 0x34},    {kVkOemComma, 0x36}, {kVkOemPeriod, 0x37},
      {kVkOem2, 0x38},     {kVkOem3, 0x35},    {kVkOemPlus, 0x2E},  {kVkOemMinus, 0x2D},
      {kVkSnapshot, 0x46}, {kVkScroll, 0x47},  {kVkPause, 0x48},    {kVkInsert, 0x49},
      {kVkHome, 0x4A},     {kVkPrior, 0x4B},   {kVkDelete, 0x4C},   {kVkEnd, 0x4D},
      {kVkNext, 0x4E},     {kVkUp, 0x52},      {kVkDown, 0x51},     {kVkLeft, 0x50},
      {kVkRight, 0x4F},
  };
  for (const KeyUsage& row : singles) table[at++] = row;
  Run<9>(table, at, kVkNumpad1, 0x59);
  table[at++] = {kVkNumpad0, 0x62};
  const KeyUsage tail[] = {
      {kVkAdd, 0x57},     {kVkSubtract, 0x56}, {kVkMultiply, 0x55}, {kVkDivide, 0x54},
      {kVkNumLock, 0x53}, {kVkReturn, 0x58},   {kVkDecimal, 0x63},  {kVkLControl, 0xE0},
      {kVkLShift, 0xE1},  {kVkLMenu, 0xE2},    {kVkLWin, 0xE3},     {kVkRControl, 0xE4},
      {kVkRShift, 0xE5},  {kVkRMenu, 0xE6},    {kVkRWin, 0xE7},     {kVkApps, 0x65},
  };
  for (const KeyUsage& row : tail) table[at++] = row;
  if (at != table.size()) throw "KeyUsageTable: wrong number of rows";  // fails the build
  return table;
}

}  // namespace

constexpr std::array<KeyUsage, 104> KeyUsageTable = BuildTable();

std::uint8_t UsageOfVirtualKey(std::uint32_t virtual_key) {
  for (const KeyUsage& row : KeyUsageTable) {
    if (row.virtual_key == virtual_key) return row.usage;
  }
  return 0;
}

}  // namespace z900::device
