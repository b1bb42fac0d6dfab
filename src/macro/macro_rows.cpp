#include "macro/macro_rows.h"

#include <algorithm>

#include "keys/key_names.h"

namespace z900::macro {
namespace {

std::u16string Decimal(std::uint64_t number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

MacroRow KeyRow(std::uint8_t kind, std::uint32_t virtual_key) {
  return {RowTag(kind, virtual_key), keys::GetMacroKeyName(virtual_key)};
}

std::u16string DelayText(std::uint64_t ms) { return Decimal(ms) + u"  ms"; }

MacroRow DelayRow(std::uint64_t ms) {
  return {RowTag(kRowDelay, static_cast<std::uint32_t>(ms & 0xFFFFFF)), DelayText(ms)};
}

std::uint32_t LoopCountOfText(std::u16string_view text) {
  if (text.empty()) return 1;
  std::uint32_t number = 0;
  for (char16_t unit : text) {
    if (unit < u'0' || unit > u'9') return 1;
    // Saturates: any longer number is above the cap anyway.
    number = std::min<std::uint32_t>(number * 10 + (unit - u'0'), kMaxLoopCount + 1);
  }
  if (number == 0) return 1;
  return std::min(number, kMaxLoopCount);
}

RowInsert InsertKeyRows(std::vector<MacroRow>& rows, std::size_t index, std::uint32_t virtual_key) {
  if (virtual_key == 0 || index >= rows.size()) return RowInsert::kNothing;
  if (rows.size() + 2 > kMaxMacroRows) return RowInsert::kFull;
  const auto at = rows.begin() + static_cast<std::ptrdiff_t>(index);
  rows.insert(at, {KeyRow(kRowKeyDown, virtual_key), KeyRow(kRowKeyUp, virtual_key)});
  return RowInsert::kInserted;
}

RowInsert InsertDelayRow(std::vector<MacroRow>& rows, std::size_t index, std::uint32_t ms) {
  if (index == 0 || index >= rows.size()) return RowInsert::kNothing;
  const std::uint32_t value = ms & 0xFFFFFF;
  for (const std::size_t merge_at : {index - 1, index}) {
    if (rows[merge_at].kind() == kRowDelay) {
      rows[merge_at] = DelayRow(std::min(rows[merge_at].value() + value, kMaxMergedDelayMs));
      return RowInsert::kMerged;
    }
  }
  if (rows.size() + 1 > kMaxMacroRows) return RowInsert::kFull;
  rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(index), DelayRow(value));
  return RowInsert::kInserted;
}

std::string MacroFullMessage() {
  return "a macro holds at most " + std::to_string(kMaxMacroRows) +
         " rows; delete some before inserting more";
}

MacroBuild BuildMacroRecord(std::vector<MacroRow>& rows, std::uint32_t id, std::u16string_view name,
                            std::u16string_view loop_text) {
  MacroBuild build;
  if (rows.empty()) return build;

  for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
    if (rows[i].kind() != kRowDelay || rows[i + 1].kind() != kRowDelay) continue;
    std::uint32_t sum = rows[i].value();
    std::size_t end = i + 1;
    for (; end < rows.size() && rows[end].kind() == kRowDelay; ++end) {
      sum = std::min(sum + rows[end].value(), kMaxMergedDelayMs);
    }
    rows[i] = DelayRow(sum);
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(i + 1),
               rows.begin() + static_cast<std::ptrdiff_t>(end));
    build.merged_row = i;
  }
  if (rows.size() > kMaxMacroEvents) {
    build.status = BuildStatus::kTooManyRows;
    return build;
  }

  MacroRecord& record = build.record;
  record.size = static_cast<std::uint32_t>(kMacroHeaderSize + 4 * rows.size());
  record.magic = kMacroMagic;
  record.id = id;
  SetMacroName(record, name);
  std::uint32_t count = 0;
  for (const MacroRow& row : rows) {
    switch (row.kind()) {
      case kRowKeyDown:
        record.events[count++] = MakeMacroEvent(kEventKeyDown, row.value());
        break;
      case kRowKeyUp:
        record.events[count++] = MakeMacroEvent(kEventKeyUp, row.value());
        break;
      case kRowDelay:
        if (count > 0) record.events[count++] = MakeMacroEvent(kEventDelay, row.value());
        break;
      default:
        break;  // not an event row
    }
  }
  record.event_count = count;
  record.loop_count = count == 1 && EventKind(record.events[0]) == kEventKeyDown
                          ? kSingleKeyLoopCount
                          : LoopCountOfText(loop_text);
  build.status = BuildStatus::kBuilt;
  return build;
}

LoadedMacro LoadMacroToList(const MacroRecord& record) {
  LoadedMacro loaded;
  loaded.loop_text = record.loop_count == kSingleKeyLoopCount ? u"1" : Decimal(record.loop_count);
  const std::size_t count = std::min<std::size_t>(record.event_count, kMaxMacroEvents);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t event = record.events[i];
    switch (EventKind(event)) {
      case kEventKeyUp:
        loaded.rows.push_back(KeyRow(kRowKeyUp, EventValue(event)));
        break;
      case kEventKeyDown:
        loaded.rows.push_back(KeyRow(kRowKeyDown, EventValue(event)));
        break;
      case kEventDelay:
        loaded.rows.push_back(DelayRow(EventValue(event)));
        break;
      default:
        loaded.stopped_at = i;
        return loaded;
    }
  }
  return loaded;
}

}  // namespace z900::macro
